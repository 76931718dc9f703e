// Fault injection and introspection of the QX HDR stand-in, for tests
// (reached through dlopen(RTLD_NOLOAD) + dlsym, never linked).
#ifndef HOSTSIM_VENDOR_LIBQX_HDR_RAW_QX_HDR_RAW_STUB_H_
#define HOSTSIM_VENDOR_LIBQX_HDR_RAW_QX_HDR_RAW_STUB_H_

// op: "fail" (entry returns value; 0 clears), "delay" (entry waits value ms,
// cancellable in Process), "black" (all-zero output), "null_handle" (Init
// succeeds without a handle), "ignore_cancel", "calls" (how often entry
// ran), "frame_info" (copies the HDR_FRAME_INFO of slot value to out),
// "output" (copies the last HDR_RAW_OUTPUTINFO to out), "image" (copies
// the HDR_RAW_OFFSCREEN PreProcess got for slot value to out), "skip_work"
// (Process checks its arguments and reports the anchor but neither merges
// nor writes the output, so a caller's own cost can be timed), "reset".
// Returns 0, the count for "calls", or -1 for an unknown op/entry/slot.
extern "C" int QxHdrStubControl(const char* op, const char* entry, int value, void* out);
using QxHdrStubControlFn = int (*)(const char*, const char*, int, void*);
constexpr const char* kQxHdrStubControl = "QxHdrStubControl";

#endif  // HOSTSIM_VENDOR_LIBQX_HDR_RAW_QX_HDR_RAW_STUB_H_
