// ResizeCuFastC1Neon / C2 / C3: bicubic decimation by exactly 2 or 4
// ("ResizeCu*DownX2NeonImpl", "ResizeCu*DownX4NeonImpl"), integer types.
// Both ratios put every destination sample at t = 1.5 between its taps, so
// all weights are 2048 x (-0.09375, 0.59375, 0.59375, -0.09375) =
// 64 x (-3, 19, 19, -3): the general (sum + 2^21) >> 22 becomes
// (sum' + 512) >> 10 over these small weights. At the /2 borders the folded
// weights equal these weights on edge-replicated taps. Rows are combined
// first (exact integer sums), then columns.
#include <algorithm>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/host/neon/resize_neon_fast.h"

namespace kiln {
namespace resize {

namespace {

using neonk::LoadPlanes;
using neonk::Planes;
using neonk::StoreU;
using neonk::UnsignedOf;
using neonk::UTr;

constexpr int32_t kInner = 19;  // the two middle taps
constexpr int32_t kOuter = 3;   // minus the two outer taps
constexpr int kShift = 10;      // 22 - 2 x 6 (both weights carry 64)

// 19 (b + c) - 3 (a + d) of four column taps held in the working lanes (whose
// wrapping unsigned sums hold the signed values), rounded by 2^10 and
// saturated to the element range of the flipped (unsigned) domain.
inline uint8x8_t CombineTaps(uint16x8_t a, uint16x8_t b, uint16x8_t c, uint16x8_t d) {
  const int16x8_t bc = vreinterpretq_s16_u16(vaddq_u16(b, c));
  const int16x8_t ad = vreinterpretq_s16_u16(vaddq_u16(a, d));
  int32x4_t lo = vmull_n_s16(vget_low_s16(bc), kInner);
  int32x4_t hi = vmull_n_s16(vget_high_s16(bc), kInner);
  lo = vmlsl_n_s16(lo, vget_low_s16(ad), kOuter);
  hi = vmlsl_n_s16(hi, vget_high_s16(ad), kOuter);
  return vqmovun_s16(vcombine_s16(vrshrn_n_s32(lo, kShift), vrshrn_n_s32(hi, kShift)));
}

inline uint16x4_t CombineTaps(uint32x4_t a, uint32x4_t b, uint32x4_t c, uint32x4_t d) {
  const int32x4_t bc = vreinterpretq_s32_u32(vaddq_u32(b, c));
  const int32x4_t ad = vreinterpretq_s32_u32(vaddq_u32(a, d));
  const int32x4_t sum = vmlsq_n_s32(vmulq_n_s32(bc, kInner), ad, kOuter);
  return vqmovun_s32(vrshrq_n_s32(sum, kShift));
}

template <typename T, int CN>
struct CuFast {
  using U = UnsignedOf<T>;
  using Tr = UTr<U>;
  using V = typename Tr::V;
  using H = typename Tr::H;
  using W = typename Tr::W;
  using WE = typename Tr::WE;
  using SW = std::make_signed_t<WE>;
  static constexpr bool kFlip = std::is_signed<T>::value;
  static constexpr U kSign = static_cast<U>(kFlip ? (U(1) << (8 * sizeof(U) - 1)) : 0);
  static constexpr int32_t kMax = (1 << (8 * sizeof(U))) - 1;
  static constexpr int L = Tr::kLanes;
  static constexpr int LW = Tr::kWLanes;

  // v = 19 (r1 + r2) - 3 (r0 + r3) over a row (flipped domain), with one
  // replicated pixel on each side.
  static void Vertical(const U* const (&r)[4], WE* v, int32_t sw) {
    const int32_t n = sw * CN;
    int32_t i = 0;
    for (; i + LW <= n; i += LW) {
      W t[4];
      for (int k = 0; k < 4; ++k) {
        H h = Tr::LoadH(r[k] + i);
        if constexpr (kFlip) h = Tr::FlipH(h);
        t[k] = Tr::Widen(h);
      }
      Tr::StoreW(v + i, Tr::Sub(Tr::MulN(Tr::Add(t[1], t[2]), kInner), Tr::MulN(Tr::Add(t[0], t[3]), kOuter)));
    }
    for (; i < n; ++i) {
      const int32_t a = static_cast<U>(r[0][i] ^ kSign), b = static_cast<U>(r[1][i] ^ kSign);
      const int32_t c = static_cast<U>(r[2][i] ^ kSign), d = static_cast<U>(r[3][i] ^ kSign);
      v[i] = static_cast<WE>(kInner * (b + c) - kOuter * (a + d));
    }
    for (int c = 0; c < CN; ++c) {
      v[c - CN] = v[c];
      v[n + c] = v[n - CN + c];
    }
  }

  // Destination pixel from combined taps at pixels p, p + 1, p + 2, p + 3.
  static U Scalar(const WE* v, int32_t p, int c) {
    const int64_t a = static_cast<SW>(v[p * CN + c]), b = static_cast<SW>(v[(p + 1) * CN + c]);
    const int64_t cc = static_cast<SW>(v[(p + 2) * CN + c]), d = static_cast<SW>(v[(p + 3) * CN + c]);
    const int64_t r = (kInner * (b + cc) - kOuter * (a + d) + (1 << (kShift - 1))) >> kShift;
    return static_cast<U>(static_cast<U>(std::min<int64_t>(std::max<int64_t>(r, 0), kMax)) ^ kSign);
  }

