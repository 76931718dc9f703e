// Fault injection and call counts of the bokeh depth stand-in, for tests
// (reached through dlopen(RTLD_NOLOAD) + dlsym, never linked).
#ifndef HOSTSIM_VENDOR_LIBVORLAN_BOKEH_DEPTH_VORLAN_BOKEH_DEPTH_STUB_H_
#define HOSTSIM_VENDOR_LIBVORLAN_BOKEH_DEPTH_VORLAN_BOKEH_DEPTH_STUB_H_

// op: "fail" (entry returns value; 0 clears), "delay" (entry sleeps value ms),
// "null_handle" (pre-launch succeeds without a handle), "black" (all-zero
// mask), "calls" (returns how often entry ran), "reset" (clears everything).
// Returns 0, the count for "calls", or -1 for an unknown op or entry.
extern "C" int VorlanBokehDepthStubControl(const char* op, const char* entry, int value);
using VorlanBokehDepthStubControlFn = int (*)(const char*, const char*, int);
constexpr const char* kVorlanBokehDepthStubControl = "VorlanBokehDepthStubControl";

#endif  // HOSTSIM_VENDOR_LIBVORLAN_BOKEH_DEPTH_VORLAN_BOKEH_DEPTH_STUB_H_
