// Plain geometry records of kiln arrays: sizes, strides and rectangles.
#ifndef KILN_RUNTIME_ARRAY_GEOMETRY_H_
#define KILN_RUNTIME_ARRAY_GEOMETRY_H_

#include <cstdint>

namespace kiln {

// Height, width and channels of an array (interleaved channels). Plain value.
struct Sizes {
  int32_t h = 0;
  int32_t w = 0;
  int32_t c = 1;
};

// Rows per plane and bytes per row (row pitch); plain value. Zeros ask for a tightly
// packed layout; smaller values than the image needs are raised to it.
struct Strides {
  int32_t rows = 0;
  int32_t row_bytes = 0;
};

// A rectangle in pixels: top-left corner and extent. Plain value.
struct Rect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_ARRAY_GEOMETRY_H_
