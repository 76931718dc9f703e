// Execution targets of the image operators and their text forms.
#ifndef KILN_RUNTIME_CONTEXT_TARGET_INFO_H_
#define KILN_RUNTIME_CONTEXT_TARGET_INFO_H_

#include <cstdint>
#include <string>

namespace kiln {

using TargetType = uint32_t;

constexpr TargetType kTargetInvalid = 0;
constexpr TargetType kTargetNone = 1;    // plain kernels; flag: split rows over the worker pool
constexpr TargetType kTargetNeon = 2;    // Advanced SIMD kernels; flag unused
constexpr TargetType kTargetOpencl = 3;  // flag: profiling (no implementation here)
constexpr TargetType kTargetHvx = 4;     // flag: profiling (no implementation here)
constexpr TargetType kTargetVdsp = 5;    // flag: profiling (no implementation here)

// The target an operator is asked to run on. Plain value, owned by whoever
// holds it.
struct TargetInfo {
  TargetType type = kTargetNone;
  bool flag = false;

  TargetInfo() = default;
  // The flag is kept only for the types that give it a meaning.
  TargetInfo(TargetType target_type, bool target_flag)
      : type(target_type), flag(TargetHasFlag(target_type) && target_flag) {}

  // True for None, Opencl, Hvx and Vdsp: the only types whose flag counts.
  static constexpr bool TargetHasFlag(TargetType t) {
    return t == kTargetNone || t == kTargetOpencl || t == kTargetHvx || t == kTargetVdsp;
  }
  // The flag as it counts for this type (false where the type has none).
  bool EffectiveFlag() const { return TargetHasFlag(type) && flag; }
  // Same type and, where it counts, the same flag.
  bool SameAs(const TargetInfo& other) const {
    return type == other.type && EffectiveFlag() == other.EffectiveFlag();
  }
};

// "Invalid", "None with multi-thread : ON", "Neon", "Opencl(profiling:1)", ...
std::string TargetToString(const TargetInfo& target);

}  // namespace kiln

#endif  // KILN_RUNTIME_CONTEXT_TARGET_INFO_H_
