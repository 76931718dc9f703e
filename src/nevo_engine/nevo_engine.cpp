#include "nevo_engine/nevo_engine.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include "algo/nevo_algo_depth/nevo_depth.h"
#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/context/print.h"
#include "kiln/runtime/utils/device_path.h"
#include "nevo_engine/nevo_wrapper_factory.h"
#include "nevo_utils/nevo_algo_names.h"
#include "nevo_utils/nevo_image.h"
#include "nevo_utils/nevo_json_file.h"
#include "nevo_utils/nevo_log.h"

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

constexpr int kFail = NEVO_ERR_FAILED;
constexpr int kDefaultTimeout = 1061109567;  // 0x3F3F3F3F ms: practically unlimited
constexpr const char* kPropPrefix = "persist.vendor.camera.nevo.";

std::chrono::microseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// A present numeric (or boolean) value is kept as an integer; anything else
// takes the default. The effective value is written back.
int NormInt(json& obj, const char* key, int def) {
  int value = def;
  if (obj.contains(key)) {
    const json& v = obj[key];
    if (v.is_number()) value = v.get<int>();
    if (v.is_boolean()) value = v.get<bool>() ? 1 : 0;
  }
  obj[key] = value;
  return value;
}

int ReadInt(const json& obj, const char* key, int def) {
  if (!obj.is_object() || !obj.contains(key) || !obj[key].is_number()) return def;
  return obj[key].get<int>();
}

// The property "persist.vendor.camera.nevo." + name overrides obj[key].
int MergeProp(json& obj, const char* key, const std::string& name) {
  const int value = NevoGetPropertyInt((kPropPrefix + name).c_str(), ReadInt(obj, key, 0));
  obj[key] = value;
  return value;
}

}  // namespace

