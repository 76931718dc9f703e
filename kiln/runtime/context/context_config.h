// kiln::ContextConfig: the settings a kiln::Context is built from.
#ifndef KILN_RUNTIME_CONTEXT_CONTEXT_CONFIG_H_
#define KILN_RUNTIME_CONTEXT_CONTEXT_CONFIG_H_

#include <cstdint>
#include <string>

#include "kiln/runtime/utils/cpu_info.h"

namespace kiln {

// Plain value; the context keeps its own copy.
struct ContextConfig {
  int32_t log_mode = 2;        // 0 console with colours, 1 file, 2 Android log, 3 none
  int32_t log_level = 0;       // highest emitted level: 0 error, 1 info, 2 debug
  std::string log_path;        // file for log_mode 1
  std::string wp_name;         // worker-pool name; only the first 12 characters are used
  CpuAffinity compute_affinity = CpuAffinity::kAll;
  CpuAffinity async_affinity = CpuAffinity::kAll;
  int32_t compute_threads = 0;  // < 0: one per CPU of compute_affinity
  int32_t async_threads = 0;    // < 0: one per CPU of async_affinity
  bool systrace = false;        // open the kernel trace marker

  // Settings of the OpenCL, HVX and VDSP targets: carried and copied so the
  // record matches the device build, never read here.
  std::string opencl_cache_path;
  int32_t opencl_perf_level = 0;
  int32_t hvx_perf_level = 0;
  int32_t vdsp_perf_level = 0;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_CONTEXT_CONTEXT_CONFIG_H_
