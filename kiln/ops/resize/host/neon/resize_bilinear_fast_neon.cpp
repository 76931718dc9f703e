// ResizeBnFastC1Neon / C2 / C3: bilinear resizing by exactly x4, x2, /2, /4
// (integer element types). With the 11-bit weights of these ratios the
// general kernel's (sum + 2^21) >> 22 reduces to small integer sums:
//   /2:  weights 1024, 1024         -> (a + b + c + d + 2) >> 2
//   /4:  pixels 4x + 1, 4x + 2, same weights
//   x2:  weights 512 : 1536 (1 : 3) -> (sum of products + 8) >> 4
//   x4:  weights in eighths 3:5, 1:7, 7:1, 5:3 -> (sum + 32) >> 6
// and the border rule (all weight on the edge pixel) equals these weights on
// edge-replicated pixels. Each kernel combines the source rows first (exact
// integer sums) and then filters the combined row along x.
#include <algorithm>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/host/neon/resize_neon_fast.h"

namespace kiln {
namespace resize {

namespace {

using neonk::LoadPlanes;
using neonk::LoadU;
using neonk::Planes;
using neonk::StoreU;
using neonk::UnsignedOf;
using neonk::UTr;

template <typename T, int CN>
struct BnFast {
  using U = UnsignedOf<T>;
  using Tr = UTr<U>;
  using V = typename Tr::V;
  using H = typename Tr::H;
  using W = typename Tr::W;
  using WE = typename Tr::WE;
  static constexpr bool kFlip = std::is_signed<T>::value;
  static constexpr U kSign = static_cast<U>(kFlip ? (U(1) << (8 * sizeof(U) - 1)) : 0);
  static constexpr int L = Tr::kLanes;
  static constexpr int LW = Tr::kWLanes;

  // ---- /2 ------------------------------------------------------------------------
  static void DownX2(const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1) {
    const int32_t dw = dst.width;
    for (int32_t y = y0; y < y1; ++y) {
      const U* a = src.Row<U>(2 * y);
      const U* b = src.Row<U>(2 * y + 1);
      U* d = dst.Row<U>(y);
      auto block = [&](int32_t x) {
        const Planes<V, CN> a0 = LoadU<U, kFlip, CN>(a + 2 * x * CN);
        const Planes<V, CN> a1 = LoadU<U, kFlip, CN>(a + (2 * x + L) * CN);
        const Planes<V, CN> b0 = LoadU<U, kFlip, CN>(b + 2 * x * CN);
        const Planes<V, CN> b1 = LoadU<U, kFlip, CN>(b + (2 * x + L) * CN);
        Planes<V, CN> out;
        for (int c = 0; c < CN; ++c) {
          const W s0 = Tr::Add(Tr::PairSum(a0.val[c]), Tr::PairSum(b0.val[c]));
          const W s1 = Tr::Add(Tr::PairSum(a1.val[c]), Tr::PairSum(b1.val[c]));
          out.val[c] = Tr::Combine(Tr::template RShrN<2>(s0), Tr::template RShrN<2>(s1));
        }
        StoreU<U, kFlip, CN>(d + x * CN, out);
      };
      const int32_t x = Blocks(dw, L, block);
      const T* ta = src.Row<T>(2 * y);
      const T* tb = src.Row<T>(2 * y + 1);
      T* td = dst.Row<T>(y);
      for (int32_t i = x * CN; i < dw * CN; ++i) {
        const int32_t p = (i / CN) * 2 * CN + i % CN;
        td[i] = static_cast<T>((ta[p] + ta[p + CN] + tb[p] + tb[p + CN] + 2) >> 2);
      }
    }
  }

