// Plain RGB -> YUV kernels: 4:2:0 planes, 4:4:4 planes and 16-bit P010.
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace none {

namespace {

template <bool kFullRange>
void RgbToYuv420(const RgbToYuvArgs& a, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    RgbToYuv420Span<kFullRange>(RowPtr(a.src, a.src_pitch, 2 * i), RowPtr(a.src, a.src_pitch, 2 * i + 1),
                                RowPtr(a.y, a.y_pitch, 2 * i), RowPtr(a.y, a.y_pitch, 2 * i + 1),
                                RowPtr(a.u, a.u_pitch, i), RowPtr(a.v, a.v_pitch, i), a.uv_step, 0, a.width);
  }
}

template <bool kFullRange>
void RgbToYuv444(const RgbToYuvArgs& a, int begin, int end) {
  for (int row = begin; row < end; ++row) {
    RgbToYuv444Span<kFullRange>(RowPtr(a.src, a.src_pitch, row), RowPtr(a.y, a.y_pitch, row),
                                RowPtr(a.u, a.u_pitch, row), RowPtr(a.v, a.v_pitch, row), a.uv_step, 0, a.width);
  }
}

}  // namespace

Status RgbToYuv420Rows(const RgbToYuvArgs& a, int begin, int end) {
  if (a.full_range) {
    RgbToYuv420<true>(a, begin, end);
  } else {
    RgbToYuv420<false>(a, begin, end);
  }
  return kStatusOk;
}

Status RgbToYuv444Rows(const RgbToYuvArgs& a, int begin, int end) {
  if (a.full_range) {
    RgbToYuv444<true>(a, begin, end);
  } else {
    RgbToYuv444<false>(a, begin, end);
  }
  return kStatusOk;
}

Status RgbToP010Rows(const RgbToP010Args& a, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    RgbToP010Span(RowPtr(a.src, a.src_pitch, 2 * i), RowPtr(a.src, a.src_pitch, 2 * i + 1),
                  RowPtr(a.y, a.y_pitch, 2 * i), RowPtr(a.y, a.y_pitch, 2 * i + 1), RowPtr(a.u, a.uv_pitch, i),
                  RowPtr(a.v, a.uv_pitch, i), 0, a.width);
  }
  return kStatusOk;
}

}  // namespace none
}  // namespace cvtcolor
}  // namespace kiln
