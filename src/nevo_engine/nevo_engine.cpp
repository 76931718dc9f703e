#include "nevo_engine/nevo_engine.h"

#include <chrono>
#include <cstring>

#include "nevo_utils/nevo_log.h"

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::microseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

}  // namespace

NevoEngine::NevoEngine(const NevoConfig& config) : config_(config) {
  std::memset(&init_param_, 0, sizeof(init_param_));
  NevoSetLogLevel(NevoGetPropertyInt(kNevoLogLevelProp, 0));
  NEVO_LOGD(kNevoTag, "NevoEngine::NevoEngine()\n");
  NEVO_LOGD(kNevoTag, "%s\n", NevoGetVersion());
  if (config_.bokeh_depth_enable != 0) NEVO_LOGI(kNevoTag, "bokeh depth algo enabled\n");
}

NevoEngine::~NevoEngine() = default;

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

int NevoEngine::Init(const NevoInitParam& init_param) {
  std::lock_guard<std::mutex> lock(mutex_);
  init_param_ = init_param;
  const int forced = init_param.force_algo;
  algo_type_ = static_cast<uint32_t>(forced >= 1 && forced <= 24 ? forced : init_param.ae.algo_type);
  return 0;
}

int NevoEngine::Start(const NevoStartParam&, NevoGetAnchorFunc, void*) {
  std::lock_guard<std::mutex> lock(mutex_);
  return 0;
}

int NevoEngine::AddFrame(const NevoFrame&, NevoOutput*) {
  std::lock_guard<std::mutex> lock(mutex_);
  return 0;
}

int NevoEngine::Run() {
  std::lock_guard<std::mutex> lock(mutex_);
  return 0;
}

int NevoEngine::SelectAnchor(int*) {
  std::lock_guard<std::mutex> lock(mutex_);
  return 0;
}

int NevoEngine::Terminate() { return 0; }

int NevoEngine::Unit() {
  std::lock_guard<std::mutex> lock(mutex_);
  return 0;
}

int NevoEngine::NevoSetDepthParam(const NevoDepthParam&) {
  std::lock_guard<std::mutex> lock(mutex_);
  return 0;
}