// Engine lines go to the context's logger, or to the Android log without one.
#define ELOG(level, fmt, ...)                                                      \
  do {                                                                             \
    const auto elog_logger_ = ctx_ != nullptr ? ctx_->GetLogger() : nullptr;       \
    if (elog_logger_ != nullptr) {                                                 \
      elog_logger_->Log(kNevoTag, (level), fmt, ##__VA_ARGS__);                    \
    } else {                                                                       \
      kiln::Print(kNevoTag, (level), fmt, ##__VA_ARGS__);                          \
    }                                                                              \
  } while (0)
#define ELOGE(fmt, ...) ELOG(0, "%s[%s:%d] " fmt, __FUNCTION__, __FILE__, __LINE__, ##__VA_ARGS__)
#define ERECORD(fmt, ...) Record(__FUNCTION__, __LINE__, NevoFormat(fmt, ##__VA_ARGS__))

NevoEngine::NevoEngine(const NevoConfig& config) : config_(config) {
  std::memset(&init_param_, 0, sizeof(init_param_));
  const int log_level = NevoGetPropertyInt(kNevoLogLevelProp, 0);
  kiln::ContextConfig cfg;
  cfg.log_mode = 2;
  cfg.log_level = (log_level == 2 || log_level == 1) ? log_level : 0;
  cfg.wp_name = "NEVO";
  cfg.compute_affinity = kiln::CpuAffinity(0);
  cfg.async_affinity = kiln::CpuAffinity(0);
  cfg.compute_threads = 4;
  cfg.async_threads = 2;
  cfg.systrace = NevoGetPropertyInt("persist.vendor.camera.nevo.trace", 0) != 0;
  NevoSetLogLevel(log_level);

  ctx_ = std::make_shared<kiln::Context>(cfg);
  if (ctx_->Initialize() != 0) {
    kiln::Print(kNevoTag, 0, "%s[%s:%d] kiln_ctx Initialize failed\n", "NevoEngine", __FILE__, __LINE__);
    return;
  }
  ELOG(2, "NevoEngine::NevoEngine()\n");
  ELOG(2, "%s\n", NevoGetVersion());
  if (config_.bokeh_depth_enable != 0) ELOG(1, "bokeh depth algo enabled\n");
  LoadJsonConfig(kiln::DevicePath(kNevoConfigPath));
}

NevoEngine::~NevoEngine() {
  // Reverse order of the members: depth future, wrappers, document, context.
  if (depth_result_.valid()) depth_result_.wait();
  depth_result_ = std::shared_future<int>();
  wrappers_.clear();
}

std::shared_ptr<NevoEngine> NevoEngine::Create(const NevoConfig& config) {
  NEVO_LOGD(kNevoTag, "Nevo::Create()\n");
  const auto start = Clock::now();
  auto engine = std::make_shared<NevoEngine>(config);
  NEVO_LOGD(kNevoTag, "[%s] cost [%s]\n", "NevoEngine_Create", NevoElapsedText(Since(start)).c_str());
  return engine;
}

void NevoEngine::Destroy(std::shared_ptr<NevoEngine> engine) {
  NEVO_LOGD(kNevoTag, "Nevo::Destroy()\n");
  const auto start = Clock::now();
  engine.reset();
  NEVO_LOGD(kNevoTag, "[%s] cost [%s]\n", "NevoEngine_Destroy", NevoElapsedText(Since(start)).c_str());
}

void NevoEngine::Record(const char* function, int line, const std::string& text) {
  const auto logger = ctx_ != nullptr ? ctx_->GetLogger() : nullptr;
  if (logger != nullptr) logger->Error(__FILE__, function, line, text);
}

void NevoEngine::LoadJsonConfig(const std::string& path) {
  std::lock_guard<std::mutex> lock(lookup_mutex_);
  json loaded;
  if (LoadNevoJson(path.c_str(), loaded) != 0 || !loaded.is_object()) {
    ELOGE("%s not found", path.c_str());
    loaded = json::object();
  }
  json_ = std::move(loaded);
  if (!json_["nevo"].is_object()) json_["nevo"] = json::object();
  json& root = json_["nevo"];
  root["valid"] = true;
  NormInt(root, "dump_all", 0);
  if (!root["dump"].is_object()) root["dump"] = json::object();
  NormInt(root["dump"], "txt", 1);
  NormInt(root["dump"], "input", 1);
  NormInt(root["dump"], "output", 1);
  NormInt(root, "log_level", 0);
  NormInt(root, "log", 0);
  NormInt(root, "bypass_all", 0);
  NormInt(root, "print_status", 0);
  NormInt(root, "init_protect", 0);
  NormInt(root, "error_protect", 0);
  NormInt(root, "black_protect", 0);
  NormInt(root, "timeout", kDefaultTimeout);

  MergeProp(root, "dump_all", "dump");
  MergeProp(root["dump"], "txt", "dump.txt");
  MergeProp(root["dump"], "input", "dump.input");
  MergeProp(root["dump"], "output", "dump.output");
  MergeProp(root, "log", "log");
  MergeProp(root, "bypass_all", "bypass");
  MergeProp(root, "print_status", "print_status");
  MergeProp(root, "init_protect", "init_protect");
  MergeProp(root, "error_protect", "error_protect");
  MergeProp(root, "black_protect", "black_protect");

  NormaliseSection(NEVO_INVALID);
  if (config_.bokeh_depth_enable != 0) NormaliseDepthSection();
}

void NevoEngine::NormaliseSection(int t) {
  json& root = json_["nevo"];
  if (!root["algo"].is_object()) root["algo"] = json::object();
  json& sec = root["algo"][NevoAlgoSectionName(t)];
  if (!sec.is_object()) sec = json::object();
  const std::string prop = "algo_" + Lower(NevoAlgoShortName(t));

  sec["valid"] = true;
  NormInt(sec, "enable", 0);
  NormInt(sec, "enable_anchor", 0);
  NormInt(sec, "enable_xdr", 1);
  NormInt(sec, "enable_ur", 1);
  NormInt(sec, "bypass", 1);
  MergeProp(sec, "bypass", prop + ".bypass");
  // The bypass property replaces both bypass keys; without it
  // bypass_portrait falls back to the section's own bypass.
  NormInt(sec, "bypass_portrait", sec["bypass"].get<int>());
  MergeProp(sec, "bypass_portrait", prop + ".bypass");
  const int bypass_all = ReadInt(root, "bypass_all", 0);
  if (bypass_all != 0) {
    sec["bypass"] = bypass_all;
    sec["bypass_portrait"] = bypass_all;
  }
  NormInt(sec, "bypass_func", 1);
  NormInt(sec, "dump", 0);
  MergeProp(sec, "dump", prop + ".dump");
  const int dump_all = ReadInt(root, "dump_all", 0);
  if (dump_all != 0) sec["dump"] = dump_all;
  NormInt(sec, "log", ReadInt(root, "log", 0));
  MergeProp(sec, "log", prop + ".log");
  const int input_format = NormInt(sec, "input_format", 0);
  const int output_format = NormInt(sec, "output_format", 1);
  NormInt(sec, "format_ur", 0);
  NormInt(sec, "format_xdr", 0);
  NormInt(sec, "clone_input", 0);
  NormInt(sec, "init_protect", ReadInt(root, "init_protect", 0));
  NormInt(sec, "error_protect", ReadInt(root, "error_protect", 0));
  NormInt(sec, "black_protect", ReadInt(root, "black_protect", 0));
  NormInt(sec, "input_format_portrait", input_format);
  NormInt(sec, "output_format_portrait", output_format);
  NormInt(sec, "input_format_front", input_format);
  NormInt(sec, "output_format_front", output_format);
  NormInt(sec, "sync_mode", 2);
  NormInt(sec, "sync_id", 0);
  NormInt(sec, "vendor_type", 0);
  NormInt(sec, "print_status", ReadInt(root, "print_status", 0));
  NormInt(sec, "timeout", ReadInt(root, "timeout", kDefaultTimeout));
}

void NevoEngine::NormaliseDepthSection() {
  json& root = json_["nevo"];
  if (!root["algo"].is_object()) root["algo"] = json::object();
  json& sec = root["algo"]["NEVO_DEPTH"];
  if (!sec.is_object()) sec = json::object();
  sec["valid"] = true;
  NormInt(sec, "bypass", 1);
  NormInt(sec, "dump", 0);
  MergeProp(sec, "bypass", "algo_depth.bypass");
  MergeProp(sec, "dump", "algo_depth.dump");
}

NevoAlgoConfig NevoEngine::BuildAlgoConfig(int t) {
  NormaliseSection(t);
  const json& sec = json_["nevo"]["algo"][NevoAlgoSectionName(t)];
  NevoAlgoConfig c{};
  c.enable = ReadInt(sec, "enable", 0);
  c.enable_anchor = ReadInt(sec, "enable_anchor", 0);
  c.enable_xdr = ReadInt(sec, "enable_xdr", 1);
  c.enable_ur = ReadInt(sec, "enable_ur", 1);
  c.bypass = ReadInt(sec, "bypass", 1);
  c.bypass_func = ReadInt(sec, "bypass_func", 1);
  c.dump = ReadInt(sec, "dump", 0);
  c.log = ReadInt(sec, "log", 0);
  c.input_format = ReadInt(sec, "input_format", 0);
  c.output_format = ReadInt(sec, "output_format", 1);
  c.format_ur = ReadInt(sec, "format_ur", 0);
  c.format_xdr = ReadInt(sec, "format_xdr", 0);
  c.clone_input = ReadInt(sec, "clone_input", 0);
  c.init_protect = ReadInt(sec, "init_protect", 0);
  c.error_protect = ReadInt(sec, "error_protect", 0);
  c.black_protect = ReadInt(sec, "black_protect", 0);
  c.sync_mode = ReadInt(sec, "sync_mode", 2);
  c.sync_id = ReadInt(sec, "sync_id", 0);
  c.vendor_type = ReadInt(sec, "vendor_type", 0);
  c.print_status = ReadInt(sec, "print_status", 0);
  c.camera_mode = config_.camera_mode;
  c.timeout = ReadInt(sec, "timeout", kDefaultTimeout);
  if (c.camera_mode == NEVO_CAMERA_MODE_PORTRAIT) {
    c.input_format = ReadInt(sec, "input_format_portrait", 0);
    c.output_format = ReadInt(sec, "output_format_portrait", 1);
    c.bypass = ReadInt(sec, "bypass_portrait", c.bypass);
  }
  return c;
}

nlohmann::json NevoEngine::GetJson() {
  std::lock_guard<std::mutex> lock(lookup_mutex_);
  return json_;
}

std::shared_ptr<AlgoWrapper> NevoEngine::GetWrapper() {
  std::lock_guard<std::mutex> lock(lookup_mutex_);
  return LookupWrapper();
}

std::shared_ptr<AlgoWrapper> NevoEngine::LookupWrapper() {
  const int t = static_cast<int>(algo_type_);
  const NevoAlgoConfig cfg = BuildAlgoConfig(t);
  const int vendor = cfg.vendor_type;
  if (wrappers_.count(0) == 0) {
    wrappers_[0] = std::make_shared<EmptyWrapper>(ctx_.get(), BuildAlgoConfig(NEVO_INVALID), NEVO_INVALID);
  }
  auto found = wrappers_.find(t);
  if (found != wrappers_.end()) return found->second;

  const WrapperRow row = NevoWrapperRow(t, vendor);
  if (row.supported) {
    std::shared_ptr<AlgoWrapper> created = NevoCreateWrapper(row, ctx_.get(), BuildAlgoConfig(row.config_type));
    if (created != nullptr) wrappers_[row.key] = std::move(created);
  } else if (vendor == NEVO_VENDOR_ARCSOFT) {
    ELOGE("algo_type %s is not supported for vendor %d", NevoAlgoDisplayName(t).c_str(), vendor);
  } else {
    ELOGE("%s is not supported for vendor %d\n", NevoAlgoDisplayName(t).c_str(), vendor);
  }
  found = wrappers_.find(t);
  if (found != wrappers_.end()) return found->second;
  ELOGE("%s is not ready, try correct\n", NevoAlgoDisplayName(t).c_str());
  return wrappers_[0];
}

void NevoEngine::FlushError() {
  const auto logger = ctx_ != nullptr ? ctx_->GetLogger() : nullptr;
  if (logger == nullptr) return;
  const std::string text = logger->GetErrorBacktrace();
  if (std::count(text.begin(), text.end(), '\n') >= 2) {
    ELOG(0, "%s[%s:%d] %s\n", "FlushError", __FILE__, __LINE__, text.c_str());
  }
  logger->ClearError();
}

namespace {

// Runs FlushError when a lifecycle call returns, on every path.
class FlushOnExit {
 public:
  explicit FlushOnExit(NevoEngine* engine) : engine_(engine) {}
  ~FlushOnExit() { engine_->FlushError(); }

 private:
  NevoEngine* engine_;
};

}  // namespace

int NevoEngine::Init(const NevoInitParam& p) {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushOnExit flush(this);
  ELOG(2, "NevoEngine::Init()\n");
  init_param_ = p;
  uint32_t type = static_cast<uint32_t>(p.ae.algo_type);
  if (p.force_algo != 0) {
    ELOG(1, "force set to %s by software, key %d\n", NevoAlgoDisplayName(p.force_algo).c_str(), p.force_algo);
    if (p.force_algo >= 1 && p.force_algo <= 24) {
      type = static_cast<uint32_t>(p.force_algo);
      ELOG(1, "force set to %s done\n", NevoAlgoDisplayName(p.force_algo).c_str());
    }
  }
  {
    std::lock_guard<std::mutex> lookup(lookup_mutex_);
    algo_type_ = type;
  }
  ELOG(2, "algo type = %s\n", NevoAlgoDisplayName(static_cast<int>(type)).c_str());
  const int ret = GetWrapper()->Init(init_param_);
  if (ret != 0) ERECORD("Init fail, return=%d", ret);
  return ret;
}

int NevoEngine::Start(const NevoStartParam& p, NevoGetAnchorFunc f, void* u) {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushOnExit flush(this);
  ELOG(2, "NevoEngine::Start()\n");
  const int ret = GetWrapper()->Start(p, f, u);
  if (ret != 0) ERECORD("Start fail, return=%d", ret);
  return ret;
}

int NevoEngine::AddFrame(const NevoFrame& frame, NevoOutput* output) {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushOnExit flush(this);
  ELOG(2, "NevoEngine::AddFrame()\n");
  const int ret = GetWrapper()->AddFrame(frame, output);
  if (ret != 0) ERECORD("AddFrame fail, return=%d", ret);
  return ret;
}

int NevoEngine::Run() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushOnExit flush(this);
  ELOG(2, "NevoEngine::Run()\n");
  if (init_param_.is_anchor_select != 0) {
    ERECORD("disable is_anchor_select before run");
    return kFail;
  }
  const int ret = GetWrapper()->Run();
  if (ret != 0) ERECORD("Run fail, return=%d", ret);
  if (config_.bokeh_depth_enable != 0 && depth_result_.valid()) {
    int depth = 0;
    try {
      depth = depth_result_.get();
    } catch (const std::exception&) {
      depth = kFail;  // the task was never queued
    }
    if (depth != 0) ELOGE("NevoDepthRun fail, return=%d\n", depth);
  }
  return ret;
}

int NevoEngine::SelectAnchor(int* frame_index) {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushOnExit flush(this);
  ELOG(2, "NevoEngine::SelectAnchor()\n");
  if (init_param_.is_anchor_select == 0) {
    ERECORD("enable is_anchor_select before select anchor");
    return kFail;
  }
  const int ret = GetWrapper()->SelectAnchor(frame_index);
  if (ret != 0) ERECORD("SelectAnchor, return=%d", ret);
  return ret;
}

int NevoEngine::Terminate() {
  FlushOnExit flush(this);
  ELOG(2, "NevoEngine::Terminate()\n");
  const int ret = GetWrapper()->Terminate();
  if (ret != 0) ERECORD("Terminate fail, return=%d", ret);
  return ret;
}

int NevoEngine::Unit() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushOnExit flush(this);
  ELOG(2, "NevoEngine::Unit()\n");
  const int ret = GetWrapper()->Unit();
  if (ret != 0) ERECORD("Unit fail, return=%d", ret);
  return ret;
}

