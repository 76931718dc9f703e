// The private device tree nevo-capture runs the module in.
#ifndef TOOLS_NEVO_CAPTURE_CAPTURE_SYSROOT_H_
#define TOOLS_NEVO_CAPTURE_CAPTURE_SYSROOT_H_

#include <string>

#include "tools/nevo_capture/capture_options.h"

namespace nevo_capture {

// Owned by main for the whole run. Create() makes a temporary directory
// holding what the module opens through its device paths:
//   odm/etc/camera/nevo.json                the --config file, or a generated
//                                           one enabling the algorithm
//   odm/etc/camera/nevo_correct_image.json  EV0 fallback settings whose
//                                           output_fmt matches output_format
//   sys/devices/system/cpu/cpuN/cpufreq/cpuinfo_max_freq, proc/cpuinfo
//   sys/kernel/tracing/trace_marker         (empty)
//   data/vendor/camera/nevo_dump/
// and points NEVO_SYSROOT at it. The destructor restores NEVO_SYSROOT and
// removes the directory. Not thread-safe (it changes the environment).
class CaptureSysroot {
 public:
  CaptureSysroot() = default;
  ~CaptureSysroot();
  CaptureSysroot(const CaptureSysroot&) = delete;
  CaptureSysroot& operator=(const CaptureSysroot&) = delete;

  // False with a reason when the tree cannot be built or --config cannot be
  // read.
  bool Create(const CaptureOptions& options, std::string* error);

  const std::string& root() const { return root_; }
  std::string DumpDir() const;
  // output_format of the section the engine will use for the algorithm (1
  // when the file or key is missing or unreadable).
  int output_format() const { return output_format_; }

  // The generated configuration for the options (also used by tests).
  static std::string GenerateNevoJson(const CaptureOptions& options);
  // output_format a configuration text selects for `algo` (1 by default).
  static int OutputFormatOf(const std::string& json_text, int algo);

 private:
  std::string root_;
  std::string saved_env_;
  bool had_env_ = false;
  int output_format_ = 1;
};

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_CAPTURE_SYSROOT_H_