  // ---- /4 ------------------------------------------------------------------------
  static void DownX4(const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1) {
    const int32_t dw = dst.width;
    for (int32_t y = y0; y < y1; ++y) {
      const U* a = src.Row<U>(4 * y + 1);
      const U* b = src.Row<U>(4 * y + 2);
      U* d = dst.Row<U>(y);
      // Sums of pixels 4j + 1 and 4j + 2 of the 4L pixels from 4x on, as
      // the low and high halves of the L results.
      auto pair_sums = [&](const U* s, int32_t x, W (&lo)[CN], W (&hi)[CN]) {
        const Planes<V, CN> p0 = LoadU<U, kFlip, CN>(s + 4 * x * CN);
        const Planes<V, CN> p1 = LoadU<U, kFlip, CN>(s + (4 * x + L) * CN);
        const Planes<V, CN> p2 = LoadU<U, kFlip, CN>(s + (4 * x + 2 * L) * CN);
        const Planes<V, CN> p3 = LoadU<U, kFlip, CN>(s + (4 * x + 3 * L) * CN);
        for (int c = 0; c < CN; ++c) {
          const V e01 = Tr::Uzp1(p0.val[c], p1.val[c]), o01 = Tr::Uzp2(p0.val[c], p1.val[c]);
          const V e23 = Tr::Uzp1(p2.val[c], p3.val[c]), o23 = Tr::Uzp2(p2.val[c], p3.val[c]);
          const V t1 = Tr::Uzp1(o01, o23);
          const V t2 = Tr::Uzp2(e01, e23);
          lo[c] = Tr::AddL(Tr::Lo(t1), Tr::Lo(t2));
          hi[c] = Tr::AddL(Tr::Hi(t1), Tr::Hi(t2));
        }
      };
      auto block = [&](int32_t x) {
        W alo[CN], ahi[CN], blo[CN], bhi[CN];
        pair_sums(a, x, alo, ahi);
        pair_sums(b, x, blo, bhi);
        Planes<V, CN> out;
        for (int c = 0; c < CN; ++c) {
          out.val[c] = Tr::Combine(Tr::template RShrN<2>(Tr::Add(alo[c], blo[c])),
                                   Tr::template RShrN<2>(Tr::Add(ahi[c], bhi[c])));
        }
        StoreU<U, kFlip, CN>(d + x * CN, out);
      };
      const int32_t x = Blocks(dw, L, block);
      const T* ta = src.Row<T>(4 * y + 1);
      const T* tb = src.Row<T>(4 * y + 2);
      T* td = dst.Row<T>(y);
      for (int32_t i = x * CN; i < dw * CN; ++i) {
        const int32_t p = ((i / CN) * 4 + 1) * CN + i % CN;
        td[i] = static_cast<T>((ta[p] + ta[p + CN] + tb[p] + tb[p + CN] + 2) >> 2);
      }
    }
  }

  // ---- x2 and x4 -----------------------------------------------------------------
  // Destination row y of an upscale by F mixes source rows A (above) and B
  // (below, both clamped) with weights wa : wb.
  template <int F>
  static void RowWeights(int32_t y, int32_t sh, const U** a, const U** b, const ImagePlane& src, WE* wa, WE* wb) {
    // x2: rows 2k - 1 and 2k lie between source rows k - 1 and k.
    // x4: rows 4k - 2 .. 4k + 1 lie between source rows k - 1 and k.
    const int32_t k = F == 2 ? (y + 1) / 2 : (y + 2) / 4;
    const int32_t phase = F == 2 ? y - (2 * k - 1) : y - (4 * k - 2);
    static constexpr WE kA2[2] = {3, 1};
    static constexpr WE kA4[4] = {7, 5, 3, 1};
    *wa = F == 2 ? kA2[phase] : kA4[phase];
    *wb = static_cast<WE>(F == 2 ? 4 - *wa : 8 - *wa);
    *a = src.Row<U>(std::max(k - 1, 0));
    *b = src.Row<U>(std::min(k, sh - 1));
  }

