// What the MinMaxLoc kernels share: the image view, the vector block size,
// the per-row partial record and the flat result with its merge rule.
#ifndef KILN_OPS_MATRIX_MIN_MAX_LOC_KERNEL_H_
#define KILN_OPS_MATRIX_MIN_MAX_LOC_KERNEL_H_

#include <cstdint>
#include <limits>

namespace kiln {

// The vector scan keeps one minimum and maximum per block of this many
// elements of a row, so locating the winner rescans one block at most.
constexpr int32_t kMinMaxLocBlockElems = 16384;

// One image for the kernels: rows of `elems` elements (width x channels)
// every `pitch` bytes.
struct MinMaxLocArgs {
  const uint8_t* src = nullptr;
  int64_t pitch = 0;
  int32_t rows = 0;
  int32_t elems = 0;
};

// A vector partial result for one row, of the element's comparison type
// (float for F16): extremes and the row and block where each was first
// seen; a row of -1 means "not seen" (no element, or only NaNs).
template <typename T>
struct MinMaxLocInfo {
  T min_val;
  T max_val;
  int32_t min_row = -1;
  int32_t min_block = 0;
  int32_t max_row = -1;
  int32_t max_block = 0;
};

// A result in row terms: the value and its row and flat index k in the row
// (x = k / channels, z = k % channels). Row -1: nothing found, value NaN.
struct MinMaxLocFlat {
  double min_val = std::numeric_limits<double>::quiet_NaN();
  double max_val = std::numeric_limits<double>::quiet_NaN();
  int32_t min_row = -1;
  int32_t min_k = -1;
  int32_t max_row = -1;
  int32_t max_k = -1;
};

// Folds from into into so that the first occurrence in row-major order
// wins: a strictly better value replaces, an equal one only when it lies
// earlier. Partial results may therefore be merged in any order.
inline void MergeMinMaxLoc(const MinMaxLocFlat& from, MinMaxLocFlat* into) {
  if (from.min_row >= 0 &&
      (into->min_row < 0 || from.min_val < into->min_val ||
       (from.min_val == into->min_val &&
        (from.min_row < into->min_row || (from.min_row == into->min_row && from.min_k < into->min_k))))) {
    into->min_val = from.min_val;
    into->min_row = from.min_row;
    into->min_k = from.min_k;
  }
  if (from.max_row >= 0 &&
      (into->max_row < 0 || from.max_val > into->max_val ||
       (from.max_val == into->max_val &&
        (from.max_row < into->max_row || (from.max_row == into->max_row && from.max_k < into->max_k))))) {
    into->max_val = from.max_val;
    into->max_row = from.max_row;
    into->max_k = from.max_k;
  }
}

}  // namespace kiln

#endif  // KILN_OPS_MATRIX_MIN_MAX_LOC_KERNEL_H_
