#include "nevo_algo_wrapper/nevo_library_call.h"

#include "nevo_algo_wrapper/nevo_library.h"
#include "nevo_algo_wrapper/phase_time.h"
#include "nevo_error_map/nevo_error_map.h"
#include "nevo_utils/nevo_log.h"

namespace nevo_library_detail {

CallStamp::CallStamp(const char* name, const kiln::Context* ctx) : name_(name), ctx_(ctx) {
  // Skip the clock read when nobody would see the line.
  if (NevoGetLogLevel() < kNevoLogDebug) return;
  NevoPrint(kNevoLogDebug, kNevoLibraryTag, "[%s:%p] S [%lld]\n", name_, static_cast<const void*>(ctx_),
            static_cast<long long>(NevoSteadyMicros()));
}

CallStamp::~CallStamp() {
  if (NevoGetLogLevel() < kNevoLogDebug) return;
  NevoPrint(kNevoLogDebug, kNevoLibraryTag, "[%s:%p] E [%lld]\n", name_, static_cast<const void*>(ctx_),
            static_cast<long long>(NevoSteadyMicros()));
}

long MapArcResult(const NevoCallPolicy& policy, const char* name, long result) {
  const long mapped = ArcErrorGetBase(static_cast<int>(result), policy.arc_algo_type);
  NevoPrint(kNevoLogDebug, policy.tag, "%s return %ld, map to %ld\n", name, result, mapped);
  return mapped;
}

}  // namespace nevo_library_detail
