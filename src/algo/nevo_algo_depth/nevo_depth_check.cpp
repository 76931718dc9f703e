#include "algo/nevo_algo_depth/nevo_depth.h"
#include "nevo_utils/nevo_log.h"

namespace {
constexpr const char* kTag = "NEVO_DEPTH";
}

int NevoDepthCheckParam(kiln::Context* ctx, const NevoDepthParam& param) {
  if (ctx == nullptr) {
    NEVO_LOGE(kTag, "kiln::Context is invalid\n");
    return NEVO_ERR_FAILED;
  }
  if (param.length == NEVO_DEPTH_BLOCK_LEN) return 0;
  NEVO_LOGE(kTag, "NevoDepthParam length must equal to sizeof(VorlanBokehDepthAllParam) = %d\n",
            NEVO_DEPTH_BLOCK_LEN);
  NEVO_LOGE(kTag, "NevoDepthParam is invalid\n");
  return NEVO_ERR_FAILED;
}
