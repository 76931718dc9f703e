// The correction's parameters gathered from the capture records.
#include <cstring>

#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"

namespace {

// Sensor modes whose frames are quad-Bayer: 2 x 2 sensor cells per colour.
constexpr int32_t kSensorModeQuadBin = 4;
constexpr int32_t kSensorModeQuadBinHdr = 15;

}  // namespace

CorrectImageParam MakeCorrectImageParam(const NevoFrame& anchor, const NevoOutput& output,
                                        const NevoStartParam& start_param, const NevoInitParam& init_param) {
  CorrectImageParam p;
  const NevoBurstInfo& burst = anchor.burst_info;
  p.in_width = start_param.width;
  p.in_height = start_param.height;
  p.out_width = output.img[0].width;
  p.out_height = output.img[0].height;
  p.isp_gain = burst.isp_gain;
  p.adrc_gain = burst.adrc_gain;
  p.ev_offset = init_param.ae.meta.ev_offset;
  for (int c = 0; c < 4; ++c) {
    p.white_level[c] = burst.bright_level[c];
    p.black_level[c] = burst.black_level[c];
    p.wb_gain[c] = burst.wb_gain[c];
  }
  p.quad_bin = start_param.sensor_mode == kSensorModeQuadBin || start_param.sensor_mode == kSensorModeQuadBinHdr;
  p.raw_type = start_param.raw_type;
  // The grids go by cell position of the 2 x 2 cell, whatever the pattern.
  static_assert(sizeof(p.lsc[0]) == sizeof(anchor.lsc.gr), "lsc grid sizes differ");
  std::memcpy(p.lsc[0], anchor.lsc.gr, sizeof(p.lsc[0]));
  std::memcpy(p.lsc[1], anchor.lsc.r, sizeof(p.lsc[1]));
  std::memcpy(p.lsc[2], anchor.lsc.b, sizeof(p.lsc[2]));
  std::memcpy(p.lsc[3], anchor.lsc.gb, sizeof(p.lsc[3]));
  const NevoRect& fov = anchor.zoom_info.fov;
  p.roi[0] = fov.left;
  p.roi[1] = fov.top;
  p.roi[2] = fov.right;
  p.roi[3] = fov.bottom;
  return p;
}
