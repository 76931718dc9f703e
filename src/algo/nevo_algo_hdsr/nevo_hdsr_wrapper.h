// HDSR adapter (type 8): the QX HDR adapter over its own loader.
#ifndef ALGO_NEVO_ALGO_HDSR_NEVO_HDSR_WRAPPER_H_
#define ALGO_NEVO_ALGO_HDSR_NEVO_HDSR_WRAPPER_H_

#include "algo/nevo_algo_hdr/nevo_hdr_wrapper.h"

// Owned by the engine like every wrapper.
class HdsrWrapper final : public QxHdrWrapper<HdsrLibrary> {
 public:
  HdsrWrapper(kiln::Context* ctx, const NevoAlgoConfig& config, uint32_t algo_type);
};

#endif  // ALGO_NEVO_ALGO_HDSR_NEVO_HDSR_WRAPPER_H_
