#include "nevo_algo_wrapper/algo_wrapper.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "algo/nevo_algo_correct_image/nevo_correct_image.h"
#include "kiln/runtime/context/logger.h"
#include "nevo_utils/nevo_algo_names.h"
#include "nevo_utils/nevo_image.h"
#include "nevo_utils/nevo_log.h"

namespace {

constexpr int kFail = NEVO_ERR_FAILED;
constexpr int kFirstWaitMs = 5000;

// Errors are recorded under the module path, as the flush shows them.
constexpr const char* kRecordFile = "src/nevo_algo_wrapper";

// Codes whose last three digits are 900 or more can fall back to EV0; the
// remainder keeps the sign, so negative codes never qualify.
bool Recoverable(int code) { return code % 1000 >= 900; }

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Process-wide running totals of every phase, for the average report.
struct TimingTotals {
  std::mutex mutex;
  int count = 0;
  double init = 0, start = 0, frame_tot = 0, run = 0, depth = 0, run_tot = 0, select = 0, total = 0, unit = 0;
};

TimingTotals& Totals() {
  static TimingTotals totals;
  return totals;
}

// True when a ready future holds the pool's broken promise instead of a
// result (the task was never queued).
bool IsBroken(const std::shared_future<int>& future) {
  if (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return false;
  try {
    future.get();
  } catch (const std::future_error&) {
    return true;
  }
  return false;
}

}  // namespace

// Error line "<function>[<file>:<line>] text" at level 0.
#define WLOGE(fmt, ...) Log(kNevoLogError, "%s[%s:%d] " fmt, __FUNCTION__, __FILE__, __LINE__, ##__VA_ARGS__)
// Records text in the context's error history for the engine's flush.
#define WRECORD(fmt, ...)                                                                        \
  do {                                                                                           \
    const auto wrecord_logger_ = ctx_ != nullptr ? ctx_->GetLogger() : nullptr;                  \
    if (wrecord_logger_ != nullptr) {                                                            \
      wrecord_logger_->Error(kRecordFile, __FUNCTION__, __LINE__, NevoFormat(fmt, ##__VA_ARGS__)); \
    }                                                                                            \
  } while (0)

namespace {

// Opens a trace section for the life of an operation.
class TraceSection {
 public:
  TraceSection(kiln::Context* ctx, const std::string& name)
      : trace_(ctx != nullptr ? ctx->GetSystrace() : nullptr), name_(name) {
    if (trace_ != nullptr) trace_->Begin(name_);
  }
  ~TraceSection() {
    if (trace_ != nullptr) trace_->End(name_);
  }

 private:
  std::shared_ptr<kiln::Systrace> trace_;
  std::string name_;
};

}  // namespace

AlgoWrapper::AlgoWrapper(kiln::Context* ctx, const NevoAlgoConfig& config, uint32_t algo_type)
    : ctx_(ctx), config_(config), algo_type_(algo_type) {
  std::memset(&init_param_, 0, sizeof(init_param_));
  std::memset(&start_param_, 0, sizeof(start_param_));
  std::memset(frames_, 0, sizeof(frames_));
  std::memset(algo_exif_, 0, sizeof(algo_exif_));
  tag_ = NevoAlgoSectionName(static_cast<int>(algo_type));
}

AlgoWrapper::~AlgoWrapper() {
  // A task still running would use this object after its destruction.
  if (run_future_.valid()) run_future_.wait();
}

void AlgoWrapper::Log(int level, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  const auto logger = ctx_ != nullptr ? ctx_->GetLogger() : nullptr;
  if (logger != nullptr) {
    logger->LogText(tag_.c_str(), level, text);
  } else {
    NevoPrint(level, tag_.c_str(), "%s", text);
  }
}

std::string AlgoWrapper::TypeName() const { return NevoAlgoDisplayName(static_cast<int>(algo_type_)); }

int AlgoWrapper::Init(const NevoInitParam& param) {
  TraceSection trace(ctx_, tag_ + "::NevoInit");
  init_time_ = PhaseTime();
  init_time_.Begin();
  total_time_.Begin();
  InitNotify();

  std::memset(&init_param_, 0, sizeof(init_param_));
  std::memset(&start_param_, 0, sizeof(start_param_));
  std::memset(frames_, 0, sizeof(frames_));
  start_time_ = select_time_ = run_time_ = unit_time_ = depth_time_ = PhaseTime();
  for (PhaseTime& t : frame_times_) t = PhaseTime();
  set_anchor_count_ = 0;
  cur_index_ = added_count_ = frame_total_ = 0;
  output_ = nullptr;
  get_anchor_func_ = nullptr;
  user_data_ = nullptr;
  wrapper_status_ = 0;
  bypass_state_ = config_.bypass != 0 ? 1 : 0;
  if (config_.enable == 0) {
    WLOGE("algo type is not enabled!\n");
    bypass_state_ = -1;
  }

  init_param_ = param;
  dump_.InitStep(ctx_, tag_, config_, init_param_);

  const int ev_num = std::min(std::max(init_param_.ae.ev_num, 0), NEVO_MAX_FRAMES);
  for (int i = 0; i < ev_num; ++i) {
    if (init_param_.ae.ev_value[i] == 0) {
      anchor_ = i;
      break;
    }
  }
  Log(kNevoLogInfo, "find first ev0 is %d\n", anchor_.load());

  int ret = 0;
  if (bypass_state_ == 0) {
    ret = AlgoInit(init_param_);
    if (ret != 0) {
      WRECORD("AlgoInit fail, return=%d", ret);
      if (config_.init_protect != 0 || config_.error_protect != 0) ProtectBypass(ret);
    }
    Log(kNevoLogInfo, "%s version: %s\n", Lower(NevoAlgoShortName(static_cast<int>(algo_type_))).c_str(),
        version_.c_str());
  }
  init_time_.Finish();
  return ret;
}

int AlgoWrapper::Start(const NevoStartParam& param, NevoGetAnchorFunc get_anchor_func, void* user_data) {
  TraceSection trace(ctx_, tag_ + "::NevoStart");
  if (wrapper_status_ != 0) {
    WRECORD("invalid status");
    return NEVO_ERR_NOT_INIT;
  }
  // The slots hold at most 16 frames; a larger burst is refused up front
  // rather than overrunning them.
  if (param.frame_num < 0 || param.frame_num > NEVO_MAX_FRAMES) {
    WLOGE("frame_num %d out of range [0, %d]\n", param.frame_num, NEVO_MAX_FRAMES);
    WRECORD("frame_num %d out of range", param.frame_num);
    return NEVO_ERR_FAILED;
  }
  start_time_.Begin();
  start_param_ = param;
  get_anchor_func_ = get_anchor_func;
  user_data_ = user_data;
  Log(kNevoLogInfo, "get_anchor_func = %p, user_data = %p\n", reinterpret_cast<void*>(get_anchor_func), user_data);

  cur_index_ = added_count_ = 0;
  frame_total_ = param.frame_num;
  if (start_param_.assign_anchor.is_assign_anchor) anchor_ = start_param_.assign_anchor.anchor_order;

  dump_.StartStep(start_param_);
  if (config_.clone_input != 0) clones_.clear();

  int ret = 0;
  if (bypass_state_ == 0) {
    ret = AlgoStart(start_param_, get_anchor_func, user_data);
    if (ret != 0) {
      WRECORD("AlgoStart fail, return=%d", ret);
      if (config_.init_protect != 0 || config_.error_protect != 0) ProtectBypass(ret);
    }
  }
  Log(kNevoLogInfo, "waiting for %d frame\n", param.frame_num);
  start_time_.Finish();
  return ret;
}

int AlgoWrapper::AddFrame(const NevoFrame& frame, NevoOutput* output) {
  TraceSection trace(ctx_, tag_ + "::NevoAddFrame");
  if (wrapper_status_ != 0) {
    WRECORD("invalid status");
    return NEVO_ERR_NOT_INIT;
  }
  const int idx = added_count_;
  added_count_ += 1;
  if (idx >= frame_total_) {
    WRECORD("frame count exceed");
    return NEVO_ERR_TOO_MANY_FRAMES;
  }
  cur_index_ = idx;
  Log(kNevoLogInfo, "add frame ( %d / %d )\n", added_count_, frame_total_);

  if (algo_type_ != 0 && frame.img.format != config_.input_format) {
    WLOGE("input format mismatch! current is %d, target is %d\n", frame.img.format, config_.input_format);
    WRECORD("input format mismatch!");
    return NEVO_ERR_INPUT_FORMAT;
  }
  frame_times_[idx].Begin();

  if (idx == 0 && init_param_.is_anchor_select == 0) {
    if (output == nullptr) {
      WRECORD("output is null");
      return NEVO_ERR_NULL_OUTPUT;
    }
    std::memset(output->exif_info, 0, sizeof(output->exif_info));
    output_ = output;
    if (algo_type_ != 0 && bypass_state_ == 0 && output->img[0].format != config_.output_format) {
      WLOGE("output format mismatch! current is %d, target is %d\n", output->img[0].format, config_.output_format);
      WRECORD("output format mismatch!");
      return NEVO_ERR_OUTPUT_FORMAT;
    }
  }

  NevoFrame& slot = frames_[idx];
  slot = frame;
  if (slot.burst_info.prev_face_luma != 0.0f) {
    slot.burst_info.frame_luma = slot.burst_info.prev_face_luma;
    slot.burst_info.prev_face_luma = 0.0f;
  }
  dump_.InputStep(idx, slot);

  if (config_.clone_input != 0) {
    kiln::Mat copy = NevoImage2Mat(ctx_, slot.img).Clone();
    if (copy.IsValid()) {
      slot.img.plane[0] = copy.Ptr<uint8_t>();
      slot.img.pitch[0] = copy.GetStrides().row_bytes;
      slot.img.fd[0] = copy.GetFd();
      clones_.push_back(std::move(copy));
    } else {
      WLOGE("clone input %d failed\n", idx);
    }
  }

  int ret = 0;
  if (bypass_state_ == 0) {
    ret = AlgoAddFrame(slot, output);
    if (ret != 0) {
      WRECORD("AlgoAddFrame fail, return=%d", ret);
      if (config_.error_protect != 0) ProtectBypass(ret);
    }
  }
  frame_times_[idx].Finish();

  if (added_count_ == frame_total_ && init_param_.is_anchor_select == 0) {
    if (bypass_state_ != 0) {
      Log(kNevoLogInfo, "SetAnchor(%d) by NEVO\n", anchor_.load());
      if (SetAnchor(anchor_) != 0) WLOGE("SetAnchor fail\n");
      UnitNotify();
    } else {
      const auto pool = ctx_ != nullptr ? ctx_->GetWorkerpool() : nullptr;
      bool submitted = false;
      if (pool != nullptr) {
        run_future_ = pool->AddTask(0, [this] { return RunTask(); }).share();
        // A pool that cannot queue hands back an already broken future.
        submitted = run_future_.valid() && !IsBroken(run_future_);
      }
      if (!submitted) {
        run_future_ = std::shared_future<int>();
        WRECORD("AlgoRun submit task failed");
        ret = NEVO_ERR_SUBMIT;
      }
    }
  }
  UpdateStatus(ret);
  return ret;
}

int AlgoWrapper::RunTask() {
  TraceSection trace(ctx_, tag_ + "::NevoAlgoRun");
  run_time_.Begin();
  const int r = AlgoRun();
  if (set_anchor_count_ == 0) {
    Log(kNevoLogInfo, "SetAnchor(%d) by NEVO\n", anchor_.load());
    if (SetAnchor(anchor_) != 0) WLOGE("SetAnchor fail\n");
  }
  UnitNotify();
  run_time_.Finish();
  return r;
}

int AlgoWrapper::GetToken() {
  if (!run_future_.valid()) return kFail;
  const std::string name = TypeName();
  Log(kNevoLogInfo, "waiting for %s\n", name.c_str());
  if (run_future_.wait_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(kFirstWaitMs)) ==
      std::future_status::timeout) {
    WLOGE("%s running over %d ms\n", name.c_str(), kFirstWaitMs);
    const int rest = std::max(config_.timeout, kFirstWaitMs) - kFirstWaitMs;
    if (run_future_.wait_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(rest)) ==
        std::future_status::timeout) {
      WLOGE("%s running overtime\n", name.c_str());
      AlgoTerminate();
    }
  }
  try {
    return run_future_.get();
  } catch (const std::exception& e) {
    WRECORD("AlgoRun task threw: %s", e.what());
    return kFail;
  }
}

int AlgoWrapper::Run() {
  TraceSection trace(ctx_, tag_ + "::NevoRun");
  if (wrapper_status_ != 0) {
    WRECORD("invalid status");
    return NEVO_ERR_NOT_INIT;
  }
  int ret = 0;
  if (bypass_state_ != 0) {
    run_time_.Begin();
    Log(kNevoLogInfo, "%s bypass to ev0 ...\n", TypeName().c_str());
    ret = CorrectImage();
    if (ret != 0) WRECORD("CorrectImage fail, return=%d", ret);
    run_time_.Finish();
  } else {
    ret = GetToken();
    if (ret != 0) WRECORD("%s AlgoRun task fail, return=%d", TypeName().c_str(), ret);
    if (Recoverable(ret) && (config_.error_protect != 0 || config_.black_protect != 0)) {
      Log(kNevoLogInfo, "enter protect scene\n");
      if (output_ != nullptr && NevoIsBlackImage(ctx_, output_->img[0])) {
        Log(kNevoLogInfo, "black image detected, try fix\n");
        if (CorrectImage() != 0) WRECORD("CorrectImage fail");
      } else {
        ProtectBypass(ret);
      }
    }
  }
  total_time_.Finish();
  UpdateStatus(ret);
  if (output_ != nullptr) dump_.OutputStep(*output_, anchor_);
  return ret;
}

int AlgoWrapper::ProtectBypass(int& code) {
  if (Recoverable(code)) {
    Log(kNevoLogInfo, "protect bypass %s with error %d\n", TypeName().c_str(), code);
    bypass_state_ = -1;
    code = NEVO_ERR_BYPASSED;
  }
  return code;
}

int AlgoWrapper::CorrectImage() {
  const NevoFrame& anchor = frames_[std::min(std::max(anchor_.load(), 0), NEVO_MAX_FRAMES - 1)];
  int ret = 0;
  switch (config_.bypass_func) {
    case 1:
      ret = NevoCorrectImage(ctx_, anchor, output_, start_param_, init_param_, config_.camera_mode);
      if (ret != 0) WRECORD("NevoCorrectImage fail, return=%d", ret);
      return ret;
    case 2:
      ret = NevoConvertOnly(ctx_, anchor, output_, start_param_, init_param_, config_.camera_mode);
      if (ret != 0) WRECORD("NevoConvertOnly fail, return=%d", ret);
      return ret;
    default:
      Log(kNevoLogInfo, "bypass func %d not support\n", config_.bypass_func);
      return 0;
  }
}

int AlgoWrapper::SetAnchor(int frame_index) {
  Log(kNevoLogInfo, "AlgoWrapper::SetAnchor receive frame_index: %d\n", frame_index);
  anchor_ = frame_index;
  set_anchor_count_ += 1;
  if (start_param_.assign_anchor.is_assign_anchor) anchor_ = start_param_.assign_anchor.anchor_order;
  int index = frame_index;
  if (get_anchor_func_ == nullptr) {
    WLOGE("get_anchor_func is null\n");
    return kFail;
  }
  if (user_data_ == nullptr) {
    WLOGE("user_data is null\n");
    return kFail;
  }
  const int ret = get_anchor_func_(&index, user_data_);
  if (ret != 0) WLOGE("call get_anchor_func fail...\n");
  return ret;
}

int AlgoWrapper::SelectAnchor(int* anchor) {
  TraceSection trace(ctx_, tag_ + "::NevoSelectAnchor");
  if (wrapper_status_ != 0) {
    WRECORD("invalid status");
    return NEVO_ERR_NOT_INIT;
  }
  select_time_.Begin();
  int ret = 0;
  if (config_.enable_anchor == 0) {
    WLOGE("select anchor is not enabled\n");
    if (anchor != nullptr) *anchor = -1;
    ret = kFail;
  } else if (bypass_state_ == 0) {
    ret = AlgoSelectAnchor(anchor);
    if (ret != 0) WRECORD("AlgoSelectAnchor fail, return=%d", ret);
  }
  select_time_.Finish();
  total_time_.Finish();
  return ret;
}

int AlgoWrapper::Terminate() {
  if (algo_type_ == 0) return 0;
  if (wrapper_status_ != 0) {
    Log(kNevoLogInfo, "%s not running, skip terminate\n", TypeName().c_str());
    return 0;
  }
  if (bypass_state_ != 0) return 0;
  const int ret = AlgoTerminate();
  if (ret != 0) WRECORD("AlgoTerminate fail, return=%d", ret);
  return ret;
}

int AlgoWrapper::Unit() {
  TraceSection trace(ctx_, tag_ + "::NevoUnit");
  unit_time_.Begin();
  const bool was_ready = wrapper_status_ == 0;
  int ret = 0;
  if (was_ready) {
    Log(kNevoLogInfo, "Protect Terminate\n");
    AlgoTerminate();
    Log(kNevoLogInfo, "Protect Recycle Token\n");
    if (run_future_.valid()) {
      run_future_.wait();
      run_future_ = std::shared_future<int>();
    }
    Log(kNevoLogInfo, "Protect Unit\n");
    ret = AlgoUnit();
    if (ret != 0) WRECORD("AlgoUnit fail, return=%d", ret);
  }
  if (config_.clone_input != 0) clones_.clear();
  unit_time_.Finish();
  if (was_ready && config_.print_status != 0) PrintTiming();
  wrapper_status_ = kFail;
  return ret;
}

void AlgoWrapper::InitNotify() {
  if (config_.sync_mode != 3) return;
  Log(kNevoLogInfo, "init notify for depth\n");
  std::lock_guard<std::mutex> lock(depth_mutex_);
  depth_ready_ = true;
  depth_sent_ = false;
}

void AlgoWrapper::SendNotify() {
  if (config_.sync_mode != 3) return;
  std::unique_lock<std::mutex> lock(depth_mutex_);
  if (depth_sent_) return;
  depth_cond_.wait(lock, [this] { return depth_ready_ || depth_sent_; });
  if (!depth_sent_) Log(kNevoLogInfo, "send notify for depth\n");
  depth_sent_ = true;
  depth_cond_.notify_one();
}

void AlgoWrapper::UnitNotify() {
  if (config_.sync_mode != 3) return;
  {
    std::lock_guard<std::mutex> lock(depth_mutex_);
    depth_ready_ = false;
    depth_sent_ = true;
    depth_cond_.notify_one();
  }
  Log(kNevoLogInfo, "unit notify for depth\n");
}

int AlgoWrapper::WaitNotify() {
  switch (config_.sync_mode) {
    case 1:
      if (run_future_.valid()) run_future_.wait();
      return 0;
    case 2:
      return 0;
    case 3:
      if (wrapper_status_ != 0) return kFail;
      {
        std::unique_lock<std::mutex> lock(depth_mutex_);
        depth_cond_.wait(lock, [this] { return depth_sent_; });
      }
      Log(kNevoLogInfo, "receive notify for depth\n");
      return 0;
    default:
      return kFail;
  }
}

void AlgoWrapper::UpdateStatus(int ret) {
  if (output_ == nullptr) return;
  std::memset(output_->exif_info, 0, sizeof(output_->exif_info));
  const int frames = std::min(std::max(added_count_, 0), std::min(std::max(frame_total_, 0), NEVO_MAX_FRAMES));
  nlohmann::json ae_ratio = nlohmann::json::array(), sensor_mode = nlohmann::json::array(),
                 ev_list = nlohmann::json::array(), shutter = nlohmann::json::array(),
                 again = nlohmann::json::array();
  for (int i = 0; i < frames; ++i) {
    ae_ratio.push_back(nlohmann::json::parse(NevoFormat("%.4f", static_cast<double>(frames_[i].ae_ratio))));
    sensor_mode.push_back(frames_[i].sensor_mode);
    ev_list.push_back(frames_[i].ev_value);
    shutter.push_back(nlohmann::json::parse(NevoFormat("%.6f", static_cast<double>(frames_[i].burst_info.shutter))));
    again.push_back(frames_[i].burst_info.adrc_gain);
  }
  const std::string version = NevoGetVersion();
  const size_t b = version.find(' ');
  const size_t e = b == std::string::npos ? b : version.find(' ', b + 1);
  const NevoRect& fov = start_param_.zoom_info.fov;
  nlohmann::json status = {
      {"NevoVersion", b == std::string::npos ? std::string() : version.substr(b + 1, e - b - 1)},
      {"AlgoVersion", version_},
      {"AlgoBranch", Lower(tag_)},
      {"SensorType", SensorTypeToString(start_param_.sensor_type)},
      {"ProcessRet", ret},
      {"Bypass", bypass_state_.load()},
      {"ProcessTime", run_time_.DurationMs()},
      {"IsAssignAnchor", start_param_.assign_anchor.is_assign_anchor},
      {"Anchor", anchor_.load()},
      {"IsUltraRawEnable", config_.camera_mode == 6},
      {"IsXdrEnable", start_param_.xdr_light_index >= 1},
      {"LinearRawRatio", output_->xdr_linear_raw_ratio},
      {"IsWhitePlus", init_param_.ae.meta.is_white_plus},
      {"IsBlackSub", init_param_.ae.meta.is_black_sub},
      {"AeRatio", ae_ratio},
      {"Width", start_param_.width},
      {"Height", start_param_.height},
      {"StyleMode", start_param_.input_mode},
      {"EvOffset", start_param_.ui_ev},
      {"FaceNum", start_param_.face_info.face_num},
      {"ZoomRatio", nlohmann::json::parse(NevoFormat("%.1f", static_cast<double>(start_param_.zoom_info.zoom_ratio)))},
      {"FrameNum", start_param_.frame_num},
      {"SensorMode", sensor_mode},
      {"EvList", ev_list},
      {"Shutter", shutter},
      {"Again", again},
      {"CropRegion", {{"left", fov.left}, {"top", fov.top}, {"right", fov.right}, {"bottom", fov.bottom}}}};
  std::string text = status.dump();
  text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
  std::replace(text.begin(), text.end(), ':', '=');
  const std::string exif(algo_exif_, strnlen(algo_exif_, sizeof(algo_exif_)));
  std::snprintf(output_->exif_info, sizeof(output_->exif_info), "NEVO:%s,%s\n", text.c_str(), exif.c_str());
  Log(kNevoLogInfo, "exif_info=%s\n", output_->exif_info);
}

void AlgoWrapper::PrintTiming() {
  const bool select = init_param_.is_anchor_select != 0;
  Log(kNevoLogInfo, "init = %s\n", init_time_.Text().c_str());
  Log(kNevoLogInfo, "start = %s\n", start_time_.Text().c_str());
  double frame_tot = 0;
  const int frames = std::min(added_count_, std::min(frame_total_, NEVO_MAX_FRAMES));
  PhaseTime all_frames;
  for (int i = 0; i < frames; ++i) {
    Log(kNevoLogInfo, "add_frame[%d] = %s\n", i, frame_times_[i].Text().c_str());
    frame_tot += frame_times_[i].DurationMs();
  }
  if (frames > 0) {
    const PhaseTime& last = frame_times_[frames - 1];
    all_frames.Set(frame_times_[0].start_us(), last.end_us(), last.state());
  }
  Log(kNevoLogInfo, "frame tot = %s\n", all_frames.Text().c_str());
  if (select) {
    Log(kNevoLogInfo, "select = %s\n", select_time_.Text().c_str());
  } else {
    Log(kNevoLogInfo, "run = %s\n", run_time_.Text().c_str());
  }
  Log(kNevoLogInfo, "total = %s\n", total_time_.Text().c_str());
  Log(kNevoLogInfo, "unit = %s\n", unit_time_.Text().c_str());
  if (config_.sync_mode == 3) {
    Log(kNevoLogInfo, "depth = %s, sync_mode = %d, sync_id = %d\n", depth_time_.Text().c_str(), config_.sync_mode,
        config_.sync_id);
  }
  // From the last frame's arrival to the end of the run task.
  PhaseTime run_tot;
  if (frames > 0) {
    run_tot.Set(frame_times_[frames - 1].end_us(), run_time_.end_us(), run_time_.state());
  }
  Log(kNevoLogInfo, "run tot = %s\n", run_tot.Text().c_str());

  TimingTotals& t = Totals();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.count += 1;
  t.init += init_time_.DurationMs();
  t.start += start_time_.DurationMs();
  t.frame_tot += all_frames.DurationMs();
  t.run += run_time_.DurationMs();
  t.depth += depth_time_.DurationMs();
  t.run_tot += run_tot.DurationMs();
  t.select += select_time_.DurationMs();
  t.total += total_time_.DurationMs();
  t.unit += unit_time_.DurationMs();
  const double n = t.count;
  Log(kNevoLogInfo, "-------- nevo avg time start --------\n");
  Log(kNevoLogInfo, "%s cnt = %d\n", tag_.c_str(), t.count);
  Log(kNevoLogInfo, "avg init = (%.3fms)\n", t.init / n);
  Log(kNevoLogInfo, "avg start = (%.3fms)\n", t.start / n);
  Log(kNevoLogInfo, "avg frame_tot = (%.3fms)\n", t.frame_tot / n);
  Log(kNevoLogInfo, "avg run = (%.3fms)\n", t.run / n);
  Log(kNevoLogInfo, "avg depth = (%.3fms)\n", t.depth / n);
  Log(kNevoLogInfo, "avg run_tot = (%.3fms)\n", t.run_tot / n);
  Log(kNevoLogInfo, "avg select = (%.3fms)\n", t.select / n);
  Log(kNevoLogInfo, "avg total = (%.3fms)\n", t.total / n);
  Log(kNevoLogInfo, "avg unit = (%.3fms)\n", t.unit / n);
  Log(kNevoLogInfo, "-------- nevo avg time end   --------\n");
  // Depth applies only to the condition hand-shake: without it the summary
  // leaves that column out.
  if (config_.sync_mode == 3) {
    Log(kNevoLogInfo, "nevo avg %.3f %.3f %.3f %.3f %.3f %.3f %.3f\n", t.init / n, t.start / n, t.frame_tot / n,
        t.run / n, t.depth / n, t.total / n, t.unit / n);
  } else {
    Log(kNevoLogInfo, "nevo avg %.3f %.3f %.3f %.3f %.3f %.3f\n", t.init / n, t.start / n, t.frame_tot / n,
        t.run / n, t.total / n, t.unit / n);
  }
}

int EmptyWrapper::AlgoSelectAnchor(int* anchor) {
  Log(kNevoLogInfo, "AlgoWrapper::AlgoSelectAnchor receive frame_index: %d\n", anchor_.load());
  if (anchor != nullptr) *anchor = anchor_;
  return 0;
}
