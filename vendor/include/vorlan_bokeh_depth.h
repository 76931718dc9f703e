// Vorlan bokeh depth SDK interface (libvorlan_bokeh_depth.so), as the module
// calls it. The host fills the 32-byte block; the module only slices it.
#ifndef VENDOR_INCLUDE_VORLAN_BOKEH_DEPTH_H_
#define VENDOR_INCLUDE_VORLAN_BOKEH_DEPTH_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VORLAN_DEPTH_OK 0
#define VORLAN_DEPTH_ERR_PARAM 1
#define VORLAN_DEPTH_ERR_HANDLE 2
#define VORLAN_DEPTH_ERR_STATE 3

typedef void* VorlanBokehDepthHandle;

// Size of the depth mask the library will produce.
typedef struct VorlanBokehDepthPreLaunchParams {
  uint32_t width;
  uint32_t height;
} VorlanBokehDepthPreLaunchParams;

// Radius of the in-focus region, in per mille of the shorter side.
typedef struct VorlanBokehDepthLaunchParams {
  uint32_t focus_permille;
  uint32_t reserved;
} VorlanBokehDepthLaunchParams;

// Where the U8 mask goes (stride in bytes).
typedef struct VorlanBokehDepthProcParams {
  uint8_t* mask;
  uint32_t stride;
  uint32_t reserved;
} VorlanBokehDepthProcParams;

typedef struct VorlanBokehDepthAllParam {
  VorlanBokehDepthPreLaunchParams pre_launch;
  VorlanBokehDepthLaunchParams launch;
  VorlanBokehDepthProcParams proc;
} VorlanBokehDepthAllParam;

int VorlanBokehDepthPreLaunch(VorlanBokehDepthHandle* handle, const VorlanBokehDepthPreLaunchParams* params);
int VorlanBokehDepthLaunch(VorlanBokehDepthHandle handle, const VorlanBokehDepthLaunchParams* params);
int VorlanBokehDepthProcess(VorlanBokehDepthHandle handle, const VorlanBokehDepthProcParams* params);
int VorlanBokehDepthLaunchDestory(VorlanBokehDepthHandle handle);
int VorlanBokehDepthPrelaunchDestory(VorlanBokehDepthHandle* handle);

#ifdef __cplusplus
}  // extern "C"
static_assert(sizeof(VorlanBokehDepthAllParam) == 32, "the host block is 32 bytes");
#endif

#endif  // VENDOR_INCLUDE_VORLAN_BOKEH_DEPTH_H_
