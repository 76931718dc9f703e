// Vector building blocks of the resize Neon kernels: element loads widened to
// 32-bit lanes, saturating stores, float loads of F32/F16, and channel-planar
// loads and stores of 1-3 interleaved channels.
#ifndef KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_COMMON_H_
#define KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_COMMON_H_

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "kiln/ops/core/neon/kiln_neon.h"
#include "kiln/ops/resize/src/resize_common.h"

namespace kiln {
namespace resize {
namespace neonk {

// ---- 32-bit lanes of integer elements -------------------------------------------
// Weighted sum of two rows of eight elements in 32-bit lanes (16 x 16 -> 32
// products, exact for weights up to 2^15): lo/hi = w0 * a + w1 * b.
template <typename T>
inline void MulAdd8(const T* a, const T* b, int16_t w0, int16_t w1, int32x4_t& lo, int32x4_t& hi) {
  if constexpr (std::is_same<T, uint8_t>::value || std::is_same<T, uint16_t>::value) {
    uint16x8_t va, vb;
    if constexpr (sizeof(T) == 1) {
      va = vmovl_u8(vld1_u8(a));
      vb = vmovl_u8(vld1_u8(b));
    } else {
      va = vld1q_u16(a);
      vb = vld1q_u16(b);
    }
    const uint32x4x2_t pa = ::kiln::neon::MullU16(va, vdupq_n_u16(static_cast<uint16_t>(w0)));
    const uint32x4x2_t pb = ::kiln::neon::MullU16(vb, vdupq_n_u16(static_cast<uint16_t>(w1)));
    lo = vreinterpretq_s32_u32(vaddq_u32(pa.val[0], pb.val[0]));
    hi = vreinterpretq_s32_u32(vaddq_u32(pa.val[1], pb.val[1]));
  } else {
    int16x8_t va, vb;
    if constexpr (sizeof(T) == 1) {
      va = vmovl_s8(vld1_s8(a));
      vb = vmovl_s8(vld1_s8(b));
    } else {
      va = vld1q_s16(a);
      vb = vld1q_s16(b);
    }
    const int32x4x2_t pa = ::kiln::neon::MullS16(va, vdupq_n_s16(w0));
    const int32x4x2_t pb = ::kiln::neon::MullS16(vb, vdupq_n_s16(w1));
    lo = vaddq_s32(pa.val[0], pb.val[0]);
    hi = vaddq_s32(pa.val[1], pb.val[1]);
  }
}

// Load4: four elements at p (exactly 4 x sizeof(T) bytes read) as int32x4.
// Load8/Store8: eight elements as two int32x4 (low, high); Store8 saturates.
template <typename T>
struct Int32Lanes;

template <>
struct Int32Lanes<uint8_t> {
  static int32x4_t Load4(const uint8_t* p) {
    uint32_t word;
    std::memcpy(&word, p, sizeof(word));
    const uint8x8_t b = vreinterpret_u8_u32(vdup_n_u32(word));
    return vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(vmovl_u8(b))));
  }
  static void Load8(const uint8_t* p, int32x4_t& lo, int32x4_t& hi) {
    const uint16x8_t w = vmovl_u8(vld1_u8(p));
    lo = vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(w)));
    hi = vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(w)));
  }
  // Signed 16-bit saturation first, then unsigned 8-bit: the same clamp to
  // 0..255, and both steps are single SSE2 packs where NEON is emulated.
  static void Store8(uint8_t* p, int32x4_t lo, int32x4_t hi) {
    const int16x8_t w = ::kiln::neon::QmovnS32Pair(lo, hi);
    vst1_u8(p, vget_low_u8(::kiln::neon::QmovunS16Pair(w, w)));
  }
};

