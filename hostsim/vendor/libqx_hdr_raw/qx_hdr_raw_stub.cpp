// Stand-in for libqx_hdr_raw.so: merges the EV bracket in linear RAW
// (exposure-normalised, saturation-aware weights), anchors on the EV0 frame
// and writes RAW U16 or demosaiced RGB U16.
// Concurrency: the fault table and records are guarded by one mutex; a
// session is driven by one thread except Terminate, which only sets an
// atomic cancel flag that Process polls per row block.
#include "qx_hdr_raw_stub.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "qx_hdr_raw.h"

namespace {

enum Entry { kVersion, kLogLevel, kInit, kUninit, kPreProcess, kProcess, kTerminate, kEntryCount };
constexpr const char* kEntryNames[kEntryCount] = {
    "ZRV_HDR_GetVersion",     "ZRV_HDR_SetLogLevel", "ZRV_HDR_RAW_Init",     "ZRV_HDR_RAW_Uninit",
    "ZRV_HDR_RAW_PreProcess", "ZRV_HDR_RAW_Process", "ZRV_HDR_RAW_Terminate"};
constexpr int kRowBlock = 8;
constexpr float kClipLevel = 0.95f;

struct Faults {
  int fail[kEntryCount] = {};
  int delay_ms[kEntryCount] = {};
  int calls[kEntryCount] = {};
  bool black = false;
  bool null_handle = false;
  bool ignore_cancel = false;
  bool skip_work = false;
};

struct Records {
  HDR_FRAME_INFO infos[ZRV_HDR_MAX_INPUT];
  HDR_RAW_OFFSCREEN images[ZRV_HDR_MAX_INPUT];
  HDR_RAW_OUTPUTINFO output;
};

std::mutex g_mutex;
Faults g_faults;
Records g_records;

struct Session {
  HDR_RAW_OFFSCREEN images[ZRV_HDR_MAX_INPUT];
  HDR_FRAME_INFO infos[ZRV_HDR_MAX_INPUT];
  int count = 0;
  std::atomic<bool> cancel{false};
};

int FindEntry(const char* name) {
  if (name == nullptr) return -1;
  for (int i = 0; i < kEntryCount; ++i) {
    if (std::strcmp(name, kEntryNames[i]) == 0) return i;
  }
  return -1;
}

// Counts the call and returns the injected code; *delay gets the delay.
int Enter(Entry entry, int* delay) {
  std::lock_guard<std::mutex> lock(g_mutex);
  ++g_faults.calls[entry];
  *delay = g_faults.delay_ms[entry];
  return g_faults.fail[entry];
}

int EnterNow(Entry entry) {
  int delay = 0;
  const int code = Enter(entry, &delay);
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  return code;
}

bool Cancelled(const Session& s, bool ignore_cancel) { return !ignore_cancel && s.cancel.load(); }

// Anchor: the EV0 frame, else the one closest to it.
int AnchorOf(const Session& s) {
  int best = 0;
  for (int i = 1; i < s.count; ++i) {
    if (std::abs(s.infos[i].ev_value) < std::abs(s.infos[best].ev_value)) best = i;
  }
  return best;
}

// Raster index 0..3 of the Bayer cell holding red for a RAW type.
int RedCell(int raw_type) {
  switch (raw_type) {
    case ZRV_HDR_RAW_GRBG:
      return 1;
    case ZRV_HDR_RAW_BGGR:
      return 3;
    case ZRV_HDR_RAW_GBRG:
      return 2;
    default:
      return 0;
  }
}

struct Geometry {
  int w, h;
  float white;
};

// Linear merged RAW in EV0 units; false when cancelled.
bool Merge(const Session& s, const Geometry& g, bool ignore_cancel, std::vector<float>* merged) {
  const int n = s.count;
  std::vector<std::vector<float>> y(n, std::vector<float>(static_cast<size_t>(g.w) * g.h));
  std::vector<std::vector<uint8_t>> hot(n, std::vector<uint8_t>(static_cast<size_t>(g.w) * g.h));
  for (int f = 0; f < n; ++f) {
    const auto* base = static_cast<const uint8_t*>(s.images[f].plane[0]);
    for (int r = 0; r < g.h; ++r) {
      const auto* row = reinterpret_cast<const uint16_t*>(base + static_cast<size_t>(r) * s.images[f].pitch[0]);
      for (int c = 0; c < g.w; ++c) {
        const float black = s.infos[f].black_level[(r & 1) * 2 + (c & 1)];
        const float v = (row[c] - black) / (g.white - black);
        y[f][static_cast<size_t>(r) * g.w + c] = v;
        hot[f][static_cast<size_t>(r) * g.w + c] = v >= kClipLevel;
      }
    }
  }
  merged->assign(static_cast<size_t>(g.w) * g.h, 0.0f);
  for (int r0 = 0; r0 < g.h; r0 += kRowBlock) {
    if (Cancelled(s, ignore_cancel)) return false;
    for (int r = r0; r < std::min(g.h, r0 + kRowBlock); ++r) {
      for (int c = 0; c < g.w; ++c) {
        double num = 0, den = 0;
        int shortest = 0;
        for (int f = 0; f < n; ++f) {
          const double t = std::exp2(s.infos[f].ev_value);
          if (s.infos[f].ev_value < s.infos[shortest].ev_value) shortest = f;
          bool clipped = false;
          for (int dy = -1; dy <= 1 && !clipped; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
              const int rr = std::clamp(r + dy, 0, g.h - 1);
              const int cc = std::clamp(c + dx, 0, g.w - 1);
              if (hot[f][static_cast<size_t>(rr) * g.w + cc]) clipped = true;
            }
          }
          if (clipped) continue;
          num += y[f][static_cast<size_t>(r) * g.w + c];  // w·y/t with w = t
          den += t;
        }
        const size_t i = static_cast<size_t>(r) * g.w + c;
        // Clipped everywhere: the shortest exposure is the best we have.
        (*merged)[i] = den > 0 ? static_cast<float>(num / den)
                               : static_cast<float>(y[shortest][i] / std::exp2(s.infos[shortest].ev_value));
      }
    }
  }
  return true;
}

