// Element traits of the fast (exact-ratio) resize kernels. The kernels are
// written once over an unsigned element U (uint8_t or uint16_t) with a wider
// working lane W; signed sources travel with their sign bit flipped (x + 128
// or x + 32768), which is exact for every kernel here: their weights sum to a
// power of two, so the offset passes through the rounding shift unchanged.
#ifndef KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_FAST_H_
#define KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_FAST_H_

#include <cstdint>
#include <type_traits>

#include "kiln/ops/resize/host/neon/resize_neon_common.h"

namespace kiln {
namespace resize {
namespace neonk {

template <typename U>
struct UTr;

template <>
struct UTr<uint8_t> {
  using V = uint8x16_t;  // 16 elements
  using H = uint8x8_t;   // 8 elements
  using W = uint16x8_t;  // 8 working lanes
  using WE = uint16_t;
  static constexpr int kLanes = 16;
  static constexpr int kWLanes = 8;

  static V Flip(V v) { return veorq_u8(v, vdupq_n_u8(0x80)); }
  static V Load1(const uint8_t* p) { return vld1q_u8(p); }
  static void Store1(uint8_t* p, V v) { vst1q_u8(p, v); }
  static H LoadH(const uint8_t* p) { return vld1_u8(p); }
  static H FlipH(H v) { return veor_u8(v, vdup_n_u8(0x80)); }
  static W PairSum(V v) { return vpaddlq_u8(v); }
  static W AddL(H a, H b) { return vaddl_u8(a, b); }
  static W Widen(H h) { return vmovl_u8(h); }
  static W Add(W a, W b) { return vaddq_u16(a, b); }
  static W MulN(W a, WE k) { return vmulq_n_u16(a, k); }
  static W MlaN(W acc, W a, WE k) { return vmlaq_n_u16(acc, a, k); }
  static W Sub(W a, W b) { return vsubq_u16(a, b); }
  template <int K>
  static W MulC(W a) {
    return K == 1 ? a : vmulq_n_u16(a, K);
  }
  static W WUzp1(W a, W b) { return vuzp1q_u16(a, b); }
  static W WUzp2(W a, W b) { return vuzp2q_u16(a, b); }
  static W WZip1(W a, W b) { return vzip1q_u16(a, b); }
  static W WZip2(W a, W b) { return vzip2q_u16(a, b); }
  static W LoadW(const WE* p) { return vld1q_u16(p); }
  static H Lo(V v) { return vget_low_u8(v); }
  static H Hi(V v) { return vget_high_u8(v); }
  static V Combine(H a, H b) { return vcombine_u8(a, b); }
  static V Uzp1(V a, V b) { return vuzp1q_u8(a, b); }
  static V Uzp2(V a, V b) { return vuzp2q_u8(a, b); }
  // a0 b0 a1 b1 ... (16 elements from two halves)
  static V ZipH(H a, H b) {
    const uint8x8x2_t z = vzip_u8(a, b);
    return vcombine_u8(z.val[0], z.val[1]);
  }
  template <int N>
  static H RShrN(W w) {
    return vrshrn_n_u16(w, N);
  }
  static void StoreW(WE* p, W w) { vst1q_u16(p, w); }
};

template <>
struct UTr<uint16_t> {
  using V = uint16x8_t;
  using H = uint16x4_t;
  using W = uint32x4_t;
  using WE = uint32_t;
  static constexpr int kLanes = 8;
  static constexpr int kWLanes = 4;

  static V Flip(V v) { return veorq_u16(v, vdupq_n_u16(0x8000)); }
  static V Load1(const uint16_t* p) { return vld1q_u16(p); }
  static void Store1(uint16_t* p, V v) { vst1q_u16(p, v); }
  static H LoadH(const uint16_t* p) { return vld1_u16(p); }
  static H FlipH(H v) { return veor_u16(v, vdup_n_u16(0x8000)); }
  static W PairSum(V v) { return vpaddlq_u16(v); }
  static W AddL(H a, H b) { return vaddl_u16(a, b); }
  static W Widen(H h) { return vmovl_u16(h); }
  static W Add(W a, W b) { return vaddq_u32(a, b); }
  static W MulN(W a, WE k) { return vmulq_n_u32(a, k); }
  static W MlaN(W acc, W a, WE k) { return vmlaq_n_u32(acc, a, k); }
  static W Sub(W a, W b) { return vsubq_u32(a, b); }
  // Small constant factors as shifts and adds: a 32-bit multiply is slow
  // where NEON is emulated, and these are exact.
  template <int K>
  static W MulC(W a) {
    static_assert(K == 1 || K == 3 || K == 5 || K == 7, "factor without a shift-add form");
    if constexpr (K == 1) return a;
    if constexpr (K == 3) return vaddq_u32(vshlq_n_u32(a, 1), a);
    if constexpr (K == 5) return vaddq_u32(vshlq_n_u32(a, 2), a);
    if constexpr (K == 7) return vsubq_u32(vshlq_n_u32(a, 3), a);
  }
  static W WUzp1(W a, W b) { return vuzp1q_u32(a, b); }
  static W WUzp2(W a, W b) { return vuzp2q_u32(a, b); }
  static W WZip1(W a, W b) { return vzip1q_u32(a, b); }
  static W WZip2(W a, W b) { return vzip2q_u32(a, b); }
  static W LoadW(const WE* p) { return vld1q_u32(p); }
  static H Lo(V v) { return vget_low_u16(v); }
  static H Hi(V v) { return vget_high_u16(v); }
  static V Combine(H a, H b) { return vcombine_u16(a, b); }
  static V Uzp1(V a, V b) { return vuzp1q_u16(a, b); }
  static V Uzp2(V a, V b) { return vuzp2q_u16(a, b); }
  static V ZipH(H a, H b) {
    const uint16x4x2_t z = vzip_u16(a, b);
    return vcombine_u16(z.val[0], z.val[1]);
  }
  template <int N>
  static H RShrN(W w) {
    return vrshrn_n_u32(w, N);
  }
  static void StoreW(WE* p, W w) { vst1q_u32(p, w); }
};

// Planar loads and stores of U elements with the sign flip of signed types.
template <typename U, bool kFlip, int CN>
inline Planes<typename UTr<U>::V, CN> LoadU(const U* p) {
  Planes<typename UTr<U>::V, CN> r = LoadPlanes<CN>(p);
  if constexpr (kFlip) {
    for (int c = 0; c < CN; ++c) r.val[c] = UTr<U>::Flip(r.val[c]);
  }
  return r;
}

template <typename U, bool kFlip, int CN>
inline void StoreU(U* p, Planes<typename UTr<U>::V, CN> r) {
  if constexpr (kFlip) {
    for (int c = 0; c < CN; ++c) r.val[c] = UTr<U>::Flip(r.val[c]);
  }
  StorePlanes<CN>(p, r);
}

// The unsigned storage type of an integer element type.
template <typename T>
using UnsignedOf = std::make_unsigned_t<T>;

}  // namespace neonk
}  // namespace resize
}  // namespace kiln

#endif  // KILN_OPS_RESIZE_HOST_NEON_RESIZE_NEON_FAST_H_
