// kiln::MinMaxLoc: the smallest and largest element of a Mat and where each
// first occurs in row-major order.
#ifndef KILN_OPS_MATRIX_MIN_MAX_LOC_H_
#define KILN_OPS_MATRIX_MIN_MAX_LOC_H_

#include <string>
#include <vector>

#include "kiln/ops/core/comm/op.h"
#include "kiln/ops/core/comm/op_impl.h"
#include "kiln/ops/matrix/min_max_loc_kernel.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/status.h"
#include "kiln/runtime/context/target_info.h"

namespace kiln {

class Context;

// A point in an interleaved image: column x, row y, channel z.
template <typename T>
struct Point3_ {
  T x = 0;
  T y = 0;
  T z = 0;
};
using Point3i = Point3_<int>;

// Arguments and results of MinMaxLocNone and MinMaxLocNeon. Owned by the
// MinMaxLoc op that selected it (shared); the Mat and the output variables
// are borrowed for one call.
// Concurrency: used by the thread running its op; Run splits rows over the
// worker pool, each row's partial result written by exactly one thread.
class MinMaxLocImpl : public OpImpl {
 public:
  MinMaxLocImpl(Context* ctx, const TargetInfo& target);

  // Keeps the Mat and the four output pointers. The array must be a Mat
  // whose data and pitch suit its element size.
  Status SetArgs(const Array* src, double* min_val, double* max_val, Point3i* min_loc, Point3i* max_loc);

  // "op(MinMaxLoc) target(<target>)\n"
  std::string ToString() const override;
  // "<folder>/MinMaxLoc.json" with "name", "m_src" and the outputs under
  // "*m_min_val", "*m_max_val", "*m_min_pos", "*m_max_pos" ([x, y, z]).
  Status Dump(const std::string& folder) override;
  std::vector<Array*> GetSrcArrays() const override;

 protected:
  MinMaxLocArgs MakeArgs() const;
  // Writes a flat result to the outputs (k split into x and channel z).
  void StoreResult(const MinMaxLocFlat& flat) const;

  const Mat* m_src = nullptr;
  double* m_min_val = nullptr;
  double* m_max_val = nullptr;
  Point3i* m_min_loc = nullptr;
  Point3i* m_max_loc = nullptr;
};

// The MinMaxLoc operator; usually built on the stack by IMinMaxLoc.
// Concurrency: one thread at a time (see kiln::Op).
class MinMaxLoc : public Op {
 public:
  MinMaxLoc(Context* ctx, const TargetInfo& target) : Op(ctx, target) {}

  // Checks the arguments ("src is null ptr", "output pointer is null ptr",
  // "src or dst mat is invalid."), picks the target (Neon falls back to None
  // below 48 pixels of width) and hands them on.
  Status SetArgs(const Array* src, double* min_val, double* max_val, Point3i* min_loc, Point3i* max_loc);
};

// Minimum and maximum of every element of src (all channels) with the
// location of their first occurrence in row-major order; z is the channel.
// NaN elements never win; when every element is NaN both values are NaN
// and both locations (-1, -1, -1).
Status IMinMaxLoc(Context* ctx, const Array* src, double* min_val, double* max_val, Point3i* min_loc,
                  Point3i* max_loc, const TargetInfo& target);

}  // namespace kiln

#endif  // KILN_OPS_MATRIX_MIN_MAX_LOC_H_