void WriteRaw(const std::vector<float>& x, const Geometry& g, const HDR_FRAME_INFO& info, bool black,
              const HDR_RAW_OFFSCREEN& out) {
  auto* base = static_cast<uint8_t*>(out.plane[0]);
  for (int r = 0; r < g.h; ++r) {
    auto* row = reinterpret_cast<uint16_t*>(base + static_cast<size_t>(r) * out.pitch[0]);
    for (int c = 0; c < g.w; ++c) {
      const float bl = info.black_level[(r & 1) * 2 + (c & 1)];
      const float v = bl + x[static_cast<size_t>(r) * g.w + c] * (g.white - bl);
      row[c] = black ? 0 : static_cast<uint16_t>(std::lround(std::clamp(v, 0.0f, g.white)));
    }
  }
}

// Bilinear demosaic: each channel averaged from its samples in the 3x3 cell.
void WriteRgb(const std::vector<float>& x, const Geometry& g, const HDR_FRAME_INFO& info, bool black,
              const HDR_RAW_OFFSCREEN& out) {
  const int red = RedCell(info.raw_type);
  const int blue = 3 - red;
  auto channel = [&](int r, int c) {
    const int cell = (r & 1) * 2 + (c & 1);
    return cell == red ? 0 : (cell == blue ? 2 : 1);
  };
  const float gains[3] = {info.r_gain > 0 ? info.r_gain : 1.0f, 1.0f, info.b_gain > 0 ? info.b_gain : 1.0f};
  auto* base = static_cast<uint8_t*>(out.plane[0]);
  for (int r = 0; r < g.h; ++r) {
    auto* row = reinterpret_cast<uint16_t*>(base + static_cast<size_t>(r) * out.pitch[0]);
    for (int c = 0; c < g.w; ++c) {
      float sum[3] = {0, 0, 0};
      int cnt[3] = {0, 0, 0};
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int rr = r + dy, cc = c + dx;
          if (rr < 0 || rr >= g.h || cc < 0 || cc >= g.w) continue;
          const int ch = channel(rr, cc);
          sum[ch] += x[static_cast<size_t>(rr) * g.w + cc];
          ++cnt[ch];
        }
      }
      for (int ch = 0; ch < 3; ++ch) {
        const float v = cnt[ch] > 0 ? sum[ch] / cnt[ch] * gains[ch] * g.white : 0.0f;
        row[c * 3 + ch] = black ? 0 : static_cast<uint16_t>(std::lround(std::clamp(v, 0.0f, g.white)));
      }
    }
  }
}

