#include "nevo_error_map/nevo_error_map.h"

#include "nevo/nevo.h"
#include "nevo_utils/nevo_algo_names.h"
#include "nevo_utils/nevo_log.h"

namespace {

constexpr const char* kTag = "NEVO_ERROR_MAP";
constexpr int kUnsupportedBase = 2000000;
// Unlisted failures are recoverable by the EV0 fallback (last digits >= 900).
constexpr int kDefaultOffset = 2900;

int BaseOf(int algo_type) {
  switch (algo_type) {
    case NEVO_NR:
    case NEVO_NR_LL:
    case NEVO_NR_50M:
    case NEVO_NR_LL_50M: return 2110000;
    case NEVO_HDR:
    case NEVO_HDR_LL: return 2030000;
    case NEVO_SE:
    case NEVO_SN: return 2010000;
    case NEVO_SR: return 2100000;
    case NEVO_HDSR: return 2040000;
    case NEVO_HDR_F: return 2020000;
    case NEVO_SN_F: return 2000000;
    default:
      NEVO_LOGE(kTag, "error type of %s not supported\n", NevoAlgoDisplayName(algo_type).c_str());
      return kUnsupportedBase;
  }
}

int OffsetOf(int result) {
  switch (result) {
    case 20902: return 1001;
    case 20904: return 1100;
    case 20905: return 3900;
    case 20907: return 9001;
    case 20908: return 1900;
    case 20919: return 1400;
    case -999: return 1921;
    case 6: return 1300;
    case 10001: return 1002;
    case 10002: return 1004;
    case 10004: return 1005;
    case 10005: return 1006;
    case 10006: return 1007;
    case 10014: return 1008;
    case 10015: return 1009;
    case 10016: return 1010;
    case 10017: return 1011;
    default: return kDefaultOffset;
  }
}

}  // namespace

int ArcErrorGetBase(int result, int algo_type) { return BaseOf(algo_type) + OffsetOf(result); }
