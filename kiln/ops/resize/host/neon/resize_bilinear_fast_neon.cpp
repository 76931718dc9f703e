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
#include <array>
#include <cstring>

#include "kiln/ops/resize/host/neon/resize_kernels_neon.h"
#include "kiln/ops/resize/host/neon/resize_neon_fast.h"

namespace kiln {
namespace resize {

namespace {

using neonk::LoadPlanes;
using neonk::LoadU;
using neonk::StorePlanes;
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
  // Three 8-bit channels: the two pixels of a pair lie 3 bytes apart, so loads
  // at 6x and 6x + 3 line them up byte for byte without de-interleaving; 16
  // bytes give three destination pixels (bytes 0-2, 6-8, 12-14), written with
  // overlapping 4-byte stores. The average of four is formed with rounding
  // halving adds, exact for all inputs: with P = rhadd(a, b), Q = rhadd(c, d),
  //   (a + b + c + d + 2) >> 2 = rhadd(P, Q) - (((a ^ b) | (c ^ d)) & (P ^ Q) & 1).
  static void DownX2C3Bytes(const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1) {
    const int32_t dw = dst.width;
    const uint8x16_t one = vdupq_n_u8(1);
    for (int32_t y = y0; y < y1; ++y) {
      const uint8_t* a = src.Row<uint8_t>(2 * y);
      const uint8_t* b = src.Row<uint8_t>(2 * y + 1);
      uint8_t* d = dst.Row<uint8_t>(y);
      // Destination pixels x .. x + 2: the shifted load reads one byte past
      // the pair of pixel x + 2 and the last store writes one spare byte, so
      // a block must not end the row; the last one to three pixels of a row
      // are computed one by one below.
      int32_t x = 0;
      for (; x + 3 < dw; x += 3) {
        const uint8x16_t a0 = vld1q_u8(a + 6 * x), a1 = vld1q_u8(a + 6 * x + 3);
        const uint8x16_t b0 = vld1q_u8(b + 6 * x), b1 = vld1q_u8(b + 6 * x + 3);
        const uint8x16_t p = vrhaddq_u8(a0, b0), q = vrhaddq_u8(a1, b1);
        const uint8x16_t odd = vandq_u8(vandq_u8(vorrq_u8(veorq_u8(a0, b0), veorq_u8(a1, b1)), veorq_u8(p, q)), one);
        uint8_t r[16];
        vst1q_u8(r, vsubq_u8(vrhaddq_u8(p, q), odd));
        std::memcpy(d + 3 * x, r, 4);
        std::memcpy(d + 3 * x + 3, r + 6, 4);
        std::memcpy(d + 3 * x + 6, r + 12, 4);
      }
      for (int32_t i = x * 3; i < dw * 3; ++i) {
        const int32_t j = (i / 3) * 6 + i % 3;
        d[i] = static_cast<uint8_t>((a[j] + a[j + 3] + b[j] + b[j + 3] + 2) >> 2);
      }
    }
  }