  // v[i] = wa * a[i] + wb * b[i] (flipped domain), with one replicated pixel
  // on each side of the row.
  static void VerticalPadded(const U* a, const U* b, WE wa, WE wb, WE* v, int32_t sw) {
    const int32_t n = sw * CN;
    int32_t i = 0;
    for (; i + LW <= n; i += LW) {
      H ha = Tr::LoadH(a + i);
      H hb = Tr::LoadH(b + i);
      if constexpr (kFlip) {
        ha = Tr::FlipH(ha);
        hb = Tr::FlipH(hb);
      }
      Tr::StoreW(v + i, Tr::MlaN(Tr::MulN(Tr::Widen(ha), wa), Tr::Widen(hb), wb));
    }
    for (; i < n; ++i) v[i] = static_cast<WE>(wa * static_cast<U>(a[i] ^ kSign) + wb * static_cast<U>(b[i] ^ kSign));
    for (int c = 0; c < CN; ++c) {
      v[c - CN] = v[c];
      v[n + c] = v[n - CN + c];
    }
  }

  // Destination pixel F x + j from the combined row: weights on pixels x - 1,
  // x, x + 1 (x2: 1:3 / 3:1; x4: 3:5, 1:7 / 7:1, 5:3), rounded by kShift.
  template <int F>
  static U HorizontalScalar(const WE* v, int32_t x, int32_t j, int c) {
    const WE l = v[(x - 1) * CN + c], m = v[x * CN + c], r = v[(x + 1) * CN + c];
    WE sum;
    if constexpr (F == 2) {
      sum = j == 0 ? l + 3 * m : 3 * m + r;
      return static_cast<U>(((sum + 8) >> 4) ^ kSign);
    } else {
      static constexpr WE kL[4] = {3, 1, 0, 0}, kM[4] = {5, 7, 7, 5}, kR[4] = {0, 0, 1, 3};
      sum = kL[j] * l + kM[j] * m + kR[j] * r;
      return static_cast<U>(((sum + 32) >> 6) ^ kSign);
    }
  }

  template <int F>
  static void Up(const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1, void* scratch) {
    const int32_t sw = src.width;
    WE* v = static_cast<WE*>(scratch) + CN;  // one pad pixel before the row
    for (int32_t y = y0; y < y1; ++y) {
      const U *a, *b;
      WE wa, wb;
      RowWeights<F>(y, src.height, &a, &b, src, &wa, &wb);
      VerticalPadded(a, b, wa, wb, v, sw);
      U* d = dst.Row<U>(y);
      auto block = [&](int32_t x) {
        const Planes<W, CN> pl = LoadPlanes<CN>(v + (x - 1) * CN);
        const Planes<W, CN> pm = LoadPlanes<CN>(v + x * CN);
        const Planes<W, CN> pr = LoadPlanes<CN>(v + (x + 1) * CN);
        if constexpr (F == 2) {
          Planes<V, CN> out;
          for (int c = 0; c < CN; ++c) {
            const W m3 = Tr::MulN(pm.val[c], 3);
            const H e = Tr::template RShrN<4>(Tr::Add(pl.val[c], m3));
            const H o = Tr::template RShrN<4>(Tr::Add(m3, pr.val[c]));
            out.val[c] = Tr::ZipH(e, o);
          }
          StoreU<U, kFlip, CN>(d + 2 * x * CN, out);
        } else {
          Planes<V, CN> out0, out1;
          for (int c = 0; c < CN; ++c) {
            const W l = pl.val[c], m = pm.val[c], r = pr.val[c];
            const H p0 = Tr::template RShrN<6>(Tr::MlaN(Tr::MulN(l, 3), m, 5));
            const H p1 = Tr::template RShrN<6>(Tr::MlaN(l, m, 7));
            const H p2 = Tr::template RShrN<6>(Tr::MlaN(r, m, 7));
            const H p3 = Tr::template RShrN<6>(Tr::MlaN(Tr::MulN(r, 3), m, 5));
            const V z02 = Tr::ZipH(p0, p2);
            const V z13 = Tr::ZipH(p1, p3);
            out0.val[c] = Zip1(z02, z13);
            out1.val[c] = Zip2(z02, z13);
          }
          StoreU<U, kFlip, CN>(d + 4 * x * CN, out0);
          StoreU<U, kFlip, CN>(d + (4 * x + L) * CN, out1);
        }
      };
      const int32_t x = Blocks(sw, LW, block);
      for (int32_t px = x; px < sw; ++px) {
        for (int32_t j = 0; j < F; ++j) {
          for (int c = 0; c < CN; ++c) d[(F * px + j) * CN + c] = HorizontalScalar<F>(v, px, j, c);
        }
      }
    }
  }

