// NEON bilinear Bayer -> BGR kernels, U8 (32 pixels a block) and U16 (16).
//
// A block splits each row into even and odd pixels with one de-interleaving
// load, so every output colour of a block is a plain copy or a rounded mean
// of whole vectors. The neighbours one pixel further left or right come from
// the same loads shifted by one pixel pair (x - 2 and x + 2).
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_common.h"
#include "kiln/ops/cvtcolor/host/neon/cvtcolor_neon_rows.h"
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace neon {

namespace {

template <typename T>
struct BayerVec;

template <>
struct BayerVec<uint8_t> {
  using V = uint8x16_t;
  using V3 = uint8x16x3_t;
  static constexpr int kLanes = 16;
  static uint8x16x2_t Load2(const uint8_t* p) { return vld2q_u8(p); }
  static void StoreZip3(uint8_t* p, const V3& even, const V3& odd) { ::kiln::neon::St3qZip_u8(p, even, odd); }
};

template <>
struct BayerVec<uint16_t> {
  using V = uint16x8_t;
  using V3 = uint16x8x3_t;
  static constexpr int kLanes = 8;
  static uint16x8x2_t Load2(const uint16_t* p) { return vld2q_u16(p); }
  static void StoreZip3(uint16_t* p, const V3& even, const V3& odd) { ::kiln::neon::St3qZip_u16(p, even, odd); }
};

// Even and odd pixels of one source row around a block at x: e / o are the
// pixels x + 2k and x + 2k + 1, e_next the pixels x + 2k + 2 and o_prev the
// pixels x + 2k - 1.
template <typename T>
struct RowParts {
  typename BayerVec<T>::V e, o, e_next, o_prev;
};

template <typename T>
inline RowParts<T> LoadParts(const T* row, int x) {
  using Vec = BayerVec<T>;
  const auto mid = Vec::Load2(row + x);
  RowParts<T> p;
  p.e = mid.val[0];
  p.o = mid.val[1];
  p.e_next = Vec::Load2(row + x + 2).val[0];
  p.o_prev = Vec::Load2(row + x - 2).val[1];
  return p;
}

// Stores 2 * kLanes pixels from their even and odd results, X in channel 2
// or 0.
template <typename T, bool kXInChannel2>
inline void StorePixels(T* dst, typename BayerVec<T>::V x_even, typename BayerVec<T>::V x_odd,
                        typename BayerVec<T>::V g_even, typename BayerVec<T>::V g_odd,
                        typename BayerVec<T>::V y_even, typename BayerVec<T>::V y_odd) {
  typename BayerVec<T>::V3 even, odd;
  even.val[kXInChannel2 ? 2 : 0] = x_even;
  even.val[1] = g_even;
  even.val[kXInChannel2 ? 0 : 2] = y_even;
  odd.val[kXInChannel2 ? 2 : 0] = x_odd;
  odd.val[1] = g_odd;
  odd.val[kXInChannel2 ? 0 : 2] = y_odd;
  BayerVec<T>::StoreZip3(dst, even, odd);
}

// Pixels [2, done) of the two output rows of one row pair (r1 starts with
// green, r2 with the other colour Y); returns done.
template <typename T, bool kXInChannel2>
int BayerBlocks(const T* r0, const T* r1, const T* r2, const T* r3, T* d1, T* d2, int width) {
  constexpr int kBlock = 2 * BayerVec<T>::kLanes;
  int x = 2;
  // The loads reach from x - 2 to x + kBlock + 1.
  for (; x + kBlock + 2 <= width; x += kBlock) {
    const RowParts<T> a = LoadParts(r0, x);
    const RowParts<T> b = LoadParts(r1, x);
    const RowParts<T> c = LoadParts(r2, x);
    const RowParts<T> d = LoadParts(r3, x);
    // Row r1 (G X G X): green pixels at even, X at odd positions.
    StorePixels<T, kXInChannel2>(d1 + 3 * x, Mean2(b.o_prev, b.o), b.o, b.e, Mean4(b.e, b.e_next, a.o, c.o),
                                 Mean2(a.e, c.e), Mean4(a.e, a.e_next, c.e, c.e_next));
    // Row r2 (Y G Y G): Y pixels at even, green at odd positions.
    StorePixels<T, kXInChannel2>(d2 + 3 * x, Mean4(b.o_prev, b.o, d.o_prev, d.o), Mean2(b.o, d.o),
                                 Mean4(c.o_prev, c.o, b.e, d.e), c.o, c.e, Mean2(c.e, c.e_next));
  }
  return x;
}

template <typename T>
void BayerRowPairs(const BayerArgs<T>& a, int begin, int end) {
  const int x_ch = a.swap ? 2 : 0;
  for (int i = begin; i < end; ++i) {
    const none::BayerRows<T> rows = none::BayerRowsOf(a, i);
    const T* const* r = rows.r;
    const int done = a.swap ? BayerBlocks<T, true>(r[0], r[1], r[2], r[3], rows.d1, rows.d2, a.width)
                            : BayerBlocks<T, false>(r[0], r[1], r[2], r[3], rows.d1, rows.d2, a.width);
    none::BayerSpan(r[0], r[1], r[2], r[3], rows.d1, rows.d2, x_ch, 1, 2);
    none::BayerSpan(r[0], r[1], r[2], r[3], rows.d1, rows.d2, x_ch, done, a.width - 1);
    BayerCopyEdgePixels(rows.d1, a.width);
    BayerCopyEdgePixels(rows.d2, a.width);
  }
}

}  // namespace

Status BayerToBgrRowsU8(const BayerArgs<uint8_t>& a, int begin, int end) {
  BayerRowPairs(a, begin, end);
  return kStatusOk;
}

Status BayerToBgrRowsU16(const BayerArgs<uint16_t>& a, int begin, int end) {
  BayerRowPairs(a, begin, end);
  return kStatusOk;
}

}  // namespace neon
}  // namespace cvtcolor
}  // namespace kiln
