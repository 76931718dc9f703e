// kiln::CvtColor: colour conversion (BGR/RGB/gray reorders, RGB <-> YUV,
// Bayer demosaic) through the operator framework, and ICvtColor.
#ifndef KILN_OPS_CVTCOLOR_CVTCOLOR_H_
#define KILN_OPS_CVTCOLOR_CVTCOLOR_H_

#include <memory>
#include <string>
#include <vector>

#include "kiln/ops/core/comm/op.h"
#include "kiln/ops/core/comm/op_impl.h"
#include "kiln/ops/cvtcolor/cvtcolor_kernel_args.h"
#include "kiln/ops/cvtcolor/cvtcolor_types.h"
#include "kiln/runtime/array/array.h"
#include "kiln/runtime/context/context.h"
#include "kiln/runtime/context/status.h"
#include "kiln/runtime/context/target_info.h"

namespace kiln {

// Converts the planes of src into the planes of dst (one Mat per plane, in
// the order cvtcolor_types.h lists) on the requested target. Neon falls back
// to single-threaded None for sources narrower than 48 pixels. Failures are
// recorded in the context's error history and return -1.
//
//   kiln::Mat y(...), uv(...), rgb(...);
//   kiln::ICvtColor(ctx, {&y, &uv}, {&rgb}, kiln::YUV2RGB_NV12, kiln::TargetInfo(kiln::kTargetNeon, false));
Status ICvtColor(Context* ctx, const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type,
                 const TargetInfo& target);

// The kernel family a conversion runs; kInvalid for no conversion.
enum class CvtColorKernel {
  kInvalid,
  kBgr2Bgra,     // 100, 101, 102
  kGray2Bgr,     // 105, 106
  kBgr2Gray,     // 103, 104, 107, 108
  kNv2Rgb,       // 300, 301, 308, 309
  kY4202Rgb,     // 302, 303, 310, 311
  kY4222Rgb,     // 304, 305, 306, 312, 313, 314
  kY4442Rgb,     // 307, 315
  kRgb2Nv,       // 200, 201, 205, 206
  kRgb2Y420,     // 202, 203, 207, 208
  kRgb2Y444,     // 204, 209
  kRgb2NvP010,   // 210, 211
  kBayer2Bgr,    // 400..403
};

CvtColorKernel CvtColorKernelOf(int32_t type);

// The arguments and checks shared by CvtColorNone and CvtColorNeon. SetArgs
// checks the type and the plane lists; Run (in the subclasses) dispatches to
// one kernel per family, which checks the geometry with the Prepare helpers
// below and runs its row function over the rows.
// Owned by the kiln::CvtColor op that created it (shared); the arrays are
// borrowed from the caller until the next SetArgs.
// Concurrency: used by one thread at a time; a kernel may spread its rows
// over the context's worker pool, and the row functions only read the
// arguments and write disjoint destination rows.
class CvtColorImpl : public OpImpl {
 public:
  CvtColorImpl(Context* ctx, const TargetInfo& target);

  // Checks the type, the number of planes, their validity and element types;
  // on success keeps the lists and the type. The subclasses add their own
  // checks.
  virtual Status SetArgs(const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type);

  // "op(CvtColor) target(<target>) param(m_type: <type name>)\n"
  std::string ToString() const override;
  std::vector<Array*> GetSrcArrays() const override { return m_src; }
  std::vector<Array*> GetDstArrays() const override { return m_dst; }
  CvtColorType GetType() const { return m_type; }

 protected:
  void DumpParams(JsonWriter& writer) const override;

  // "src must be mat type" / "dst must be mat type" for the first array that
  // is not a Mat, else null.
  const char* CheckMats() const;

  // Geometry checks of each kernel family: fill args and return null, or
  // return the text to record.
  const char* PrepareBgr2Bgra(cvtcolor::ReorderArgs* args) const;
  const char* PrepareGray2Bgr(cvtcolor::GrayToBgrArgs* args) const;
  const char* PrepareBgr2Gray(cvtcolor::GrayArgs* args) const;
  const char* PrepareNv2Rgb(cvtcolor::YuvToRgbArgs* args) const;
  const char* PrepareY4202Rgb(cvtcolor::YuvToRgbArgs* args) const;
  const char* PrepareY4222Rgb(cvtcolor::Yuv422ToRgbArgs* args) const;
  const char* PrepareY4442Rgb(cvtcolor::YuvToRgbArgs* args) const;
  const char* PrepareRgb2Nv(cvtcolor::RgbToYuvArgs* args) const;
  const char* PrepareRgb2Y420(cvtcolor::RgbToYuvArgs* args) const;
  const char* PrepareRgb2Y444(cvtcolor::RgbToYuvArgs* args) const;
  const char* PrepareRgb2NvP010(cvtcolor::RgbToP010Args* args) const;
  // Checks common to both element types; *elem_type gets the source's.
  const char* PrepareBayer(ElemType* elem_type) const;
  template <typename T>
  cvtcolor::BayerArgs<T> BayerArgsOf() const;
  // Number of row pairs a Bayer kernel interpolates.
  int BayerRowPairs() const { return (m_src[0]->Height() - 2) / 2; }
  // Repeats the second row into the first and the last but one into the last.
  void CopyBayerEdgeRows() const;

  // Runs fn over [0, count): directly, or spread over the context's worker
  // pool when parallel ("GetWorkerpool failed" without one).
  template <class Args>
  Status RunRows(bool parallel, int count, Status (*fn)(const Args&, int, int), const Args& args) const;

  std::vector<Array*> m_src;
  std::vector<Array*> m_dst;
  CvtColorType m_type = CVTCOLOR_INVALID;

 private:
  Status CheckArrayNum(const CvtColorTypeInfo& info, const std::vector<Array*>& src,
                       const std::vector<Array*>& dst) const;
  Status CheckArrayElemType(const CvtColorTypeInfo& info, const std::vector<Array*>& src,
                            const std::vector<Array*>& dst) const;
};

template <typename T>
cvtcolor::BayerArgs<T> CvtColorImpl::BayerArgsOf() const {
  cvtcolor::BayerArgs<T> args;
  args.src = m_src[0]->Ptr<const T>();
  args.src_pitch = m_src[0]->RowPitch();
  args.dst = m_dst[0]->Ptr<T>();
  args.dst_pitch = m_dst[0]->RowPitch();
  args.width = m_src[0]->Width();
  args.swap = m_type == BAYERBG2BGR || m_type == BAYERGR2BGR;
  args.parity = m_type == BAYERBG2BGR || m_type == BAYERRG2BGR;
  return args;
}

template <class Args>
Status CvtColorImpl::RunRows(bool parallel, int count, Status (*fn)(const Args&, int, int), const Args& args) const {
  if (count <= 0) return kStatusOk;
  if (!parallel) return fn(args, 0, count);
  const std::shared_ptr<WorkerPool> pool = m_ctx->GetWorkerpool();
  if (pool == nullptr) {
    KILN_RECORD(m_ctx, "GetWorkerpool failed");
    return kStatusFail;
  }
  return pool->ParallelFor(0, count, fn, args);
}

// The operator: picks CvtColorNone or CvtColorNeon for the target and hands
// them the arguments. Usually built on the stack by ICvtColor.
// Concurrency: an op is used by one thread at a time.
class CvtColor : public Op {
 public:
  CvtColor(Context* ctx, const TargetInfo& target) : Op(ctx, target) {}

  // Empty lists record "src/dst size is zero"; the target resolves from the
  // width of the first source.
  Status SetArgs(const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type);
};

}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_CVTCOLOR_H_
