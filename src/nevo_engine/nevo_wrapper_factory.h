// Which wrapper class serves an algorithm type for a vendor, and building it.
#ifndef NEVO_ENGINE_NEVO_WRAPPER_FACTORY_H_
#define NEVO_ENGINE_NEVO_WRAPPER_FACTORY_H_

#include <memory>

#include "kiln/runtime/context/context.h"
#include "nevo/nevo.h"
#include "nevo_algo_wrapper/algo_wrapper.h"

enum class WrapperClass {
  kNone,
  kEmpty,
  kArcTfNr,
  kArcTfHdr,
  kArcTfSn,
  kArcSr,
  kNrLl,
  kNrLl50M,
  kHdr,
  kHdsr,
  kSn,
  kSnsc,
  kSr,
  kEll,
};

// One row of the wrapper table: the class, the map key it is stored under,
// the algorithm type whose configuration it gets and that it is built with.
struct WrapperRow {
  bool supported = false;
  WrapperClass cls = WrapperClass::kNone;
  int key = 0;
  int config_type = 0;
};

WrapperRow NevoWrapperRow(int algo_type, int vendor);

// Null when the row's adapter is not part of this build.
std::shared_ptr<AlgoWrapper> NevoCreateWrapper(const WrapperRow& row, kiln::Context* ctx,
                                               const NevoAlgoConfig& config);

#endif  // NEVO_ENGINE_NEVO_WRAPPER_FACTORY_H_
