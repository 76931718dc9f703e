// Stand-in for libvorlan_bokeh_depth.so: writes an elliptic in-focus mask
// (255 inside, 0 outside) of the pre-launch size into the process record's
// buffer. Concurrency: the fault table is guarded by one mutex; a handle is
// used by one thread at a time, as the module does.
#include "vorlan_bokeh_depth_stub.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "vorlan_bokeh_depth.h"

namespace {

enum Entry { kPreLaunch, kLaunch, kProcess, kLaunchDestroy, kPrelaunchDestroy, kEntryCount };
constexpr const char* kEntryNames[kEntryCount] = {"VorlanBokehDepthPreLaunch", "VorlanBokehDepthLaunch",
                                                  "VorlanBokehDepthProcess", "VorlanBokehDepthLaunchDestory",
                                                  "VorlanBokehDepthPrelaunchDestory"};

struct Faults {
  int fail[kEntryCount] = {};
  int delay_ms[kEntryCount] = {};
  int calls[kEntryCount] = {};
  bool null_handle = false;
  bool black = false;
};

std::mutex g_mutex;
Faults g_faults;

struct DepthSession {
  VorlanBokehDepthPreLaunchParams size;
  VorlanBokehDepthLaunchParams launch;
  bool launched = false;
};

int FindEntry(const char* name) {
  if (name == nullptr) return -1;
  for (int i = 0; i < kEntryCount; ++i) {
    if (std::strcmp(name, kEntryNames[i]) == 0) return i;
  }
  return -1;
}

// Counts the call, sleeps when asked; returns the injected code or 0.
int Enter(Entry entry) {
  int delay = 0;
  int code = 0;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_faults.calls[entry];
    delay = g_faults.delay_ms[entry];
    code = g_faults.fail[entry];
  }
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  return code;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int VorlanBokehDepthStubControl(const char* op, const char* entry,
                                                                        int value) {
  if (op == nullptr) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (std::strcmp(op, "reset") == 0) {
    g_faults = Faults();
    return 0;
  }
  if (std::strcmp(op, "null_handle") == 0) {
    g_faults.null_handle = value != 0;
    return 0;
  }
  if (std::strcmp(op, "black") == 0) {
    g_faults.black = value != 0;
    return 0;
  }
  const int index = FindEntry(entry);
  if (index < 0) return -1;
  if (std::strcmp(op, "fail") == 0) {
    g_faults.fail[index] = value;
    return 0;
  }
  if (std::strcmp(op, "delay") == 0) {
    g_faults.delay_ms[index] = value;
    return 0;
  }
  if (std::strcmp(op, "calls") == 0) return g_faults.calls[index];
  return -1;
}

int VorlanBokehDepthPreLaunch(VorlanBokehDepthHandle* handle, const VorlanBokehDepthPreLaunchParams* params) {
  const int code = Enter(kPreLaunch);
  if (code != 0) return code;
  if (handle == nullptr || params == nullptr || params->width == 0 || params->height == 0 ||
      params->width > 16384 || params->height > 16384) {
    return VORLAN_DEPTH_ERR_PARAM;
  }
  bool null_handle = false;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    null_handle = g_faults.null_handle;
  }
  if (null_handle) {
    *handle = nullptr;
    return VORLAN_DEPTH_OK;
  }
  auto* session = new DepthSession();
  session->size = *params;
  *handle = session;
  return VORLAN_DEPTH_OK;
}

int VorlanBokehDepthLaunch(VorlanBokehDepthHandle handle, const VorlanBokehDepthLaunchParams* params) {
  const int code = Enter(kLaunch);
  if (code != 0) return code;
  if (handle == nullptr) return VORLAN_DEPTH_ERR_HANDLE;
  if (params == nullptr || params->focus_permille > 1000) return VORLAN_DEPTH_ERR_PARAM;
  auto* session = static_cast<DepthSession*>(handle);
  session->launch = *params;
  session->launched = true;
  return VORLAN_DEPTH_OK;
}

int VorlanBokehDepthProcess(VorlanBokehDepthHandle handle, const VorlanBokehDepthProcParams* params) {
  const int code = Enter(kProcess);
  if (code != 0) return code;
  if (handle == nullptr) return VORLAN_DEPTH_ERR_HANDLE;
  auto* session = static_cast<DepthSession*>(handle);
  if (!session->launched) return VORLAN_DEPTH_ERR_STATE;
  const uint32_t w = session->size.width;
  const uint32_t h = session->size.height;
  if (params == nullptr || params->mask == nullptr || params->stride < w) return VORLAN_DEPTH_ERR_PARAM;
  bool black = false;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    black = g_faults.black;
  }
  // Ellipse around the centre whose semi-axes are focus_permille of each half side.
  const double f = session->launch.focus_permille / 1000.0;
  const double ax = f * w / 2.0;
  const double ay = f * h / 2.0;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = params->mask + static_cast<size_t>(y) * params->stride;
    for (uint32_t x = 0; x < w; ++x) {
      const double dx = (x + 0.5 - w / 2.0) / (ax > 0 ? ax : 1e-9);
      const double dy = (y + 0.5 - h / 2.0) / (ay > 0 ? ay : 1e-9);
      row[x] = (!black && dx * dx + dy * dy <= 1.0) ? 255 : 0;
    }
  }
  return VORLAN_DEPTH_OK;
}

int VorlanBokehDepthLaunchDestory(VorlanBokehDepthHandle handle) {
  const int code = Enter(kLaunchDestroy);
  if (code != 0) return code;
  if (handle == nullptr) return VORLAN_DEPTH_ERR_HANDLE;
  static_cast<DepthSession*>(handle)->launched = false;
  return VORLAN_DEPTH_OK;
}

int VorlanBokehDepthPrelaunchDestory(VorlanBokehDepthHandle* handle) {
  const int code = Enter(kPrelaunchDestroy);
  // The session is freed even when a failure is injected: no leak under test.
  if (handle != nullptr) {
    delete static_cast<DepthSession*>(*handle);
    *handle = nullptr;
  }
  if (code != 0) return code;
  return handle == nullptr ? VORLAN_DEPTH_ERR_HANDLE : VORLAN_DEPTH_OK;
}

}  // extern "C"