void FillOutputInfo(const Session& s, int anchor, HDR_OUTPUT_INFO* output_info) {
  const HDR_FRAME_INFO& info = s.infos[anchor];
  output_info->nr_gain_thresh = info.sensor_gain * info.isp_gain;
  output_info->xdr_linear_raw_ratio = 1.0f;
  output_info->aitone_flag = 0;
  output_info->rgb_dehaze_saturation_adjust = 1.0f;
  output_info->rgb_dehaze_face_hue = 0.0f;
  output_info->rgb_dehaze_face_hue_after = 0.0f;
  if (output_info->exif != nullptr && output_info->exif_size > 0) {
    std::snprintf(output_info->exif, static_cast<size_t>(output_info->exif_size),
                  "qx_hdr_raw frames=%d anchor=%d ev0=%d", s.count, anchor, info.ev_value);
  }
}

}  // namespace

extern "C" {

int QxHdrStubControl(const char* op, const char* entry, int value, void* out) {
  if (op == nullptr) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (std::strcmp(op, "reset") == 0) {
    g_faults = Faults();
    std::memset(&g_records, 0, sizeof(g_records));
    return 0;
  }
  if (std::strcmp(op, "black") == 0) return g_faults.black = value != 0, 0;
  if (std::strcmp(op, "null_handle") == 0) return g_faults.null_handle = value != 0, 0;
  if (std::strcmp(op, "ignore_cancel") == 0) return g_faults.ignore_cancel = value != 0, 0;
  if (std::strcmp(op, "skip_work") == 0) return g_faults.skip_work = value != 0, 0;
  if (std::strcmp(op, "image") == 0) {
    if (out == nullptr || value < 0 || value >= ZRV_HDR_MAX_INPUT) return -1;
    std::memcpy(out, &g_records.images[value], sizeof(HDR_RAW_OFFSCREEN));
    return 0;
  }
  if (std::strcmp(op, "frame_info") == 0) {
    if (out == nullptr || value < 0 || value >= ZRV_HDR_MAX_INPUT) return -1;
    std::memcpy(out, &g_records.infos[value], sizeof(HDR_FRAME_INFO));
    return 0;
  }
  if (std::strcmp(op, "output") == 0) {
    if (out == nullptr) return -1;
    std::memcpy(out, &g_records.output, sizeof(HDR_RAW_OUTPUTINFO));
    return 0;
  }
  const int index = FindEntry(entry);
  if (index < 0) return -1;
  if (std::strcmp(op, "fail") == 0) return g_faults.fail[index] = value, 0;
  if (std::strcmp(op, "delay") == 0) return g_faults.delay_ms[index] = value, 0;
  if (std::strcmp(op, "calls") == 0) return g_faults.calls[index];
  return -1;
}

const char* ZRV_HDR_GetVersion(void) {
  return EnterNow(kVersion) != 0 ? nullptr : "qx_hdr_raw stand-in 1.0";
}

int ZRV_HDR_SetLogLevel(int, ZRV_HDR_LogPrint print) {
  const int code = EnterNow(kLogLevel);
  if (code != 0) return code;
  return print == nullptr ? ZRV_HDR_ERR_PARAM : ZRV_HDR_OK;
}

int ZRV_HDR_RAW_Init(void** handle) {
  const int code = EnterNow(kInit);
  if (code != 0) return code;
  if (handle == nullptr) return ZRV_HDR_ERR_PARAM;
  bool null_handle = false;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    null_handle = g_faults.null_handle;
  }
  *handle = null_handle ? nullptr : new Session();
  return ZRV_HDR_OK;
}

int ZRV_HDR_RAW_Uninit(void** handle) {
  const int code = EnterNow(kUninit);
  if (handle == nullptr) return ZRV_HDR_ERR_PARAM;
  delete static_cast<Session*>(*handle);
  *handle = nullptr;
  return code;
}

