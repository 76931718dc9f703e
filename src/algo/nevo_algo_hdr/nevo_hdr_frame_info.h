// Mapping of the module's records onto the QX HDR library's records, shared
// by the HDR and HDSR adapters.
#ifndef ALGO_NEVO_ALGO_HDR_NEVO_HDR_FRAME_INFO_H_
#define ALGO_NEVO_ALGO_HDR_NEVO_HDR_FRAME_INFO_H_

#include "nevo/nevo.h"
#include "qx_hdr_raw.h"

// Format, size, planes, pitches and descriptors of one image.
void HdrFillImage(const NevoImage& image, HDR_RAW_OFFSCREEN* out);

// Warnings (unsupported sensor type or Bayer pattern) the caller logs.
struct HdrFrameInfoNotes {
  bool sensor_fallback = false;
  bool raw_type_unsupported = false;
};

// Frame information of `frame`; `first` gives the RAW type, camera_mode
// comes from the adapter's configuration.
HdrFrameInfoNotes HdrFillFrameInfo(const NevoInitParam& init, const NevoStartParam& start, const NevoFrame& frame,
                                   const NevoFrame& first, int camera_mode, HDR_FRAME_INFO* info);

// Output descriptor from the host's output record.
void HdrFillOutput(const NevoOutput& output, int camera_mode, int xdr_light_index, HDR_RAW_OUTPUTINFO* out);

#endif  // ALGO_NEVO_ALGO_HDR_NEVO_HDR_FRAME_INFO_H_