  static V Zip1(V a, V b);
  static V Zip2(V a, V b);

  // Runs block(x) for x = 0, step, ... while a whole block fits, then once more
  // for the last, overlapping block; returns the first index left for the
  // scalar tail (only when the row is narrower than one block).
  template <class Block>
  static int32_t Blocks(int32_t n, int32_t step, Block&& block) {
    if (n < step) return 0;
    int32_t x = 0;
    for (; x + step <= n; x += step) block(x);
    if (x < n) block(n - step);
    return n;
  }
};

template <typename T, int CN>
inline typename BnFast<T, CN>::V BnFast<T, CN>::Zip1(V a, V b) {
  if constexpr (sizeof(U) == 1) {
    return vzip1q_u8(a, b);
  } else {
    return vzip1q_u16(a, b);
  }
}
template <typename T, int CN>
inline typename BnFast<T, CN>::V BnFast<T, CN>::Zip2(V a, V b) {
  if constexpr (sizeof(U) == 1) {
    return vzip2q_u8(a, b);
  } else {
    return vzip2q_u16(a, b);
  }
}

template <typename T, int CN>
Status RunBnFast(BnFastScale scale, const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1,
                 void* scratch) {
  using K = BnFast<T, CN>;
  switch (scale) {
    case BnFastScale::kDownX2: K::DownX2(src, dst, y0, y1); return kStatusOk;
    case BnFastScale::kDownX4: K::DownX4(src, dst, y0, y1); return kStatusOk;
    case BnFastScale::kUpX2: K::template Up<2>(src, dst, y0, y1, scratch); return kStatusOk;
    case BnFastScale::kUpX4: K::template Up<4>(src, dst, y0, y1, scratch); return kStatusOk;
  }
  return kStatusFail;
}

template <typename T>
Status RunBnFastCn(BnFastScale scale, const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1,
                   void* scratch) {
  switch (dst.channels) {
    case 1: return RunBnFast<T, 1>(scale, src, dst, y0, y1, scratch);
    case 2: return RunBnFast<T, 2>(scale, src, dst, y0, y1, scratch);
    case 3: return RunBnFast<T, 3>(scale, src, dst, y0, y1, scratch);
    default: return kStatusFail;
  }
}

}  // namespace

size_t ResizeBnFastScratchBytes(ElemType type, const ImagePlane& src, BnFastScale scale) {
  if (scale == BnFastScale::kDownX2 || scale == BnFastScale::kDownX4) return 64;
  const size_t lane = (type == QX_U8 || type == QX_S8) ? sizeof(uint16_t) : sizeof(uint32_t);
  return CacheRowStride(lane * (src.RowElems() + 2 * src.channels));
}

Status ResizeBnFastNeon(ElemType type, BnFastScale scale, const ImagePlane& src, const ImagePlane& dst, int32_t y0,
                        int32_t y1, void* scratch) {
  switch (type) {
    case QX_U8: return RunBnFastCn<uint8_t>(scale, src, dst, y0, y1, scratch);
    case QX_S8: return RunBnFastCn<int8_t>(scale, src, dst, y0, y1, scratch);
    case QX_U16: return RunBnFastCn<uint16_t>(scale, src, dst, y0, y1, scratch);
    case QX_S16: return RunBnFastCn<int16_t>(scale, src, dst, y0, y1, scratch);
    default: return kStatusFail;
  }
}

}  // namespace resize
}  // namespace kiln