template <>
struct Int32Lanes<int8_t> {
  static int32x4_t Load4(const int8_t* p) {
    uint32_t word;
    std::memcpy(&word, p, sizeof(word));
    const int8x8_t b = vreinterpret_s8_u32(vdup_n_u32(word));
    return vmovl_s16(vget_low_s16(vmovl_s8(b)));
  }
  static void Load8(const int8_t* p, int32x4_t& lo, int32x4_t& hi) {
    const int16x8_t w = vmovl_s8(vld1_s8(p));
    lo = vmovl_s16(vget_low_s16(w));
    hi = vmovl_s16(vget_high_s16(w));
  }
  static void Store8(int8_t* p, int32x4_t lo, int32x4_t hi) {
    const int16x8_t w = ::kiln::neon::QmovnS32Pair(lo, hi);
    vst1_s8(p, vget_low_s8(::kiln::neon::QmovnS16Pair(w, w)));
  }
};

template <>
struct Int32Lanes<uint16_t> {
  static int32x4_t Load4(const uint16_t* p) { return vreinterpretq_s32_u32(vmovl_u16(vld1_u16(p))); }
  static void Load8(const uint16_t* p, int32x4_t& lo, int32x4_t& hi) {
    const uint16x8_t w = vld1q_u16(p);
    lo = vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(w)));
    hi = vreinterpretq_s32_u32(vmovl_u16(vget_high_u16(w)));
  }
  static void Store8(uint16_t* p, int32x4_t lo, int32x4_t hi) { vst1q_u16(p, ::kiln::neon::QmovunS32Pair(lo, hi)); }
};

template <>
struct Int32Lanes<int16_t> {
  static int32x4_t Load4(const int16_t* p) { return vmovl_s16(vld1_s16(p)); }
  static void Load8(const int16_t* p, int32x4_t& lo, int32x4_t& hi) {
    const int16x8_t w = vld1q_s16(p);
    lo = vmovl_s16(vget_low_s16(w));
    hi = vmovl_s16(vget_high_s16(w));
  }
  static void Store8(int16_t* p, int32x4_t lo, int32x4_t hi) { vst1q_s16(p, ::kiln::neon::QmovnS32Pair(lo, hi)); }
};

// ---- Float lanes (F32, F16 computed in single precision) --------------------------
inline float32x4_t LoadF4(const float* p) { return vld1q_f32(p); }
inline float32x4_t LoadF4(const Half* p) {
  return vcvt_f32_f16(vreinterpret_f16_u16(vld1_u16(reinterpret_cast<const uint16_t*>(p))));
}
inline void StoreF4(float* p, float32x4_t v) { vst1q_f32(p, v); }
inline void StoreF4(Half* p, float32x4_t v) {
  vst1_u16(reinterpret_cast<uint16_t*>(p), vreinterpret_u16_f16(vcvt_f16_f32(v)));
}

// Round to nearest even for |v| < 2^22: adding and removing 1.5 * 2^23 leaves
// the rounded integer (the float adder rounds to nearest even), the same
// result lrintf gives in the plain kernels.
inline float32x4_t RoundEven(float32x4_t v) {
  const float32x4_t magic = vdupq_n_f32(12582912.0f);
  return vsubq_f32(vaddq_f32(v, magic), magic);
}

// Rounds (RoundEven) and saturates four floats into an integer element type;
// Store8Round writes eight.
template <typename T>
inline void StoreRound8(T* p, float32x4_t lo, float32x4_t hi) {
  Int32Lanes<T>::Store8(p, vcvtq_s32_f32(RoundEven(lo)), vcvtq_s32_f32(RoundEven(hi)));
}

// ---- Channel-planar loads and stores ---------------------------------------------
// Planes<V, CN>: CN registers, register c holding channel c of consecutive
// pixels. LoadPlanes/StorePlanes read or write exactly Lanes x CN elements.
template <typename V, int CN>
struct Planes {
  V val[CN];
};

template <int CN>
inline Planes<uint8x16_t, CN> LoadPlanes(const uint8_t* p) {
  Planes<uint8x16_t, CN> r;
  if constexpr (CN == 1) {
    r.val[0] = vld1q_u8(p);
  } else if constexpr (CN == 2) {
    const uint8x16x2_t v = vld2q_u8(p);
    r.val[0] = v.val[0];
    r.val[1] = v.val[1];
  } else {
    const uint8x16x3_t v = ::kiln::neon::Ld3q_u8(p);
    r.val[0] = v.val[0];
    r.val[1] = v.val[1];
    r.val[2] = v.val[2];
  }
  return r;
}

