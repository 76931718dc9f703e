// Plain YUV -> RGB kernels: 4:2:0 planes (NV12/NV21/YU12/YV12), packed 4:2:2
// and 4:4:4 planes.
#include "kiln/ops/cvtcolor/none/cvtcolor_none_rows.h"

namespace kiln {
namespace cvtcolor {
namespace none {

namespace {

template <bool kFullRange>
void Yuv420Rows(const YuvToRgbArgs& a, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    Yuv420Span<kFullRange>(RowPtr(a.y, a.y_pitch, 2 * i), RowPtr(a.y, a.y_pitch, 2 * i + 1),
                           RowPtr(a.u, a.u_pitch, i), RowPtr(a.v, a.v_pitch, i), a.uv_step, RowPtr(a.dst, a.dst_pitch, 2 * i),
                           RowPtr(a.dst, a.dst_pitch, 2 * i + 1), 0, a.width);
  }
}

template <bool kFullRange>
void Yuv444Rows(const YuvToRgbArgs& a, int begin, int end) {
  for (int row = begin; row < end; ++row) {
    Yuv444Span<kFullRange>(RowPtr(a.y, a.y_pitch, row), RowPtr(a.u, a.u_pitch, row), RowPtr(a.v, a.v_pitch, row),
                           a.uv_step,
                           RowPtr(a.dst, a.dst_pitch, row), 0, a.width);
  }
}

template <bool kFullRange>
void Yuv422Rows(const Yuv422ToRgbArgs& a, int begin, int end) {
  for (int row = begin; row < end; ++row) {
    Yuv422Span<kFullRange>(RowPtr(a.src, a.src_pitch, row), a.y_offset, a.u_offset, a.v_offset,
                           RowPtr(a.dst, a.dst_pitch, row), 0, a.width);
  }
}

}  // namespace

Status Yuv420ToRgbRows(const YuvToRgbArgs& a, int begin, int end) {
  if (a.full_range) {
    Yuv420Rows<true>(a, begin, end);
  } else {
    Yuv420Rows<false>(a, begin, end);
  }
  return kStatusOk;
}

Status Yuv444ToRgbRows(const YuvToRgbArgs& a, int begin, int end) {
  if (a.full_range) {
    Yuv444Rows<true>(a, begin, end);
  } else {
    Yuv444Rows<false>(a, begin, end);
  }
  return kStatusOk;
}

Status Yuv422ToRgbRows(const Yuv422ToRgbArgs& a, int begin, int end) {
  if (a.full_range) {
    Yuv422Rows<true>(a, begin, end);
  } else {
    Yuv422Rows<false>(a, begin, end);
  }
  return kStatusOk;
}

}  // namespace none
}  // namespace cvtcolor
}  // namespace kiln
