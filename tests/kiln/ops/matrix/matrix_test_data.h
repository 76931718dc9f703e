// Test data for the matrix operator tests: random elements of every kiln
// element type, with the edge values that matter for conversions.
#ifndef TESTS_KILN_OPS_MATRIX_MATRIX_TEST_DATA_H_
#define TESTS_KILN_OPS_MATRIX_MATRIX_TEST_DATA_H_

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "kiln/runtime/array/elem_type.h"

namespace matrix_test {

inline const std::vector<kiln::ElemType>& AllTypes() {
  static const std::vector<kiln::ElemType> types = {kiln::QX_U8,  kiln::QX_S8,  kiln::QX_U16, kiln::QX_S16,
                                                    kiln::QX_U32, kiln::QX_S32, kiln::QX_F32, kiln::QX_F16};
  return types;
}

inline bool IsFloatType(kiln::ElemType t) { return t == kiln::QX_F32 || t == kiln::QX_F16; }

inline uint32_t FloatBits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof(b));
  return b;
}
inline float BitsFloat(uint32_t b) {
  float f;
  std::memcpy(&f, &b, sizeof(f));
  return f;
}

// A float drawn from a mix that reaches every destination's saturation:
// small values with exact .5 ties, values around the 16-bit ranges, values
// beyond 32 bits, and arbitrary bit patterns (NaN, infinities, subnormals).
inline float RandomFloat(std::mt19937& rng) {
  switch (rng() % 5) {
    case 0: return static_cast<float>(static_cast<int>(rng() % 1201) - 600) * 0.5f;
    case 1: return std::uniform_real_distribution<float>(-300.0f, 300.0f)(rng);
    case 2: return std::uniform_real_distribution<float>(-70000.0f, 70000.0f)(rng);
    case 3: return std::uniform_real_distribution<float>(-5e9f, 5e9f)(rng);
    default: return BitsFloat(static_cast<uint32_t>(rng()));
  }
}

// count elements of type t as raw bytes (exactly count * size bytes).
inline std::vector<uint8_t> RandomElems(kiln::ElemType t, size_t count, std::mt19937& rng) {
  const size_t size = static_cast<size_t>(kiln::ElemTypeSize(t));
  std::vector<uint8_t> bytes(count * size);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = bytes.data() + i * size;
    if (t == kiln::QX_F32) {
      const float f = RandomFloat(rng);
      std::memcpy(p, &f, 4);
    } else {
      // Every bit pattern is a valid integer; for F16 this includes NaNs,
      // infinities and subnormals.
      const uint32_t r = static_cast<uint32_t>(rng());
      std::memcpy(p, &r, size);
    }
  }
  return bytes;
}

}  // namespace matrix_test

#endif  // TESTS_KILN_OPS_MATRIX_MATRIX_TEST_DATA_H_
