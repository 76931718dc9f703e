// kiln::CvtColorNeon: CvtColor with the NEON kernels.
#ifndef KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_H_
#define KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_H_

#include <vector>

#include "kiln/ops/cvtcolor/cvtcolor.h"

namespace kiln {

// Runs the NEON row kernels, always spread over the context's worker pool
// (the calling thread takes part). Owned by its kiln::CvtColor op (shared).
// Concurrency: as CvtColorImpl.
class CvtColorNeon : public CvtColorImpl {
 public:
  CvtColorNeon(Context* ctx, const TargetInfo& target) : CvtColorImpl(ctx, target) {}

  Status SetArgs(const std::vector<Array*>& src, const std::vector<Array*>& dst, CvtColorType type) override;
  Status Run() override;

 private:
  Status CvtBgr2BgraNeon();
  Status CvtGray2BgrNeon();
  Status CvtBgr2GrayNeon();
  Status CvtNv2RgbNeon();
  Status CvtY4202RgbNeon();
  Status CvtY4222RgbNeon();
  Status CvtY4442RgbNeon();
  Status CvtRgb2NvNeon();
  Status CvtRgb2Y420Neon();
  Status CvtRgb2Y444Neon();
  Status CvtRgb2NvP010Neon();
  Status CvtBayer2BgrNeon();
};

}  // namespace kiln

#endif  // KILN_OPS_CVTCOLOR_HOST_NEON_CVTCOLOR_NEON_H_
