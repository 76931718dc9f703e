// The EV0 fallback entry points: full correction, plain conversion, and the
// black-image test, with the correction's top-level sequence.
#include "algo/nevo_algo_correct_image/nevo_correct_image.h"

#include <chrono>

#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"
#include "kiln/ops/matrix/convert_to.h"
#include "kiln/ops/matrix/min_max_loc.h"
#include "kiln/runtime/context/logger.h"
#include "nevo_utils/nevo_image.h"
#include "nevo_utils/nevo_log.h"

namespace {

constexpr int kFail = NEVO_ERR_FAILED;
constexpr int kCameraModeUltraRaw = 6;
constexpr int kForceAlgoMax = 24;

// 14-bit to 16-bit scale of the RGB output.
constexpr float kRgbOutputScale = 4.0f;
// xdr_linear_raw_ratio reported with an ultra-RAW or an XDR second output.
constexpr float kRatioUltraRaw = 16.0f;
constexpr float kRatioXdr = 1.0f;

const kiln::TargetInfo kNeon(kiln::kTargetNeon, false);

// The algorithm the engine runs for these init parameters.
uint32_t EffectiveAlgoType(const NevoInitParam& init_param) {
  if (init_param.force_algo >= 1 && init_param.force_algo <= kForceAlgoMax) {
    return static_cast<uint32_t>(init_param.force_algo);
  }
  return static_cast<uint32_t>(init_param.ae.algo_type);
}

int CopyToOutput(kiln::Context* ctx, const kiln::Mat& image, CorrectImageOutput* output, int index) {
  if (image.CopyTo(output->mat[index]) != 0) {
    KILN_RECORD(ctx, "Copy into output mat %d failed.", index);
    return kFail;
  }
  return 0;
}

// The RAW second output of the RAW and YUV formats and its ratio.
int WriteSecondRaw(kiln::Context* ctx, const CorrectImageWork& work, CorrectImageOutput* output) {
  output->linear_raw_ratio = 0.0f;
  if (!work.need_second) return 0;
  const int ret = CopyToOutput(ctx, work.raw, output, 1);
  if (ret == 0) output->linear_raw_ratio = work.need_ur ? kRatioUltraRaw : kRatioXdr;
  return ret;
}

// White balance, then the output format's conversion and the copies into
// the outputs.
int WriteOutputs(kiln::Context* ctx, const CorrectImageWork& work, const CorrectImageParam& param,
                 CorrectImageOutput* output) {
  const CorrectImageConfig& config = work.config;
  const kiln::Mat& bgr = work.bgr;
  const auto wp = ctx->GetWorkerpool();
  if (work.rgb_order) {
    const int ret = FinishRgb16(ctx, bgr, param.raw_type, param.wb_gain);
    return ret != 0 ? ret : CopyToOutput(ctx, bgr, output, 0);
  }
  if (config.output_fmt == 1) {
    int ret = ApplyWhiteBalance(ctx, bgr, param.raw_type, param.wb_gain);
    if (ret != 0) return ret;
    if (wp->ParallelFor(0, bgr.Height(), CvtBgr2RgbNeonImpl, ctx, bgr, bgr) != 0) {
      KILN_RECORD(ctx, "ParallelFor run failed");
      return kFail;
    }
    output->linear_raw_ratio = 0.0f;
    if (work.need_second) {
      const int selected = work.need_ur ? config.output_ur_fmt : config.output_xdr_fmt;
      ret = CopyToOutput(ctx, selected != 0 ? bgr : work.raw, output, 1);
      if (ret != 0) return ret;
      output->linear_raw_ratio = kRatioUltraRaw;
    }
    kiln::Mat source = bgr;
    if (kiln::IMultiply(ctx, &source, &source, kNeon, kRgbOutputScale) != 0) {
      KILN_RECORD(ctx, "IMultiply fail...");
      return kFail;
    }
    return CopyToOutput(ctx, bgr, output, 0);
  }
  if (config.output_fmt == 2) {
    if (ApplyWhiteBalance(ctx, bgr, param.raw_type, param.wb_gain) != 0) return kFail;
    if (wp->ParallelFor(0, bgr.Height(), CvtRgb2YuvImpl, bgr, bgr) != 0) {
      KILN_RECORD(ctx, "ParallelFor run failed");
      return kFail;
    }
    const int ret = CopyToOutput(ctx, bgr, output, 0);
    return ret != 0 ? ret : WriteSecondRaw(ctx, work, output);
  }
  const int ret = CopyToOutput(ctx, work.raw, output, 0);
  return ret != 0 ? ret : WriteSecondRaw(ctx, work, output);
}

}  // namespace

