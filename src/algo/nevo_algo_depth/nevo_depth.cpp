#include <cstring>
#include <memory>
#include <string>

#include "algo/nevo_algo_depth/nevo_depth.h"
#include "nevo_algo_wrapper/nevo_library.h"
#include "nevo_algo_wrapper/nevo_library_call.h"
#include "nevo_utils/nevo_log.h"
#include "vorlan_bokeh_depth.h"

namespace {

constexpr const char* kTag = "NEVO_DEPTH";
constexpr const char* kDepthLibraryFile = "libvorlan_bokeh_depth.so";

#define DEPTH_ENTRY_POINTS(X)                                                                          \
  X(VorlanBokehDepthPreLaunch) X(VorlanBokehDepthLaunch) X(VorlanBokehDepthProcess) \
  X(VorlanBokehDepthLaunchDestory) X(VorlanBokehDepthPrelaunchDestory)

// The depth library, process-wide; owned by NevoLibraryOf::Get.
class DepthLibrary final : public NevoLibraryOf<DepthLibrary> {
  NEVO_LIBRARY_ENTRY_POINTS(DEPTH_ENTRY_POINTS)

 private:
  friend class NevoLibraryOf<DepthLibrary>;
  DepthLibrary() : NevoLibraryOf(kDepthLibraryFile) {}
};

// Unlike the other adapters, a missing depth entry point reads as -1.
constexpr NevoCallPolicy kDepthCalls = NevoInHouseCallPolicy(kTag, -1);
NEVO_LIBRARY_CALL(kDepthCalls, DepthLibrary, VorlanBokehDepthPreLaunch)
NEVO_LIBRARY_CALL(kDepthCalls, DepthLibrary, VorlanBokehDepthLaunch)
NEVO_LIBRARY_CALL(kDepthCalls, DepthLibrary, VorlanBokehDepthProcess)
NEVO_LIBRARY_CALL(kDepthCalls, DepthLibrary, VorlanBokehDepthLaunchDestory)
NEVO_LIBRARY_CALL(kDepthCalls, DepthLibrary, VorlanBokehDepthPrelaunchDestory)

class TraceSection {
 public:
  TraceSection(kiln::Context* ctx, std::string name)
      : trace_(ctx != nullptr ? ctx->GetSystrace() : nullptr), name_(std::move(name)) {
    if (trace_ != nullptr) trace_->Begin(name_);
  }
  ~TraceSection() {
    if (trace_ != nullptr) trace_->End(name_);
  }
  TraceSection(const TraceSection&) = delete;
  TraceSection& operator=(const TraceSection&) = delete;

 private:
  std::shared_ptr<kiln::Systrace> trace_;
  std::string name_;
};

// Steps 1-3; the first failure ends the chain and is the run's result.
int RunSteps(kiln::Context* ctx, VorlanBokehDepthAllParam& block, VorlanBokehDepthHandle* handle) {
  NEVO_LOGI(kTag, "VorlanBokehDepthPreLaunch\n");
  int ret = VorlanBokehDepthPreLaunch(ctx, handle, &block.pre_launch);
  if (ret != 0) {
    NEVO_LOGE(kTag, "VorlanBokehDepthPreLaunch fail, return=%d\n", ret);
    return ret;
  }
  NEVO_LOGI(kTag, "VorlanBokehDepthLaunch\n");
  ret = VorlanBokehDepthLaunch(ctx, *handle, &block.launch);
  if (ret != 0) {
    NEVO_LOGE(kTag, "VorlanBokehDepthLaunch fail, return=%d\n", ret);
    return ret;
  }
  NEVO_LOGI(kTag, "VorlanBokehDepthProcess\n");
  ret = VorlanBokehDepthProcess(ctx, *handle, &block.proc);
  if (ret != 0) NEVO_LOGE(kTag, "VorlanBokehDepthProcess fail, return=%d\n", ret);
  return ret;
}

}  // namespace

int NevoDepthRun(kiln::Context* ctx, const NevoAlgoConfig& config, const NevoDepthParam& param) {
  const TraceSection trace(ctx, std::string(kTag) + "::" + "DepthRun");
  if (ctx == nullptr) {
    NEVO_LOGE(kTag, "kiln::Context is invalid\n");
    return NEVO_ERR_FAILED;
  }
  if (config.bypass != 0) {
    NEVO_LOGI(kTag, "Depth algo is bypassed\n");
    return 0;
  }
  // The engine checked the length; a null block is still not ours to read.
  if (param.param == nullptr || param.length != sizeof(VorlanBokehDepthAllParam)) {
    NEVO_LOGE(kTag, "NevoDepthParam is invalid\n");
    return NEVO_ERR_FAILED;
  }
  VorlanBokehDepthAllParam block;
  std::memcpy(&block, param.param, sizeof(block));
  VorlanBokehDepthHandle handle = nullptr;

  const int ret = RunSteps(ctx, block, &handle);

  // The handle is released even after a failed step.
  NEVO_LOGI(kTag, "VorlanBokehDepthLaunchDestory\n");
  if (VorlanBokehDepthLaunchDestory(ctx, handle) != 0) NEVO_LOGE(kTag, "VorlanBokehDepthLaunchDestory fail\n");
  NEVO_LOGI(kTag, "VorlanBokehDepthPrelaunchDestory\n");
  if (VorlanBokehDepthPrelaunchDestory(ctx, &handle) != 0) {
    NEVO_LOGE(kTag, "VorlanBokehDepthPrelaunchDestory fail\n");
  }
  return ret;
}
