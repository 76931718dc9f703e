// Interim: routines whose real implementation is linked in separately
// linked in (weak, so the real definitions win).
#include "algo/nevo_algo_correct_image/nevo_correct_image.h"
#include "kiln/runtime/context/logger.h"

__attribute__((weak)) int NevoCorrectImage(kiln::Context* ctx, const NevoFrame&, NevoOutput*, const NevoStartParam&,
                                           const NevoInitParam&, int) {
  KILN_RECORD(ctx, "correct image unavailable");
  return NEVO_ERR_FAILED;
}

__attribute__((weak)) int NevoConvertOnly(kiln::Context* ctx, const NevoFrame&, NevoOutput*, const NevoStartParam&,
                                          const NevoInitParam&, int) {
  KILN_RECORD(ctx, "convert only unavailable");
  return NEVO_ERR_FAILED;
}

__attribute__((weak)) bool NevoIsBlackImage(kiln::Context*, const NevoImage&) { return false; }

#include "algo/nevo_algo_depth/nevo_depth.h"

__attribute__((weak)) int NevoDepthRun(kiln::Context*, const NevoAlgoConfig&, const NevoDepthParam&) { return -1; }
