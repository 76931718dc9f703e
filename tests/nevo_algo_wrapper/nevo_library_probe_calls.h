// The loader tests' adapter side: a loader class for libnevo_library_probe.so,
// call functions under four policies (two ArcSoft adapters sharing the
// library like the GRF one, an in-house adapter, the depth adapter's -1),
// a log capture, and direct looks at the library behind the loader's back.
#ifndef TESTS_NEVO_ALGO_WRAPPER_NEVO_LIBRARY_PROBE_CALLS_H_
#define TESTS_NEVO_ALGO_WRAPPER_NEVO_LIBRARY_PROBE_CALLS_H_

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "kiln/runtime/context/context.h"
#include "nevo/nevo.h"
#include "nevo_algo_wrapper/nevo_library.h"
#include "nevo_algo_wrapper/nevo_library_call.h"
#include "nevo_algo_wrapper/nevo_library_probe.h"
#include "nevo_host/properties.h"
#include "nevo_utils/nevo_log.h"

constexpr const char* kProbeLibraryFile = "libnevo_library_probe.so";

#define PROBE_ENTRY_POINTS(X) \
  X(Probe_GetVersion)         \
  X(Probe_Echo)               \
  X(Probe_Add)                \
  X(Probe_Missing)            \
  X(Probe_Touch)              \
  X(Probe_Stamp)              \
  X(Probe_Throw)

// The process-wide loader of the probe library.
class ProbeLibrary final : public NevoLibraryOf<ProbeLibrary> {
  NEVO_LIBRARY_ENTRY_POINTS(PROBE_ENTRY_POINTS)

 private:
  friend class NevoLibraryOf<ProbeLibrary>;
  ProbeLibrary() : NevoLibraryOf(kProbeLibraryFile) {}
};

constexpr int kInHouseMissingCode = 1043900;
constexpr NevoCallPolicy kSrCalls = NevoArcCallPolicy("NEVO_HDSR", NEVO_HDSR);
constexpr NevoCallPolicy kHdrCalls = NevoArcCallPolicy("NEVO_HDR", NEVO_HDR);
constexpr NevoCallPolicy kNrLlCalls = NevoInHouseCallPolicy("NEVO_NR_LL", kInHouseMissingCode);
constexpr NevoCallPolicy kDepthCalls = NevoInHouseCallPolicy("NEVO_DEPTH", -1);

namespace arc_sr {
#define PROBE_SR_CALL(name) NEVO_LIBRARY_CALL(kSrCalls, ProbeLibrary, name)
PROBE_ENTRY_POINTS(PROBE_SR_CALL)
}  // namespace arc_sr
namespace arc_hdr {
#define PROBE_HDR_CALL(name) NEVO_LIBRARY_CALL(kHdrCalls, ProbeLibrary, name)
PROBE_ENTRY_POINTS(PROBE_HDR_CALL)
}  // namespace arc_hdr
namespace in_house {
#define PROBE_NR_LL_CALL(name) NEVO_LIBRARY_CALL(kNrLlCalls, ProbeLibrary, name)
PROBE_ENTRY_POINTS(PROBE_NR_LL_CALL)
}  // namespace in_house
namespace depth {
#define PROBE_DEPTH_CALL(name) NEVO_LIBRARY_CALL(kDepthCalls, ProbeLibrary, name)
PROBE_ENTRY_POINTS(PROBE_DEPTH_CALL)
}  // namespace depth

struct LoggedLine {
  int level;
  std::string tag;
  std::string text;
};

// Collects every NevoPrint line at debug level through the host callback.
// Process-wide like the callback itself; the callback may run on any thread.
class LibraryLog {
 public:
  static void Install(int level) {
    NevoHostPropertySet(kNevoLogLevelProp, std::to_string(level).c_str());
    NevoSetLogPrint(1, &Callback);
    Take();  // drop "NEVO LOG enabled"
  }
  static std::vector<LoggedLine> Take() {
    std::lock_guard<std::mutex> lock(Mutex());
    std::vector<LoggedLine> lines;
    lines.swap(Store());
    return lines;
  }
  static std::vector<LoggedLine> Matching(const std::vector<LoggedLine>& lines, const std::string& pattern) {
    const std::regex re(pattern);
    std::vector<LoggedLine> found;
    for (const LoggedLine& line : lines) {
      if (std::regex_match(line.text, re)) found.push_back(line);
    }
    return found;
  }
  static std::vector<LoggedLine> AtLevel(const std::vector<LoggedLine>& lines, int level) {
    std::vector<LoggedLine> found;
    for (const LoggedLine& line : lines) {
      if (line.level == level) found.push_back(line);
    }
    return found;
  }

 private:
  static int Callback(int level, const char* tag, const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(Mutex());
    Store().push_back({level, tag != nullptr ? tag : "", text});
    return 0;
  }
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::vector<LoggedLine>& Store() {
    static std::vector<LoggedLine> lines;
    return lines;
  }
};

// Entry or exit line of a timed call, taken apart.
struct CallLine {
  std::string name;
  std::string ctx;
  char phase;
  long long micros;
};

inline std::vector<CallLine> CallLines(const std::vector<LoggedLine>& lines) {
  static const std::regex re(R"(\[(\w+):([^\]]*)\] ([SE]) \[(\d+)\]\n)");
  std::vector<CallLine> found;
  for (const LoggedLine& line : lines) {
    std::smatch m;
    if (line.tag == kNevoLibraryTag && std::regex_match(line.text, m, re)) {
      found.push_back({m[1], m[2], m[3].str()[0], std::stoll(m[4])});
    }
  }
  return found;
}

// Whether the dynamic linker still has the probe library mapped.
inline bool ProbeIsMapped() {
  void* handle = dlopen(kProbeLibraryFile, RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

// Entry-point calls the library has seen, asked without the loader; -1
// when the library is not mapped.
inline long ProbeCallCount() {
  void* handle = dlopen(kProbeLibraryFile, RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) return -1;
  auto count = reinterpret_cast<long (*)()>(dlsym(handle, "Probe_ControlCallCount"));
  const long calls = count != nullptr ? count() : -1;
  dlclose(handle);
  return calls;
}

inline kiln::ContextConfig QuietContextConfig() {
  kiln::ContextConfig config;
  config.log_mode = 3;
  return config;
}

#endif  // TESTS_NEVO_ALGO_WRAPPER_NEVO_LIBRARY_PROBE_CALLS_H_
