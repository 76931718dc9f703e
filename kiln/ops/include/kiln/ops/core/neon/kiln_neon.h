// The one header every NEON kernel includes.
//
// On AArch64 it is the real <arm_neon.h>. Elsewhere the same intrinsics come
// from SIMDe, which maps most of them onto SSE. Where SIMDe is slow or lacks an
// intrinsic (see the notes below), the x86-only replacement lives here and
// nowhere else, so kernels stay plain portable NEON.
#ifndef KILN_OPS_CORE_NEON_KILN_NEON_H_
#define KILN_OPS_CORE_NEON_KILN_NEON_H_

#if defined(__aarch64__) || defined(__ARM_NEON)
#include <arm_neon.h>
#define KILN_NEON_NATIVE 1
#else
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/arm/neon.h>
#define KILN_NEON_NATIVE 0
#endif

#include <cstddef>
#include <cstdint>

namespace kiln {
namespace neon {

// Lanes of a 128-bit register per element type.
template <typename T>
constexpr int Lanes() {
  return static_cast<int>(16 / sizeof(T));
}

// ---- x86 (SIMDe) workarounds ------------------------------------------------
// Each helper below is the plain intrinsic on AArch64 and a faster or missing
// equivalent on x86. Add new ones in their own section, named after the
// intrinsic they stand for.

}  // namespace neon
}  // namespace kiln

#endif  // KILN_OPS_CORE_NEON_KILN_NEON_H_