int NevoEngine::NevoSetDepthParam(const NevoDepthParam& param) {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushOnExit flush(this);
  if (config_.bokeh_depth_enable == 0) {
    ERECORD("bokeh depth algo is disabled");
    return kFail;
  }
  NevoAlgoConfig depth_cfg{};
  {
    std::lock_guard<std::mutex> lookup(lookup_mutex_);
    NormaliseDepthSection();
    const json& sec = json_["nevo"]["algo"]["NEVO_DEPTH"];
    depth_cfg.bypass = ReadInt(sec, "bypass", 1);
    depth_cfg.dump = ReadInt(sec, "dump", 0);
  }
  ELOG(2, "NevoEngine::NevoSetDepthParam() check param\n");
  int ret = NevoDepthCheckParam(ctx_.get(), param);
  if (ret != 0) {
    ERECORD("NevoDepthCheckParam fail, return=%d", ret);
    return ret;
  }
  ELOG(2, "NevoEngine::NevoSetDepthParam() wait condition\n");
  const std::shared_ptr<AlgoWrapper> wrapper = GetWrapper();
  ret = wrapper->WaitNotify();
  if (ret != 0) ELOGE("WaitNotify fail, return=%d", ret);

  ELOG(2, "NevoEngine::NevoSetDepthParam() submit task\n");
  const auto pool = ctx_ != nullptr ? ctx_->GetWorkerpool() : nullptr;
  if (pool == nullptr) {
    ERECORD("NevoDepthRun submit task fail, return=%d", kFail);
    return kFail;
  }
  kiln::Context* ctx = ctx_.get();
  depth_result_ = pool->AddTask(0, [ctx, depth_cfg, param, wrapper] {
                          wrapper->depth_time().Begin();
                          const int r = NevoDepthRun(ctx, depth_cfg, param);
                          wrapper->depth_time().Finish();
                          return r;
                        }).share();
  ELOG(2, "NevoDepthRun submit task success\n");
  return 0;
}