template <int CN>
inline void StorePlanes(uint8_t* p, const Planes<uint8x16_t, CN>& r) {
  if constexpr (CN == 1) {
    vst1q_u8(p, r.val[0]);
  } else if constexpr (CN == 2) {
    uint8x16x2_t v;
    v.val[0] = r.val[0];
    v.val[1] = r.val[1];
    vst2q_u8(p, v);
  } else {
    uint8x16x3_t v;
    v.val[0] = r.val[0];
    v.val[1] = r.val[1];
    v.val[2] = r.val[2];
    ::kiln::neon::St3q_u8(p, v);
  }
}

template <int CN>
inline Planes<uint16x8_t, CN> LoadPlanes(const uint16_t* p) {
  Planes<uint16x8_t, CN> r;
  if constexpr (CN == 1) {
    r.val[0] = vld1q_u16(p);
  } else if constexpr (CN == 2) {
    const uint16x8x2_t v = vld2q_u16(p);
    r.val[0] = v.val[0];
    r.val[1] = v.val[1];
  } else {
    const uint16x8x3_t v = ::kiln::neon::Ld3q_u16(p);
    r.val[0] = v.val[0];
    r.val[1] = v.val[1];
    r.val[2] = v.val[2];
  }
  return r;
}

template <int CN>
inline void StorePlanes(uint16_t* p, const Planes<uint16x8_t, CN>& r) {
  if constexpr (CN == 1) {
    vst1q_u16(p, r.val[0]);
  } else if constexpr (CN == 2) {
    uint16x8x2_t v;
    v.val[0] = r.val[0];
    v.val[1] = r.val[1];
    vst2q_u16(p, v);
  } else {
    uint16x8x3_t v;
    v.val[0] = r.val[0];
    v.val[1] = r.val[1];
    v.val[2] = r.val[2];
    ::kiln::neon::St3q_u16(p, v);
  }
}

template <int CN>
inline Planes<uint32x4_t, CN> LoadPlanes(const uint32_t* p) {
  Planes<uint32x4_t, CN> r;
  if constexpr (CN == 1) {
    r.val[0] = vld1q_u32(p);
  } else if constexpr (CN == 2) {
    const uint32x4x2_t v = vld2q_u32(p);
    r.val[0] = v.val[0];
    r.val[1] = v.val[1];
  } else {
    const uint32x4x3_t v = vld3q_u32(p);
    r.val[0] = v.val[0];
    r.val[1] = v.val[1];
    r.val[2] = v.val[2];
  }
  return r;
}

template <int CN>
inline void StorePlanes(uint32_t* p, const Planes<uint32x4_t, CN>& r) {
  if constexpr (CN == 1) {
    vst1q_u32(p, r.val[0]);
  } else if constexpr (CN == 2) {
    uint32x4x2_t v;
    v.val[0] = r.val[0];
    v.val[1] = r.val[1];
    vst2q_u32(p, v);
  } else {
    uint32x4x3_t v;
    v.val[0] = r.val[0];
    v.val[1] = r.val[1];
    v.val[2] = r.val[2];
    vst3q_u32(p, v);
  }
}

// Signed elements travel through the unsigned planar forms (the bits are
// only moved).
template <int CN>
inline Planes<int16x8_t, CN> LoadPlanesS16(const int16_t* p) {
  const Planes<uint16x8_t, CN> u = LoadPlanes<CN>(reinterpret_cast<const uint16_t*>(p));
  Planes<int16x8_t, CN> r;
  for (int c = 0; c < CN; ++c) r.val[c] = vreinterpretq_s16_u16(u.val[c]);
  return r;
}

template <int CN>
inline Planes<int32x4_t, CN> LoadPlanesS32(const int32_t* p) {
  const Planes<uint32x4_t, CN> u = LoadPlanes<CN>(reinterpret_cast<const uint32_t*>(p));
  Planes<int32x4_t, CN> r;
  for (int c = 0; c < CN; ++c) r.val[c] = vreinterpretq_s32_u32(u.val[c]);
  return r;
}

}  // namespace neonk
}  // namespace resize
}  // namespace kiln

#endif  // KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_COMMON_H_
