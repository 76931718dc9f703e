// kiln::cvtcolor::none: the plain CvtColor kernels.
//
// The inline spans below convert the pixels [x0, x1) of one row (or row
// pair) with the formulas of cvtcolor_fixed_point.h; the row kernels loop
// them over rows, and the NEON kernels call them for the pixels their vector
// loops leave over. Every span reads a pixel's sources before writing it, so
// same-size conversions may run in place.
#ifndef KILN_OPS_CVTCOLOR_NONE_CVTCOLOR_NONE_ROWS_H_
#define KILN_OPS_CVTCOLOR_NONE_CVTCOLOR_NONE_ROWS_H_

#include <cstdint>

#include "kiln/ops/cvtcolor/cvtcolor_fixed_point.h"
#include "kiln/ops/cvtcolor/cvtcolor_kernel_args.h"
#include "kiln/runtime/context/status.h"

namespace kiln {
namespace cvtcolor {
namespace none {

// ---- Row kernels (see cvtcolor_kernel_args.h) ------------------------------

Status ReorderRows(const ReorderArgs& args, int begin, int end);
Status BgrToGrayRows(const GrayArgs& args, int begin, int end);
Status GrayToBgrRows(const GrayToBgrArgs& args, int begin, int end);
Status Yuv420ToRgbRows(const YuvToRgbArgs& args, int begin, int end);
Status Yuv444ToRgbRows(const YuvToRgbArgs& args, int begin, int end);
Status Yuv422ToRgbRows(const Yuv422ToRgbArgs& args, int begin, int end);
Status RgbToYuv420Rows(const RgbToYuvArgs& args, int begin, int end);
Status RgbToYuv444Rows(const RgbToYuvArgs& args, int begin, int end);
Status RgbToP010Rows(const RgbToP010Args& args, int begin, int end);
Status BayerToBgrRowsU8(const BayerArgs<uint8_t>& args, int begin, int end);
Status BayerToBgrRowsU16(const BayerArgs<uint16_t>& args, int begin, int end);

// ---- Spans -----------------------------------------------------------------

inline void ReorderSpan(const uint8_t* src, int src_cn, uint8_t* dst, int dst_cn, bool swap_rb, int x0, int x1) {
  const int c0 = swap_rb ? 2 : 0;
  for (int x = x0; x < x1; ++x) {
    const uint8_t* s = src + x * src_cn;
    const uint8_t b = s[c0], g = s[1], r = s[2 - c0];
    uint8_t* d = dst + x * dst_cn;
    d[0] = b;
    d[1] = g;
    d[2] = r;
    if (dst_cn == 4) d[3] = 255;
  }
}

inline void GraySpan(const uint8_t* src, int src_cn, uint8_t* dst, int32_t w0, int32_t w2, int x0, int x1) {
  for (int x = x0; x < x1; ++x) {
    const uint8_t* s = src + x * src_cn;
    dst[x] = GrayPixel(s[0], s[1], s[2], w0, w2);
  }
}

inline void GrayToBgrSpan(const uint8_t* src, uint8_t* dst, int dst_cn, int x0, int x1) {
  for (int x = x0; x < x1; ++x) {
    uint8_t* d = dst + x * dst_cn;
    d[0] = d[1] = d[2] = src[x];
    if (dst_cn == 4) d[3] = 255;
  }
}

// Two output rows from two Y rows and one chroma row; x0 and x1 even.
template <bool kFullRange>
inline void Yuv420Span(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, int uv_step,
                       uint8_t* d0, uint8_t* d1, int x0, int x1) {
  for (int x = x0; x < x1; x += 2) {
    const int k = (x >> 1) * uv_step;
    const ChromaTerms c = YuvChromaTerms<kFullRange>(u[k], v[k]);
    StoreRgb(YuvLumaTerm<kFullRange>(y0[x]), c, d0 + 3 * x);
    StoreRgb(YuvLumaTerm<kFullRange>(y0[x + 1]), c, d0 + 3 * x + 3);
    StoreRgb(YuvLumaTerm<kFullRange>(y1[x]), c, d1 + 3 * x);
    StoreRgb(YuvLumaTerm<kFullRange>(y1[x + 1]), c, d1 + 3 * x + 3);
  }
}

template <bool kFullRange>
inline void Yuv444Span(const uint8_t* y, const uint8_t* u, const uint8_t* v, int uv_step, uint8_t* dst, int x0,
                       int x1) {
  for (int x = x0; x < x1; ++x) {
    const ChromaTerms c = YuvChromaTerms<kFullRange>(u[x * uv_step], v[x * uv_step]);
    StoreRgb(YuvLumaTerm<kFullRange>(y[x]), c, dst + 3 * x);
  }
}

// x0 and x1 even.
template <bool kFullRange>
inline void Yuv422Span(const uint8_t* src, int y_offset, int u_offset, int v_offset, uint8_t* dst, int x0,
                       int x1) {
  for (int x = x0; x < x1; x += 2) {
    const uint8_t* m = src + 2 * x;
    const ChromaTerms c = YuvChromaTerms<kFullRange>(m[u_offset], m[v_offset]);
    StoreRgb(YuvLumaTerm<kFullRange>(m[y_offset]), c, dst + 3 * x);
    StoreRgb(YuvLumaTerm<kFullRange>(m[y_offset + 2]), c, dst + 3 * x + 3);
  }
}

// Two Y rows and one chroma row from two RGB rows; x0 and x1 even. The
// chroma of each 2 x 2 block comes from its top-left pixel.
template <bool kFullRange>
inline void RgbToYuv420Span(const uint8_t* s0, const uint8_t* s1, uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v,
                            int uv_step, int x0, int x1) {
  for (int x = x0; x < x1; x += 2) {
    const uint8_t* p = s0 + 3 * x;
    const uint8_t* q = s1 + 3 * x;
    y0[x] = RgbToY<kFullRange>(p[0], p[1], p[2]);
    y0[x + 1] = RgbToY<kFullRange>(p[3], p[4], p[5]);
    y1[x] = RgbToY<kFullRange>(q[0], q[1], q[2]);
    y1[x + 1] = RgbToY<kFullRange>(q[3], q[4], q[5]);
    const int k = (x >> 1) * uv_step;
    u[k] = RgbToU<kFullRange>(p[0], p[1], p[2]);
    v[k] = RgbToV<kFullRange>(p[0], p[1], p[2]);
  }
}

template <bool kFullRange>
inline void RgbToYuv444Span(const uint8_t* src, uint8_t* y, uint8_t* u, uint8_t* v, int uv_step, int x0, int x1) {
  for (int x = x0; x < x1; ++x) {
    const uint8_t* p = src + 3 * x;
    y[x] = RgbToY<kFullRange>(p[0], p[1], p[2]);
    u[x * uv_step] = RgbToU<kFullRange>(p[0], p[1], p[2]);
    v[x * uv_step] = RgbToV<kFullRange>(p[0], p[1], p[2]);
  }
}

// x0 and x1 even; u and v point into the interleaved chroma row.
inline void RgbToP010Span(const uint16_t* s0, const uint16_t* s1, uint16_t* y0, uint16_t* y1, uint16_t* u,
                          uint16_t* v, int x0, int x1) {
  for (int x = x0; x < x1; x += 2) {
    const uint16_t* p = s0 + 3 * x;
    const uint16_t* q = s1 + 3 * x;
    y0[x] = RgbToP010Y(p[0], p[1], p[2]);
    y0[x + 1] = RgbToP010Y(p[3], p[4], p[5]);
    y1[x] = RgbToP010Y(q[0], q[1], q[2]);
    y1[x + 1] = RgbToP010Y(q[3], q[4], q[5]);
    u[x] = RgbToP010U(p[0], p[1], p[2]);
    v[x] = RgbToP010V(p[0], p[1], p[2]);
  }
}

// Pixels [x0, x1) (0 < x0, x1 < width) of the two output rows of one Bayer
// row pair: r0..r3 are the four source rows in processing order (r1 starts
// with green), d1 the output of r1 and d2 that of r2.
template <typename T>
inline void BayerSpan(const T* r0, const T* r1, const T* r2, const T* r3, T* d1, T* d2, int x_ch, int x0, int x1) {
  for (int x = x0; x < x1; ++x) {
    BayerGreenFirstPixel(r0, r1, r2, x, x_ch, d1 + 3 * x);
    BayerColourFirstPixel(r1, r2, r3, x, x_ch, d2 + 3 * x);
  }
}

// The four source rows and two output rows of Bayer index i in processing
// order (reversed for parity 0, so rows[1] always starts with green).
template <typename T>
struct BayerRows {
  const T* r[4];
  T* d1;
  T* d2;
};

template <typename T>
inline BayerRows<T> BayerRowsOf(const BayerArgs<T>& a, int i) {
  BayerRows<T> rows;
  for (int k = 0; k < 4; ++k) rows.r[k] = RowPtr(a.src, a.src_pitch, 2 * i + k);
  rows.d1 = RowPtr(a.dst, a.dst_pitch, 2 * i + 1);
  rows.d2 = RowPtr(a.dst, a.dst_pitch, 2 * i + 2);
  if (!a.parity) {
    const T* t = rows.r[0];
    rows.r[0] = rows.r[3];
    rows.r[3] = t;
    t = rows.r[1];
    rows.r[1] = rows.r[2];
    rows.r[2] = t;
    T* d = rows.d1;
    rows.d1 = rows.d2;
    rows.d2 = d;
  }
  return rows;
}

}  // namespace none
}  // namespace cvtcolor
}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_NONE_CVTCOLOR_NONE_ROWS_H_