  template <int F>
  static void Rows(const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1, void* scratch) {
    const int32_t dw = dst.width;
    WE* v = static_cast<WE*>(scratch) + CN;
    for (int32_t y = y0; y < y1; ++y) {
      // /2: taps 2y - 1 .. 2y + 2 (clamped); /4: taps 4y .. 4y + 3.
      const int32_t first = F == 2 ? 2 * y - 1 : 4 * y;
      const U* r[4];
      for (int k = 0; k < 4; ++k) r[k] = src.Row<U>(std::max(0, std::min(first + k, src.height - 1)));
      Vertical(r, v, src.width);
      U* d = dst.Row<U>(y);
      // LW destination pixels starting at x.
      auto part = [&](int32_t x, int c, const Planes<W, CN> (&p)[4]) -> H {
        if constexpr (F == 2) {
          // p[0], p[1]: 2 LW pixels from 2x - 1; p[2], p[3]: from 2x + 1.
          return CombineTaps(Tr::WUzp1(p[0].val[c], p[1].val[c]), Tr::WUzp2(p[0].val[c], p[1].val[c]),
                             Tr::WUzp1(p[2].val[c], p[3].val[c]), Tr::WUzp2(p[2].val[c], p[3].val[c]));
        } else {
          (void)x;
          const W e01 = Tr::WUzp1(p[0].val[c], p[1].val[c]), o01 = Tr::WUzp2(p[0].val[c], p[1].val[c]);
          const W e23 = Tr::WUzp1(p[2].val[c], p[3].val[c]), o23 = Tr::WUzp2(p[2].val[c], p[3].val[c]);
          return CombineTaps(Tr::WUzp1(e01, e23), Tr::WUzp1(o01, o23), Tr::WUzp2(e01, e23), Tr::WUzp2(o01, o23));
        }
      };
      auto load = [&](int32_t x, Planes<W, CN> (&p)[4]) {
        if constexpr (F == 2) {
          p[0] = LoadPlanes<CN>(v + (2 * x - 1) * CN);
          p[1] = LoadPlanes<CN>(v + (2 * x - 1 + LW) * CN);
          p[2] = LoadPlanes<CN>(v + (2 * x + 1) * CN);
          p[3] = LoadPlanes<CN>(v + (2 * x + 1 + LW) * CN);
        } else {
          for (int k = 0; k < 4; ++k) p[k] = LoadPlanes<CN>(v + (4 * x + k * LW) * CN);
        }
      };
      auto block = [&](int32_t x) {
        Planes<W, CN> p0[4], p1[4];
        load(x, p0);
        load(x + LW, p1);
        Planes<V, CN> out;
        for (int c = 0; c < CN; ++c) out.val[c] = Tr::Combine(part(x, c, p0), part(x + LW, c, p1));
        StoreU<U, kFlip, CN>(d + x * CN, out);
      };
      int32_t x = 0;
      if (dw >= L) {
        for (; x + L <= dw; x += L) block(x);
        if (x < dw) block(dw - L);
        x = dw;
      }
      for (; x < dw; ++x) {
        for (int c = 0; c < CN; ++c) d[x * CN + c] = Scalar(v, F == 2 ? 2 * x - 1 : 4 * x, c);
      }
    }
  }
};

template <typename T, int CN>
Status RunCuFast(int32_t factor, const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1,
                 void* scratch) {
  if (factor == 2) {
    CuFast<T, CN>::template Rows<2>(src, dst, y0, y1, scratch);
  } else if (factor == 4) {
    CuFast<T, CN>::template Rows<4>(src, dst, y0, y1, scratch);
  } else {
    return kStatusFail;
  }
  return kStatusOk;
}

template <typename T>
Status RunCuFastCn(int32_t factor, const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1,
                   void* scratch) {
  switch (dst.channels) {
    case 1: return RunCuFast<T, 1>(factor, src, dst, y0, y1, scratch);
    case 2: return RunCuFast<T, 2>(factor, src, dst, y0, y1, scratch);
    case 3: return RunCuFast<T, 3>(factor, src, dst, y0, y1, scratch);
    default: return kStatusFail;
  }
}

}  // namespace

size_t ResizeCuFastScratchBytes(ElemType type, const ImagePlane& src) {
  const size_t lane = (type == QX_U8 || type == QX_S8) ? sizeof(uint16_t) : sizeof(uint32_t);
  return CacheRowStride(lane * (src.RowElems() + 2 * src.channels));
}

Status ResizeCuFastNeon(ElemType type, int32_t factor, const ImagePlane& src, const ImagePlane& dst, int32_t y0,
                        int32_t y1, void* scratch) {
  switch (type) {
    case QX_U8: return RunCuFastCn<uint8_t>(factor, src, dst, y0, y1, scratch);
    case QX_S8: return RunCuFastCn<int8_t>(factor, src, dst, y0, y1, scratch);
    case QX_U16: return RunCuFastCn<uint16_t>(factor, src, dst, y0, y1, scratch);
    case QX_S16: return RunCuFastCn<int16_t>(factor, src, dst, y0, y1, scratch);
    default: return kStatusFail;
  }
}

}  // namespace resize
}  // namespace kiln
