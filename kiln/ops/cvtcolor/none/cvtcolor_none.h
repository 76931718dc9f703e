// kiln::CvtColorNone: CvtColor with the plain kernels.
#ifndef KILN_OPS_CVTCOLOR_NONE_CVTCOLOR_NONE_H_
#define KILN_OPS_CVTCOLOR_NONE_CVTCOLOR_NONE_H_

#include <vector>

#include "kiln/ops/cvtcolor/cvtcolor.h"

namespace kiln {

// Runs the plain row kernels on the calling thread, or over the worker pool
// when the target's flag is set. Owned by its kiln::CvtColor op (shared).
// Concurrency: as CvtColorImpl.
class CvtColorNone : public CvtColorImpl {
 public:
  CvtColorNone(Context* ctx, const TargetInfo& target) : CvtColorImpl(ctx, target) {}

  Status SetArgs(const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type) override;
  Status Run() override;

 private:
  Status CvtBgr2BgraNone();
  Status CvtGray2BgrNone();
  Status CvtBgr2GrayNone();
  Status CvtNv2RgbNone();
  Status CvtY4202RgbNone();
  Status CvtY4222RgbNone();
  Status CvtY4442RgbNone();
  Status CvtRgb2NvNone();
  Status CvtRgb2Y420None();
  Status CvtRgb2Y444None();
  Status CvtRgb2NvP010None();
  Status CvtBayer2BgrNone();

  bool Parallel() const { return m_target.flag; }
};

}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_NONE_CVTCOLOR_NONE_H_
