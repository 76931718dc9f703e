// The exported C interface: argument checks, then the engine.
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "kiln/runtime/context/print.h"
#include "nevo/nevo.h"
#include "nevo_core/nevo_handle.h"
#include "nevo_engine/nevo_engine.h"
#include "nevo_utils/nevo_log.h"

namespace {

constexpr int kFail = NEVO_ERR_FAILED;

// The build banner: 1025 characters, version, build details in brackets,
// space padding. The version text is everything before the last '('.
constexpr size_t kBannerLength = 1025;
constexpr const char* kBannerHead = "nevo v1.0_20250225094637 develop_o1:2a28627 (";

std::string BuildBanner() {
  std::string banner = kBannerHead;
#if defined(__aarch64__)
  banner += "aarch64";
#elif defined(__x86_64__)
  banner += "x86_64";
#else
  banner += "unknown-arch";
#endif
  banner += " built " __DATE__ " " __TIME__ ")";
  banner.resize(kBannerLength, ' ');
  return banner;
}

NevoEngine* EngineOf(NevoHandle handle) { return handle->engine.get(); }

}  // namespace

extern "C" {

NEVO_API const char* NevoGetVersion(void) {
  static std::once_flag once;
  static std::string version;
  std::call_once(once, [] {
    const std::string banner = BuildBanner();
    version = banner.substr(0, banner.rfind('('));
  });
  return version.c_str();
}

NEVO_API NevoHandle NevoCreate(const NevoConfig* config, int* status) {
  if (status == nullptr) {
    // The status pointer itself is missing: nothing to report through, so
    // this goes to the kiln log whatever the NevoPrint level is.
    kiln::Print(kNevoTag, 0, "%s[%s:%d] status is null...\n", __FUNCTION__, __FILE__, __LINE__);
    return nullptr;
  }
  if (config == nullptr) {
    *status = kFail;
    kiln::Print(kNevoTag, 0, "%s[%s:%d] nevo config is invalid...\n", __FUNCTION__, __FILE__, __LINE__);
    return nullptr;
  }
  std::shared_ptr<NevoEngine> engine = NevoEngine::Create(*config);
  NevoHandleRec* handle = engine ? new (std::nothrow) NevoHandleRec : nullptr;
  if (handle == nullptr) {
    *status = kFail;
    NEVO_LOGE(kNevoTag, "nevo engine create fail...\n");
    return nullptr;
  }
  handle->magic = NevoHandleMagic();
  std::memset(handle->reserved, 0, sizeof(handle->reserved));
  handle->engine = std::move(engine);
  NEVO_LOGD(kNevoTag, "NevoCreate create handle %p\n", static_cast<void*>(handle));
  *status = 0;
  return handle;
}

NEVO_API int NevoInit(NevoHandle handle, const NevoInitParam* init_param) {
  NEVO_LOGD(kNevoTag, "NevoInit with handle %p\n", static_cast<void*>(handle));
  if (!NevoHandleIsValid(handle)) {
    NEVO_LOGE(kNevoTag, "nevo handle is invalid...\n");
    return kFail;
  }
  if (init_param == nullptr) {
    NEVO_LOGE(kNevoTag, "init_param is invalid...\n");
    return kFail;
  }
  const int ret = EngineOf(handle)->Init(*init_param);
  if (ret != 0) NEVO_LOGE(kNevoTag, "NevoInit fail, return=%d", ret);
  return ret;
}

NEVO_API int NevoStart(NevoHandle handle, const NevoStartParam* start_param,
                       NevoGetAnchorFunc get_anchor_func, void* user_data) {
  NEVO_LOGD(kNevoTag, "NevoStart with handle %p\n", static_cast<void*>(handle));
  if (!NevoHandleIsValid(handle)) {
    NEVO_LOGE(kNevoTag, "nevo handle is invalid...\n");
    return kFail;
  }
  if (start_param == nullptr) {
    NEVO_LOGE(kNevoTag, "nevo start_param is invalid...\n");
    return kFail;
  }
  if (get_anchor_func == nullptr) {
    NEVO_LOGE(kNevoTag, "nevo get_anchor_func is invalid...\n");
    return kFail;
  }
  const int ret = EngineOf(handle)->Start(*start_param, get_anchor_func, user_data);
  if (ret != 0) NEVO_LOGE(kNevoTag, "NevoStart fail, return=%d", ret);
  return ret;
}

NEVO_API int NevoAddFrame(NevoHandle handle, const NevoFrame* frame, NevoOutput* output) {
  NEVO_LOGD(kNevoTag, "NevoAddFrame with handle %p\n", static_cast<void*>(handle));
  if (!NevoHandleIsValid(handle)) {
    NEVO_LOGE(kNevoTag, "nevo handle is invalid...\n");
    return kFail;
  }
  if (frame == nullptr) {
    NEVO_LOGE(kNevoTag, "nevo frame is invalid...\n");
    return kFail;
  }
  const int ret = EngineOf(handle)->AddFrame(*frame, output);
  if (ret != 0) NEVO_LOGE(kNevoTag, "NevoAddFrame fail, return=%d", ret);
  return ret;
}

NEVO_API int NevoRun(NevoHandle handle) {
  NEVO_LOGD(kNevoTag, "NevoRun with handle %p\n", static_cast<void*>(handle));
  if (!NevoHandleIsValid(handle)) {
    NEVO_LOGE(kNevoTag, "nevo handle is invalid...\n");
    return kFail;
  }
  const int ret = EngineOf(handle)->Run();
  if (ret != 0) NEVO_LOGE(kNevoTag, "NevoRun fail, return=%d", ret);
  return ret;
}

NEVO_API int NevoSelectAnchor(NevoHandle handle, int* frame_index) {
  NEVO_LOGD(kNevoTag, "NevoSelectAnchor with handle %p\n", static_cast<void*>(handle));
  if (handle == nullptr) {
    NEVO_LOGE(kNevoTag, "nevo handle is invalid...\n");
    return kFail;
  }
  if (frame_index == nullptr) {
    NEVO_LOGE(kNevoTag, "frame_index is invalid...\n");
    return kFail;
  }
  if (!NevoHandleIsValid(handle)) return kFail;
  const int ret = EngineOf(handle)->SelectAnchor(frame_index);
  if (ret != 0) NEVO_LOGE(kNevoTag, "NevoSelectAnchor fail, return=%d", ret);
  return ret;
}

NEVO_API int NevoTerminate(NevoHandle handle) {
  NEVO_LOGD(kNevoTag, "NevoTerminate with handle %p\n", static_cast<void*>(handle));
  if (!NevoHandleIsValid(handle)) return kFail;
  const int ret = EngineOf(handle)->Terminate();
  if (ret != 0) NEVO_LOGE(kNevoTag, "NevoTerminate fail, return=%d", ret);
  return ret;
}

NEVO_API int NevoUnit(NevoHandle handle) {
  NEVO_LOGD(kNevoTag, "NevoUnit with handle %p\n", static_cast<void*>(handle));
  if (!NevoHandleIsValid(handle)) return kFail;
  const int ret = EngineOf(handle)->Unit();
  if (ret != 0) NEVO_LOGE(kNevoTag, "NevoUnit fail, return=%d", ret);
  return ret;
}

NEVO_API int NevoDestroy(NevoHandle* handle_ptr) {
  if (handle_ptr == nullptr || *handle_ptr == nullptr) return 0;
  NevoHandle handle = *handle_ptr;
  if (!NevoHandleIsValid(handle)) {
    NEVO_LOGE(kNevoTag, "nevo handle is invalid...\n");
    return kFail;
  }
  NEVO_LOGD(kNevoTag, "NevoDestroy destroy handle %p\n", static_cast<void*>(handle));
  NevoEngine::Destroy(handle->engine);
  handle->magic = 0;
  handle->engine.reset();
  delete handle;
  *handle_ptr = nullptr;
  return 0;
}

NEVO_API int NevoSetDepthParam(NevoHandle handle, const NevoDepthParam* depth_param) {
  NEVO_LOGD(kNevoTag, "NevoSetDepthParam with handle %p\n", static_cast<void*>(handle));
  if (handle == nullptr) {
    NEVO_LOGE(kNevoTag, "nevo handle is invalid...\n");
    return kFail;
  }
  if (depth_param == nullptr) {
    NEVO_LOGE(kNevoTag, "depth_param is invalid...\n");
    return kFail;
  }
  if (!NevoHandleIsValid(handle)) return kFail;
  return EngineOf(handle)->NevoSetDepthParam(*depth_param);
}

}  // extern "C"