int ZRV_HDR_RAW_PreProcess(void* handle, const HDR_RAW_OFFSCREEN* image, const HDR_FRAME_INFO* info,
                           const int32_t* ev_list, int32_t* anchor) {
  const int code = EnterNow(kPreProcess);
  if (code != 0) return code;
  if (handle == nullptr) return ZRV_HDR_ERR_HANDLE;
  if (image == nullptr || info == nullptr || ev_list == nullptr) return ZRV_HDR_ERR_PARAM;
  auto* s = static_cast<Session*>(handle);
  // A new capture starts with frame 1 of its bracket.
  if (s->count >= info->frame_num || s->count >= ZRV_HDR_MAX_INPUT) s->count = 0;
  if (s->count == 0) s->cancel.store(false);
  s->images[s->count] = *image;
  s->infos[s->count] = *info;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_records.infos[s->count] = *info;
    g_records.images[s->count] = *image;
  }
  ++s->count;
  if (anchor != nullptr) *anchor = AnchorOf(*s);
  return ZRV_HDR_OK;
}

int ZRV_HDR_RAW_Process(void* handle, HDR_RAW_OUTPUTINFO* output, HDR_OUTPUT_INFO* output_info,
                        ZRV_HDR_AnchorCallback anchor_callback, ZRV_HDR_SyncProgressCallback progress_callback,
                        void* user_data) {
  int delay = 0;
  const int code = Enter(kProcess, &delay);
  if (handle == nullptr) return ZRV_HDR_ERR_HANDLE;
  auto* s = static_cast<Session*>(handle);
  Faults faults;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    faults = g_faults;
    if (output != nullptr) g_records.output = *output;
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay);
  while (std::chrono::steady_clock::now() < until) {
    if (Cancelled(*s, faults.ignore_cancel)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (Cancelled(*s, faults.ignore_cancel)) return ZRV_HDR_ERR_CANCELLED;
  if (code != 0) return code;
  if (output == nullptr || output_info == nullptr || s->count == 0) return ZRV_HDR_ERR_PARAM;
  const HDR_RAW_OFFSCREEN& out = output->img[0];
  if (output->img_num < 1 || out.plane[0] == nullptr) return ZRV_HDR_ERR_PARAM;
  const Geometry g{s->images[0].width, s->images[0].height,
                   static_cast<float>((1 << std::clamp(s->infos[0].bit_width, 8, 16)) - 1)};
  for (int f = 0; f < s->count; ++f) {
    if (s->images[f].format != ZRV_HDR_FORMAT_RAW || s->images[f].plane[0] == nullptr ||
        s->images[f].width != g.w || s->images[f].height != g.h || s->images[f].pitch[0] < g.w * 2) {
      return ZRV_HDR_ERR_FORMAT;
    }
  }
  const int channels = out.format == ZRV_HDR_FORMAT_RGB ? 3 : 1;
  if ((out.format != ZRV_HDR_FORMAT_RAW && out.format != ZRV_HDR_FORMAT_RGB) || out.width != g.w ||
      out.height != g.h || out.pitch[0] < g.w * 2 * channels) {
    return ZRV_HDR_ERR_FORMAT;
  }

  int anchor = AnchorOf(*s);
  if (anchor_callback != nullptr) anchor_callback(&anchor, user_data);
  if (progress_callback != nullptr) progress_callback(ZRV_HDR_SYNC_PROGRESS_DATA{1, 0}, user_data);

  // Timing runs of the caller want only its own cost: no pixels touched.
  if (faults.skip_work) {
    FillOutputInfo(*s, anchor, output_info);
    s->count = 0;
    return ZRV_HDR_OK;
  }
  std::vector<float> merged;
  if (!Merge(*s, g, faults.ignore_cancel, &merged)) return ZRV_HDR_ERR_CANCELLED;
  const HDR_FRAME_INFO& info = s->infos[anchor];
  if (channels == 3) {
    WriteRgb(merged, g, info, faults.black, out);
  } else {
    WriteRaw(merged, g, info, faults.black, out);
  }
  if (progress_callback != nullptr) progress_callback(ZRV_HDR_SYNC_PROGRESS_DATA{1, 100}, user_data);
  FillOutputInfo(*s, anchor, output_info);
  s->count = 0;
  return ZRV_HDR_OK;
}

int ZRV_HDR_RAW_Terminate(void* handle) {
  const int code = EnterNow(kTerminate);
  if (handle == nullptr) return ZRV_HDR_ERR_HANDLE;
  static_cast<Session*>(handle)->cancel.store(true);
  return code;
}

}  // extern "C"
