// Arguments of the CvtColor row kernels. Every kernel family exists twice
// with the same names and signatures, in kiln::cvtcolor::none (plain C++) and
// kiln::cvtcolor::neon (Advanced SIMD):
//
//   Status Kernel(const Args& args, int begin, int end);
//
// It converts the rows (or row pairs) [begin, end) and always returns 0, so
// it can run directly over the whole range or as a ParallelFor body. Pointers
// are the first element of row 0; pitches are in bytes. The arguments are
// plain views: the caller owns the memory and keeps it alive for the call.
#ifndef KILN_OPS_CVTCOLOR_CVTCOLOR_KERNEL_ARGS_H_
#define KILN_OPS_CVTCOLOR_CVTCOLOR_KERNEL_ARGS_H_

#include <cstdint>
#include <type_traits>

namespace kiln {
namespace cvtcolor {

// Row `row` of an image given by its first row and pitch.
template <typename T>
inline T* RowPtr(T* base, int64_t pitch, int64_t row) {
  using Byte = typename std::conditional<std::is_const<T>::value, const uint8_t, uint8_t>::type;
  return reinterpret_cast<T*>(reinterpret_cast<Byte*>(base) + row * pitch);
}

// BGR2BGRA, BGRA2BGR, BGR2RGB. One index per row.
struct ReorderArgs {
  const uint8_t* src = nullptr;
  int64_t src_pitch = 0;
  int src_cn = 3;  // 3 or 4
  uint8_t* dst = nullptr;
  int64_t dst_pitch = 0;
  int dst_cn = 3;  // 3 or 4; a fourth channel is set to 255
  int width = 0;
  bool swap_rb = false;  // exchange channels 0 and 2
};

// BGR2GRAY and relatives. One index per row.
struct GrayArgs {
  const uint8_t* src = nullptr;
  int64_t src_pitch = 0;
  int src_cn = 3;  // 3 or 4; a fourth channel is ignored
  uint8_t* dst = nullptr;
  int64_t dst_pitch = 0;
  int width = 0;
  bool red_first = false;  // channel 0 is red (RGB2GRAY, RGBA2GRAY)
};

// GRAY2BGR, GRAY2BGRA. One index per row.
struct GrayToBgrArgs {
  const uint8_t* src = nullptr;
  int64_t src_pitch = 0;
  uint8_t* dst = nullptr;
  int64_t dst_pitch = 0;
  int dst_cn = 3;  // 3 or 4; a fourth channel is set to 255
  int width = 0;
};

// YUV -> RGB from planes: 4:2:0 (one index per chroma row, i.e. two output
// rows; width even) or 4:4:4 (one index per row).
struct YuvToRgbArgs {
  const uint8_t* y = nullptr;
  int64_t y_pitch = 0;
  const uint8_t* u = nullptr;  // first U sample of chroma row 0
  int64_t u_pitch = 0;
  const uint8_t* v = nullptr;  // first V sample of chroma row 0
  int64_t v_pitch = 0;
  int uv_step = 1;  // bytes between samples of one chroma plane: 1 planar, 2 interleaved
  uint8_t* dst = nullptr;      // R, G, B
  int64_t dst_pitch = 0;
  int width = 0;
  bool full_range = false;
};

// YUV -> RGB from a packed 4:2:2 image: 2 bytes per pixel, every 4 bytes one
// macro pixel of 2 pixels. One index per row; width even.
struct Yuv422ToRgbArgs {
  const uint8_t* src = nullptr;
  int64_t src_pitch = 0;
  int y_offset = 0;  // byte of the first Y in a macro pixel (0 or 1); the second is 2 later
  int u_offset = 1;  // byte of U in a macro pixel
  int v_offset = 3;  // byte of V in a macro pixel
  uint8_t* dst = nullptr;
  int64_t dst_pitch = 0;
  int width = 0;
  bool full_range = false;
};

// RGB -> YUV planes: 4:2:0 (one index per chroma row; chroma from the
// top-left pixel of each 2 x 2 block; width even) or 4:4:4 (one index per row).
struct RgbToYuvArgs {
  const uint8_t* src = nullptr;  // R, G, B
  int64_t src_pitch = 0;
  uint8_t* y = nullptr;
  int64_t y_pitch = 0;
  uint8_t* u = nullptr;
  int64_t u_pitch = 0;
  uint8_t* v = nullptr;
  int64_t v_pitch = 0;
  int uv_step = 1;  // 1 planar, 2 interleaved
  int width = 0;
  bool full_range = false;
};

// U16 RGB -> P010 Y and interleaved chroma. One index per chroma row.
struct RgbToP010Args {
  const uint16_t* src = nullptr;  // R, G, B
  int64_t src_pitch = 0;
  uint16_t* y = nullptr;
  int64_t y_pitch = 0;
  uint16_t* u = nullptr;  // first U of the interleaved chroma plane
  uint16_t* v = nullptr;  // first V of the interleaved chroma plane
  int64_t uv_pitch = 0;
  int width = 0;
};

// Bayer mosaic -> BGR, U8 or U16. Index i fills destination rows 2i + 1 and
// 2i + 2 from source rows 2i .. 2i + 3, pixels 0 and width - 1 included
// (copied from their inner neighbours). Width even and at least 4.
template <typename T>
struct BayerArgs {
  const T* src = nullptr;
  int64_t src_pitch = 0;
  T* dst = nullptr;
  int64_t dst_pitch = 0;
  int width = 0;
  // The colour of the odd pixels of the green-first rows goes to channel 2
  // (it is red) rather than 0.
  bool swap = false;
  // Source row 2i + 1 starts with green (BGGR, RGGB); otherwise row 2i + 2
  // does and the four rows are taken in reverse order.
  bool parity = false;
};

}  // namespace cvtcolor
}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_CVTCOLOR_KERNEL_ARGS_H_