  static void DownX2(const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1) {
    if constexpr (CN == 3 && std::is_same<T, uint8_t>::value) {
      DownX2C3Bytes(src, dst, y0, y1);
      return;
    }
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
  // Each source row is filtered along x once (into W lanes at the destination
  // width, channels interleaved) and kept while destination rows use it; a
  // destination row then mixes two filtered rows. The x filter gives source
  // pixel x the phases F x + j from its left, own and right neighbours (edge
  // pixels replicated): x2: l + 3m, 3m + r; x4: 3l + 5m, l + 7m, 7m + r,
  // 5m + 3r. Rows: x2 destination rows 2k - 1, 2k mix source rows k - 1, k as
  // 3 : 1, 1 : 3; x4 rows 4k - 2 .. 4k + 1 as 7:1, 5:3, 3:5, 1:7.
  template <int F>
  static void HorizontalUp(const U* s, int32_t sw, U* pad, WE* h) {
    U* p = pad + CN;
    std::memcpy(p, s, sizeof(U) * sw * CN);
    for (int c = 0; c < CN; ++c) {
      p[c - CN] = p[c];
      p[sw * CN + c] = p[(sw - 1) * CN + c];
    }
    auto half = [&](H l0, H m0, H r0) {
      const W l = Tr::Widen(l0), m = Tr::Widen(m0), r = Tr::Widen(r0);
      if constexpr (F == 2) {
        const W m3 = Tr::template MulC<3>(m);
        const W e = Tr::Add(l, m3), o = Tr::Add(m3, r);
        return std::array<W, 4>{Tr::WZip1(e, o), Tr::WZip2(e, o), e, o};
      } else {
        const W m5 = Tr::template MulC<5>(m), m7 = Tr::template MulC<7>(m);
        const W p0 = Tr::Add(Tr::template MulC<3>(l), m5), p1 = Tr::Add(l, m7);
        const W p2 = Tr::Add(m7, r), p3 = Tr::Add(m5, Tr::template MulC<3>(r));
        const W a = Tr::WZip1(p0, p2), b = Tr::WZip2(p0, p2), c = Tr::WZip1(p1, p3), d = Tr::WZip2(p1, p3);
        return std::array<W, 4>{Tr::WZip1(a, c), Tr::WZip2(a, c), Tr::WZip1(b, d), Tr::WZip2(b, d)};
      }
    };
    auto block = [&](int32_t x) {
      const Planes<V, CN> pl = LoadU<U, kFlip, CN>(p + (x - 1) * CN);
      const Planes<V, CN> pm = LoadU<U, kFlip, CN>(p + x * CN);
      const Planes<V, CN> pr = LoadU<U, kFlip, CN>(p + (x + 1) * CN);
      // Per half of the L source pixels: F LW-pixel groups of output.
      constexpr int kGroups = F == 2 ? 2 : 4;
      Planes<W, CN> out[2][kGroups];
      for (int c = 0; c < CN; ++c) {
        for (int hf = 0; hf < 2; ++hf) {
          const H l0 = hf == 0 ? Tr::Lo(pl.val[c]) : Tr::Hi(pl.val[c]);
          const H m0 = hf == 0 ? Tr::Lo(pm.val[c]) : Tr::Hi(pm.val[c]);
          const H r0 = hf == 0 ? Tr::Lo(pr.val[c]) : Tr::Hi(pr.val[c]);
          const std::array<W, 4> g = half(l0, m0, r0);
          for (int k = 0; k < kGroups; ++k) out[hf][k].val[c] = g[k];
        }
      }
      for (int hf = 0; hf < 2; ++hf) {
        for (int k = 0; k < kGroups; ++k) StorePlanes<CN>(h + (F * (x + hf * LW) + k * LW) * CN, out[hf][k]);
      }
    };
    const int32_t x = Blocks(sw, L, block);
    for (int32_t px = x; px < sw; ++px) {
      for (int c = 0; c < CN; ++c) {
        const WE l = static_cast<U>(p[(px - 1) * CN + c] ^ kSign);
        const WE m = static_cast<U>(p[px * CN + c] ^ kSign);
        const WE r = static_cast<U>(p[(px + 1) * CN + c] ^ kSign);
        WE* o = h + F * px * CN + c;
        if constexpr (F == 2) {
          o[0] = l + 3 * m;
          o[CN] = 3 * m + r;
        } else {
          o[0] = 3 * l + 5 * m;
          o[CN] = l + 7 * m;
          o[2 * CN] = 7 * m + r;
          o[3 * CN] = 5 * m + 3 * r;
        }
      }
    }
  }

  // out = (WA h0 + WB h1 + half) >> kShift over n elements, unflipped.
  template <int WA, int WB, int kShift>
  static void VerticalUp(const WE* h0, const WE* h1, U* out, int32_t n) {
    int32_t i = 0;
    for (; i + L <= n; i += L) {
      const H lo = Tr::template RShrN<kShift>(
          Tr::Add(Tr::template MulC<WA>(Tr::LoadW(h0 + i)), Tr::template MulC<WB>(Tr::LoadW(h1 + i))));
      const H hi = Tr::template RShrN<kShift>(
          Tr::Add(Tr::template MulC<WA>(Tr::LoadW(h0 + i + LW)), Tr::template MulC<WB>(Tr::LoadW(h1 + i + LW))));
      V r = Tr::Combine(lo, hi);
      if constexpr (kFlip) r = Tr::Flip(r);
      Tr::Store1(out + i, r);
    }
    for (; i < n; ++i) {
      const WE sum = static_cast<WE>(WA * h0[i] + WB * h1[i]);
      out[i] = static_cast<U>(static_cast<U>((sum + (WE(1) << (kShift - 1))) >> kShift) ^ kSign);
    }
  }

  template <int F>
  static void Up(const ImagePlane& src, const ImagePlane& dst, int32_t y0, int32_t y1, void* scratch) {
    const int32_t sw = src.width;
    const int32_t n = dst.RowElems();
    U* pad = static_cast<U*>(scratch);
    void* rows = static_cast<uint8_t*>(scratch) + CacheRowStride(sizeof(U) * (sw + 2) * CN);
    RowCache<2> cache(rows, sizeof(WE) * n);
    for (int32_t y = y0; y < y1; ++y) {
      // x2: rows 2k - 1, 2k between source rows k - 1, k; x4: rows 4k - 2 .. 4k + 1.
      const int32_t k = F == 2 ? (y + 1) / 2 : (y + 2) / 4;
      const int32_t phase = F == 2 ? y - (2 * k - 1) : y - (4 * k - 2);
      const int32_t need[2] = {std::max(k - 1, 0), std::min(k, src.height - 1)};
      WE* h[2];
      cache.Get(need, h, [&](int32_t row, WE* out) { HorizontalUp<F>(src.Row<U>(row), sw, pad, out); });
      U* d = dst.Row<U>(y);
      if constexpr (F == 2) {
        if (phase == 0) {
          VerticalUp<3, 1, 4>(h[0], h[1], d, n);
        } else {
          VerticalUp<1, 3, 4>(h[0], h[1], d, n);
        }
      } else {
        switch (phase) {
          case 0: VerticalUp<7, 1, 6>(h[0], h[1], d, n); break;
          case 1: VerticalUp<5, 3, 6>(h[0], h[1], d, n); break;
          case 2: VerticalUp<3, 5, 6>(h[0], h[1], d, n); break;
          default: VerticalUp<1, 7, 6>(h[0], h[1], d, n); break;
        }
      }
    }
  }

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
  const size_t elem = (type == QX_U8 || type == QX_S8) ? 1 : 2;
  const size_t factor = scale == BnFastScale::kUpX2 ? 2 : 4;
  // A padded copy of one source row, then two filtered rows (W lanes, twice
  // the element size) at the destination width.
  return CacheRowStride(elem * (src.RowElems() + 2 * src.channels)) +
         RowCache<2>::Bytes(2 * elem * factor * src.RowElems());
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
