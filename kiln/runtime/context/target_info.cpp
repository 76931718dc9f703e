#include "kiln/runtime/context/target_info.h"

namespace kiln {

std::string TargetToString(const TargetInfo& target) {
  const std::string flag = target.EffectiveFlag() ? "1" : "0";
  switch (target.type) {
    case kTargetNone:
      return std::string("None with multi-thread : ") + (target.EffectiveFlag() ? "ON" : "OFF");
    case kTargetNeon:
      return "Neon";
    case kTargetOpencl:
      return "Opencl(profiling:" + flag + ")";
    case kTargetHvx:
      return "Hvx(profiling:" + flag + ")";
    case kTargetVdsp:
      return "Vdsp(profiling:" + flag + ")";
    default:
      return "Invalid";
  }
}

}  // namespace kiln