int NevoCorrectImageImpl(kiln::Context* ctx, const kiln::Mat& input, CorrectImageOutput* output,
                         const CorrectImageParam& param, uint32_t algo_type, int crop_by_library,
                         bool xdr_requested, bool ur_requested) {
  if (ctx->GetWorkerpool() == nullptr) {
    KILN_RECORD(ctx, "GetWorkerPool failed");
    return kFail;
  }
  CorrectImageConfig config;
  int ret = GetCorrectImageConfig(ctx, algo_type, &config);
  if (ret != 0) return ret;
  // Other formats would take the YUV output path without a 3-channel image.
  if (config.output_fmt < 0 || config.output_fmt > 2) {
    KILN_RECORD(ctx, "output_fmt %d not support.", config.output_fmt);
    return kFail;
  }
  CorrectImageWork work;
  InitCorrectImageWork(param, config, xdr_requested, ur_requested, &work);
  // An invalid destination would make the final copy allocate a new image
  // instead of writing the caller's buffer.
  if (!output->mat[0].IsValid() || (work.need_second && !output->mat[1].IsValid())) {
    KILN_RECORD(ctx, "output mat %d is invalid.", output->mat[0].IsValid() ? 1 : 0);
    return kFail;
  }

  ret = GetProcessRawU16(ctx, input, param, &work);
  if (ret != 0) {
    KILN_RECORD(ctx, "GetProcessRawU16 fail...");
    return ret;
  }
  ret = GetOutputRawAndBGR(ctx, param, output, &work);
  if (ret != 0) {
    KILN_RECORD(ctx, "GetOutputRawAndBGR fail...");
    return ret;
  }
  ret = GetCropUpscaleOutput(ctx, param, crop_by_library, output, &work);
  if (ret != 0) {
    KILN_RECORD(ctx, "GetCropUpscaleOutput fail...");
    return ret;
  }
  return WriteOutputs(ctx, work, param, output);
}

int NevoCorrectImage(kiln::Context* ctx, const NevoFrame& anchor, NevoOutput* output,
                     const NevoStartParam& start_param, const NevoInitParam& init_param, int camera_mode) {
  if (ctx == nullptr) return kFail;
  if (output == nullptr) {
    KILN_RECORD(ctx, "output is null");
    return kFail;
  }
  const CorrectImageParam param = MakeCorrectImageParam(anchor, *output, start_param, init_param);
  const kiln::Mat input = NevoImage2Mat(ctx, anchor.img);
  CorrectImageOutput bundle;
  bundle.mat[0] = NevoImage2Mat(ctx, output->img[0]);
  if (camera_mode == kCameraModeUltraRaw) {
    bundle.mat[1] = NevoImage2Mat(ctx, output->img[1]);
  } else if (start_param.xdr_light_index >= 1) {
    bundle.mat[1] = NevoImage2Mat(ctx, output->img[2]);
  }
  const int crop_by_library = init_param.ae.is_need_crop_upscale ? 0 : 1;

  const auto begin = std::chrono::steady_clock::now();
  const int ret = NevoCorrectImageImpl(ctx, input, &bundle, param, EffectiveAlgoType(init_param), crop_by_library,
                                       start_param.xdr_light_index > 0, camera_mode == kCameraModeUltraRaw);
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin);
  if (ret != 0) NEVO_LOGE(kCorrectImageTag, "NevoCorrectImageImpl fail, return=%d\n", ret);
  NEVO_LOGI(kCorrectImageTag, "NevoCorrectImageImpl cost time %s\n", NevoElapsedText(elapsed).c_str());
  output->xdr_linear_raw_ratio = bundle.linear_raw_ratio;
  return ret;
}

int NevoConvertOnly(kiln::Context* ctx, const NevoFrame& anchor, NevoOutput* output,
                    const NevoStartParam& start_param, const NevoInitParam& /*init_param*/, int camera_mode) {
  if (ctx == nullptr) {
    NEVO_LOGE(kCorrectImageTag, "ctx is null\n");
    return kFail;
  }
  if (output == nullptr) {
    NEVO_LOGE(kCorrectImageTag, "output is null\n");
    return kFail;
  }
  int ret = 0;
  if (output->img[0].format == NEVO_FORMAT_RGB) {
    ret = NevoBayerToRGB16(ctx, &anchor.img, &output->img[0], anchor.burst_info.wb_gain);
    if (ret != 0) {
      KILN_RECORD(ctx, "NevoBayerToRGB16 fail, return=%d", ret);
      return ret;
    }
  } else {
    ret = NevoCopyImage(ctx, &anchor.img, &output->img[0]);
    if (ret != 0) {
      KILN_RECORD(ctx, "NevoCopyImage fail, return=%d", ret);
      return ret;
    }
  }
  if (camera_mode == kCameraModeUltraRaw) {
    ret = NevoCopyImage(ctx, &anchor.img, &output->img[1]);
    if (ret != 0) {
      KILN_RECORD(ctx, "NevoCopyImage fail, return=%d", ret);
      return ret;
    }
  }
  if (start_param.xdr_light_index >= 1) {
    ret = NevoCopyImage(ctx, &anchor.img, &output->img[2]);
    if (ret != 0) {
      KILN_RECORD(ctx, "NevoCopyImage fail, return=%d", ret);
      return ret;
    }
  }
  return 0;
}

bool NevoIsBlackImage(kiln::Context* ctx, const NevoImage& img) {
  if (ctx == nullptr) return false;
  const kiln::Mat image = NevoImage2Mat(ctx, img);
  double min_value = 0.0;
  double max_value = 0.0;
  kiln::Point3i min_loc;
  kiln::Point3i max_loc;
  if (kiln::IMinMaxLoc(ctx, &image, &min_value, &max_value, &min_loc, &max_loc, kNeon) != 0) {
    KILN_RECORD(ctx, "IMinMaxLoc fail...");
    return false;
  }
  return max_value == 0.0;
}
