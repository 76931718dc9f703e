// The records a camera HAL fills for one capture, from a synthetic burst.
//
// Conventions of this HAL: buffers are tightly packed (NevoImage.pitch in
// bytes, NevoStartParam.stride in samples); shutter in nanoseconds (10 ms
// at EV0, scaled by 2^EV), sensor_gain = ISO / 100, other gains 1; the field
// of view is the whole frame at zoom 1.0; bright_level / black_level are the
// sensor's white and black levels on all four Bayer positions.
#ifndef TOOLS_NEVO_CAPTURE_HAL_RECORDS_H_
#define TOOLS_NEVO_CAPTURE_HAL_RECORDS_H_

#include <cstdint>
#include <string>

#include "nevo/nevo.h"
#include "tools/nevo_capture/burst_synth.h"
#include "tools/nevo_capture/capture_options.h"

namespace nevo_capture {

constexpr uint64_t kBaseShutterNs = 10000000;  // 10 ms at EV0
constexpr uint64_t kFrameIntervalNs = 33333333;  // 30 fps

void FillInitParam(const CaptureOptions& options, const Burst& burst, const std::string& jpg_name,
                   NevoInitParam* init);
void FillStartParam(const CaptureOptions& options, const Burst& burst, uint64_t capture_ns,
                    NevoStartParam* start);
// `plane` / `fd` describe the HAL buffer holding frame `index` of the burst.
void FillFrame(const Burst& burst, int index, uint64_t capture_ns, void* plane, int fd, NevoFrame* frame);
// A tightly packed 16-bit image of `format` (0 RAW, else 3 channels).
NevoImage DescribeImage(int format, int pattern, int width, int height, void* plane, int fd);
// Bytes of such an image.
size_t ImageBytes(int format, int width, int height);

// Mean brightness of a frame on the 0..255 scale (green samples, linear).
float FrameLuma(const Burst& burst, int index);

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_HAL_RECORDS_H_
