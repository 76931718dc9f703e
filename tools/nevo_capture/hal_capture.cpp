#include "tools/nevo_capture/hal_capture.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "tools/nevo_capture/hal_records.h"

namespace nevo_capture {

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

uint64_t RealtimeNs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

// "IMG_YYYYMMDD_HHMMSS.jpg" of the local time, as a camera app names it.
std::string JpgName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char name[64];
  std::strftime(name, sizeof(name), "IMG_%Y%m%d_%H%M%S.jpg", &local);
  return name;
}

char LevelLetter(int level) { return level <= 0 ? 'E' : (level == 1 ? 'I' : 'D'); }

}  // namespace

int StderrLogPrint(int level, const char* tag, const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(text, sizeof(text), format != nullptr ? format : "", args);
  va_end(args);
  if (n < 0) return 0;
  size_t len = std::strlen(text);
  while (len > 0 && text[len - 1] == '\n') text[--len] = '\0';
  std::fprintf(stderr, "%c/%s: %s\n", LevelLetter(level), tag != nullptr ? tag : "", text);
  return 0;
}

HalCapture::HalCapture(const CaptureOptions& options, const Burst& burst, int output_format)
    : options_(options), burst_(burst) {
  std::memset(&output_, 0, sizeof(output_));
  const int scale = OutputScale(options);
  output_.img_num = 1;
  output_.img[0] = DescribeImage(output_format, burst.params.pattern, burst.params.width * scale,
                                 burst.params.height * scale, nullptr, -1);
}

int HalCapture::OnAnchor(int* frame_index, void* user_data) {
  auto* self = static_cast<HalCapture*>(user_data);
  if (self == nullptr || frame_index == nullptr) return -1;
  self->anchor_reported_.store(*frame_index);
  self->anchor_calls_.fetch_add(1);
  return 0;
}

template <typename Call>
bool HalCapture::Timed(const char* name, CaptureResult* result, Call call) {
  const Clock::time_point start = Clock::now();
  const int status = call();  // evaluated before the clock is read again
  return Step(name, status, MsSince(start), result);
}

bool HalCapture::Step(const char* call, int status, double ms, CaptureResult* result, bool module_call) {
  result->calls.push_back({call, status, ms, module_call});
  if (status != 0 && result->status == 0) {
    result->status = status;
    result->failed_call = call;
  }
  // 1002301: the module turned an algorithm error into its EV0 fallback; a
  // HAL goes on with the capture and still gets a picture.
  return status == 0 || status == NEVO_ERR_BYPASSED;
}

U16View HalCapture::OutputView() const {
  const NevoImage& img = output_.img[0];
  U16View view;
  view.data = static_cast<const uint16_t*>(img.plane[0]);
  view.width = img.width;
  view.height = img.height;
  view.pitch = img.pitch[0];
  view.channels = img.format == NEVO_FORMAT_RAW ? 1 : 3;
  return view;
}

U16View HalCapture::AnchorView() const {
  U16View view;
  const size_t anchor = static_cast<size_t>(burst_.anchor);
  if (anchor >= inputs_.size()) return view;
  view.data = reinterpret_cast<const uint16_t*>(inputs_[anchor].data());
  view.width = burst_.params.width;
  view.height = burst_.params.height;
  view.pitch = burst_.params.width * 2;
  return view;
}

bool HalCapture::Run(CaptureResult* result) {
  *result = CaptureResult{};
  const BurstParams& p = burst_.params;
  const int frames = static_cast<int>(burst_.frames.size());

  // The HAL's buffers: every input frame, then the output image.
  Clock::time_point t = Clock::now();
  inputs_.clear();
  inputs_.resize(frames);
  const size_t frame_bytes = ImageBytes(NEVO_FORMAT_RAW, p.width, p.height);
  bool allocated = true;
  for (int i = 0; i < frames && allocated; ++i) {
    allocated = inputs_[i].Allocate(frame_bytes, "nevo-capture-input");
    if (allocated) std::memcpy(inputs_[i].data(), burst_.frames[i].raw.data(), frame_bytes);
  }
  NevoImage& out = output_.img[0];
  allocated = allocated && output_buffer_.Allocate(ImageBytes(out.format, out.width, out.height), "nevo-capture-output");
  out.plane[0] = output_buffer_.data();
  out.fd[0] = output_buffer_.fd();
  // -1: not a module status; the tool reports it as an allocation failure.
  if (!Step("HAL buffers", allocated ? 0 : -1, MsSince(t), result, false)) return false;

  const uint64_t capture_ns = RealtimeNs();
  auto init = std::make_unique<NevoInitParam>();
  auto start = std::make_unique<NevoStartParam>();
  std::vector<NevoFrame> records(frames);
  FillInitParam(options_, burst_, JpgName(), init.get());
  FillStartParam(options_, burst_, capture_ns, start.get());
  for (int i = 0; i < frames; ++i) FillFrame(burst_, i, capture_ns, inputs_[i].data(), inputs_[i].fd(), &records[i]);

  NevoConfig config;
  std::memset(&config, 0, sizeof(config));
  config.bokeh_depth_enable = depth_ != nullptr ? 1 : 0;
  NevoHandle handle = nullptr;
  const bool created = Timed("NevoCreate", result, [&] {
    int status = 0;
    handle = NevoCreate(&config, &status);
    return handle == nullptr && status == 0 ? NEVO_ERR_FAILED : status;
  });
  if (!created) {
    if (handle != nullptr) NevoDestroy(&handle);
    return false;
  }

  bool ok = true;
  ok = Timed("NevoInit", result, [&] { return NevoInit(handle, init.get()); });
  ok = ok && Timed("NevoStart", result, [&] { return NevoStart(handle, start.get(), &HalCapture::OnAnchor, this); });
  for (int i = 0; ok && i < frames; ++i) {
    const std::string name = "NevoAddFrame[" + std::to_string(i) + "]";
    ok = Timed(name.c_str(), result, [&] { return NevoAddFrame(handle, &records[i], &output_); });
  }
  // Depth runs once the burst is in: with sync_mode 3 the call waits for
  // the capture's algorithm, so it must not come before the last frame.
  if (ok && depth_ != nullptr) {
    ok = Timed("NevoSetDepthParam", result, [&] { return NevoSetDepthParam(handle, depth_); });
  }
  if (ok && options_.select) {
    int index = -1;
    ok = Timed("NevoSelectAnchor", result, [&] { return NevoSelectAnchor(handle, &index); });
    result->selected_anchor = index;
  } else if (ok) {
    ok = Timed("NevoRun", result, [&] { return NevoRun(handle); });
  }
  Timed("NevoUnit", result, [&] { return NevoUnit(handle); });
  Timed("NevoDestroy", result, [&] { return NevoDestroy(&handle); });

  result->exif.assign(output_.exif_info, strnlen(output_.exif_info, sizeof(output_.exif_info)));
  result->anchor_reported = anchor_reported_.load();
  result->anchor_calls = anchor_calls_.load();
  return result->status == 0 || result->status == NEVO_ERR_BYPASSED;
}

}  // namespace nevo_capture
