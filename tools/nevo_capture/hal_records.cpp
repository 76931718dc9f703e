#include "tools/nevo_capture/hal_records.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/nevo_capture/preview.h"

namespace nevo_capture {

namespace {

// A typical phone CCM (rows sum to 1) and its colour temperature.
constexpr float kCcm[9] = {1.62f, -0.45f, -0.17f, -0.28f, 1.51f, -0.23f, -0.02f, -0.61f, 1.63f};
constexpr float kCct = 5000.0f;
constexpr int kGammaEntries = 64;

// 8-bit linear brightness of the green samples of a frame, every 4th cell
// in each direction (plenty for a histogram).
template <typename Fn>
void ForGreenSamples(const Burst& burst, int index, Fn fn) {
  const BurstParams& p = burst.params;
  const std::vector<uint16_t>& raw = burst.frames[index].raw;
  const double scale = 255.0 / (burst.levels.white - burst.levels.black);
  for (int y = 0; y < p.height; y += 8) {
    for (int x = 0; x < p.width; x += 8) {
      // One of the two left samples of the cell is green in every pattern.
      const int gy = RgbChannelOf(CfaAt(p.pattern, x, y)) == 1 ? y : y + 1;
      const double v = (raw[static_cast<size_t>(gy) * p.width + x] - burst.levels.black) * scale;
      fn(std::clamp(v, 0.0, 255.0));
    }
  }
}

void FullFrameZoom(int width, int height, NevoZoomInfo* zoom) {
  zoom->fov = {0, 0, width, height};
  zoom->zoom_ratio = 1.0f;
  zoom->real_zoom_ratio = 1.0f;
}

}  // namespace

float FrameLuma(const Burst& burst, int index) {
  double sum = 0.0;
  int count = 0;
  ForGreenSamples(burst, index, [&](double v) {
    sum += v;
    ++count;
  });
  return count > 0 ? static_cast<float>(sum / count) : 0.0f;
}

void FillInitParam(const CaptureOptions& o, const Burst& burst, const std::string& jpg_name, NevoInitParam* init) {
  std::memset(init, 0, sizeof(*init));
  init->ae.algo_type = o.algo;
  init->ae.ev_num = static_cast<int32_t>(burst.frames.size());
  bool bracket = false;
  for (size_t i = 0; i < burst.frames.size() && i < NEVO_MAX_FRAMES; ++i) {
    init->ae.ev_value[i] = burst.frames[i].ev;
    bracket = bracket || burst.frames[i].ev != 0;
  }
  init->ae.meta.is_bracket_exposure = bracket ? 1 : 0;
  init->is_anchor_select = o.select ? 1 : 0;
  std::snprintf(init->jpg_path, sizeof(init->jpg_path), "%s", jpg_name.c_str());
}

void FillStartParam(const CaptureOptions& o, const Burst& burst, uint64_t capture_ns, NevoStartParam* start) {
  std::memset(start, 0, sizeof(*start));
  const BurstParams& p = burst.params;
  start->frame_num = static_cast<int32_t>(burst.frames.size());
  start->width = p.width;
  start->height = p.height;
  start->stride = p.width;
  start->bit_width = p.bits;
  start->sensor_type = o.sensor_type;
  start->capture_timestamp = capture_ns;
  start->gamma_table.length = kGammaEntries;
  for (int i = 0; i < kGammaEntries; ++i) {
    const double x = static_cast<double>(i) / (kGammaEntries - 1);
    start->gamma_table.table_x[i] = static_cast<float>(x);
    start->gamma_table.table_y[i] = static_cast<float>(EncodeSrgb8(x) / 255.0);
  }
  start->y_hist_info.buckets = NEVO_MAX_HIST;
  ForGreenSamples(burst, burst.anchor, [&](double v) { ++start->y_hist_info.hist[static_cast<int>(v)]; });
  FullFrameZoom(p.width, p.height, &start->zoom_info);
  std::memcpy(start->ccm, kCcm, sizeof(kCcm));
  start->cct = kCct;
  start->raw_type = p.pattern;
}

void FillFrame(const Burst& burst, int index, uint64_t capture_ns, void* plane, int fd, NevoFrame* frame) {
  std::memset(frame, 0, sizeof(*frame));
  const BurstParams& p = burst.params;
  const SynthFrame& f = burst.frames[index];
  const float exposure = static_cast<float>(std::ldexp(1.0, f.ev));
  frame->ev_value = f.ev;
  NevoBurstInfo& info = frame->burst_info;
  for (int i = 0; i < 4; ++i) {
    info.bright_level[i] = burst.levels.white;
    info.black_level[i] = burst.levels.black;
    info.wb_gain[i] = burst.wb_gain[i];
  }
  info.cur_luma = FrameLuma(burst, index);
  info.tar_luma = 50.0f * exposure;
  info.frame_luma = info.cur_luma;
  info.shutter = static_cast<float>(kBaseShutterNs) * exposure;
  info.prev_shutter = info.shutter;
  info.sensor_gain = static_cast<float>(p.iso / 100.0);
  info.hcg_sensor_gain = 1.0f;
  info.isp_gain = 1.0f;
  info.prev_isp_gain = 1.0f;
  info.adrc_gain = 1.0f;
  info.prev_adrc_gain = 1.0f;
  info.dark_boost_gain = 1.0f;
  info.lux_index = 250;
  info.exp_index = 300;
  frame->frame_timestamp = capture_ns + static_cast<uint64_t>(index) * kFrameIntervalNs;
  static_assert(sizeof(frame->lsc) == sizeof(burst.lsc), "LSC grids match the record");
  std::memcpy(&frame->lsc, &burst.lsc, sizeof(frame->lsc));
  frame->img = DescribeImage(NEVO_FORMAT_RAW, p.pattern, p.width, p.height, plane, fd);
  frame->gyro_data.frame_time.exp_beg = frame->frame_timestamp;
  frame->gyro_data.frame_time.exp_dur = static_cast<uint64_t>(info.shutter);
  frame->gyro_data.frame_time.exp_end = frame->frame_timestamp + frame->gyro_data.frame_time.exp_dur;
  FullFrameZoom(p.width, p.height, &frame->zoom_info);
  frame->ae_ratio = exposure;
}

NevoImage DescribeImage(int format, int pattern, int width, int height, void* plane, int fd) {
  NevoImage img;
  std::memset(&img, 0, sizeof(img));
  const int channels = format == NEVO_FORMAT_RAW ? 1 : 3;
  img.format = format;
  img.pattern = pattern;
  img.elem_type = NEVO_ELEM_U16;
  img.width = width;
  img.height = height;
  img.plane[0] = plane;
  img.pitch[0] = width * channels * 2;
  for (int i = 0; i < NEVO_MAX_PLANES; ++i) img.fd[i] = -1;
  img.fd[0] = fd;
  return img;
}

size_t ImageBytes(int format, int width, int height) {
  const size_t channels = format == NEVO_FORMAT_RAW ? 1 : 3;
  return static_cast<size_t>(width) * height * channels * 2;
}

}  // namespace nevo_capture
