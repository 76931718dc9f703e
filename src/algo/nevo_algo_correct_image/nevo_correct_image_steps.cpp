// The image steps of the correction that run kiln operators: demosaic,
// quad-bin upscale and re-mosaic, crop and upscale of the zoom field of view.
#include <cstdint>

#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"
#include "kiln/ops/cvtcolor/cvtcolor.h"
#include "kiln/ops/resize/resize.h"
#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/memory/buffer.h"
#include "nevo_utils/nevo_log.h"

namespace {

constexpr int kFail = NEVO_ERR_FAILED;
constexpr int kRoiError = 1001001;

const kiln::TargetInfo kNeon(kiln::kTargetNeon, false);

// The kiln demosaic code whose output, after the channel swap, is BGR.
kiln::CvtColorType BayerCode(int32_t raw_type) {
  switch (raw_type) {
    case NEVO_PATTERN_RGGB:
      return kiln::BAYERRG2BGR;
    case NEVO_PATTERN_GRBG:
      return kiln::BAYERGR2BGR;
    case NEVO_PATTERN_BGGR:
      return kiln::BAYERBG2BGR;
    default:
      return kiln::BAYERGB2BGR;
  }
}

bool SharesPixels(const kiln::Mat& a, const kiln::Mat& b) {
  return a.IsValid() && b.IsValid() && a.GetBuffer().data == b.GetBuffer().data;
}

// Output mat 0 itself when it is a U16 image of exactly these sizes and does
// not hold the pixels the new image will be made from; otherwise a new heap
// image. Writing the output in place saves the final copy.
kiln::Mat OutputOrNew(kiln::Context* ctx, const kiln::Mat& out0, const kiln::Sizes& sizes, const kiln::Mat& from) {
  if (out0.IsValid() && out0.GetElemType() == kiln::QX_U16 && out0.Height() == sizes.h &&
      out0.Width() == sizes.w && out0.Channels() == sizes.c && !SharesPixels(out0, from)) {
    return out0;
  }
  return kiln::Mat(ctx, kiln::QX_U16, sizes, kiln::KILN_MEM_HEAP);
}

int SwapChannels(kiln::Context* ctx, const kiln::Mat& image) {
  if (ctx->GetWorkerpool()->ParallelFor(0, image.Height(), CvtBgr2RgbNeonImpl, ctx, image, image) != 0) {
    KILN_RECORD(ctx, "ParallelFor run failed");
    return kFail;
  }
  return 0;
}

// raw -> 3-channel BGR (RGB with keep_rgb) in bgr (already created at raw's
// size).
int Demosaic(kiln::Context* ctx, const kiln::Mat& raw, kiln::Mat& bgr, int32_t raw_type, bool keep_rgb = false) {
  kiln::Mat source = raw;  // the operator takes non-const arrays; this copy shares the pixels
  if (kiln::ICvtColor(ctx, {&source}, {&bgr}, BayerCode(raw_type), kNeon) != 0) {
    KILN_RECORD(ctx, "ICvtColor fail...");
    return kFail;
  }
  return keep_rgb ? 0 : SwapChannels(ctx, bgr);
}

int Resize(kiln::Context* ctx, const kiln::Mat& src, kiln::Mat& dst) {
  kiln::Mat source = src;
  if (kiln::IResize(ctx, &source, &dst, kiln::kInterpLinear, kNeon) != 0) {
    KILN_RECORD(ctx, "IResize fail...");
    return kFail;
  }
  return 0;
}

// The field of view [x0, x1) x [y0, y1) of bgr resized into *result (output
// 0 itself where it can be).
int CropAndResize(kiln::Context* ctx, const kiln::Mat& bgr, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                  const kiln::Sizes& sizes, const kiln::Mat& out0, kiln::Mat* result) {
  // A view of the field of view inside bgr: no pixels are copied.
  const kiln::Mat bgr_crop_u16_temp(ctx, kiln::QX_U16, {y1 - y0, x1 - x0, 3}, bgr.Ptr<uint16_t>(y0) + 3 * x0,
                                    {0, bgr.RowPitch()}, bgr.GetFd());
  if (!bgr_crop_u16_temp.IsValid()) {
    KILN_RECORD(ctx, "bgr_crop_u16_temp is invalid.");
    return kFail;
  }
  *result = OutputOrNew(ctx, out0, sizes, bgr);
  if (!result->IsValid()) {
    KILN_RECORD(ctx, "Create output_bgr_crop_u16 failed.");
    return kFail;
  }
  return Resize(ctx, bgr_crop_u16_temp, *result);
}

}  // namespace

int GetOutputRawAndBGR(kiln::Context* ctx, const CorrectImageParam& param, CorrectImageOutput* output,
                       CorrectImageWork* work) {
  const CorrectImageConfig& config = work->config;
  const bool quad = param.quad_bin == 1;
  if (!quad && config.output_fmt != 1 && config.output_fmt != 2) return 0;  // RAW only

  const kiln::Mat& out0 = output->mat[0];
  kiln::Mat process_bgr = OutputOrNew(ctx, out0, {work->process_height, work->process_width, 3}, work->raw);
  if (!process_bgr.IsValid()) {
    KILN_RECORD(ctx, "Create process_bgr_u16 failed.");
    return kFail;
  }
  int ret = Demosaic(ctx, work->raw, process_bgr, param.raw_type, work->rgb_order);
  if (ret != 0) return ret;
  if (!quad) {
    work->bgr = process_bgr;
    return 0;
  }

  kiln::Mat output_bgr = OutputOrNew(ctx, out0, {2 * work->process_height, 2 * work->process_width, 3}, process_bgr);
  if (!output_bgr.IsValid()) {
    KILN_RECORD(ctx, "Create output_bgr_u16 failed.");
    return kFail;
  }
  ret = Resize(ctx, process_bgr, output_bgr);
  if (ret != 0) return ret;
  work->bgr = output_bgr;
  if (config.output_fmt == 0 || work->need_second) {
    kiln::Mat output_raw(ctx, kiln::QX_U16, {param.in_height, param.in_width, 1}, kiln::KILN_MEM_HEAP);
    if (!output_raw.IsValid()) {
      KILN_RECORD(ctx, "Create output_raw_u16 failed.");
      return kFail;
    }
    // An input size that is not a multiple of 2 upscales to one pixel less.
    if (output_raw.Height() != output_bgr.Height() || output_raw.Width() != output_bgr.Width()) {
      KILN_RECORD(ctx, "output_raw_u16 %dx%d differs from the upscaled image %dx%d.", output_raw.Width(),
                  output_raw.Height(), output_bgr.Width(), output_bgr.Height());
      return kFail;
    }
    RemosaicBgrToRaw(output_bgr, output_raw, param.raw_type);
    work->raw = output_raw;
  }
  return 0;
}

int GetCropUpscaleOutput(kiln::Context* ctx, const CorrectImageParam& param, int crop_by_library,
                         CorrectImageOutput* output, CorrectImageWork* work) {
  if (crop_by_library != 1) return 0;
  const CorrectImageConfig& config = work->config;
  const int32_t final_w = param.out_width;
  const int32_t final_h = param.out_height;

  if (config.output_fmt == 0) {
    kiln::Mat bgr(ctx, kiln::QX_U16, {work->raw.Height(), work->raw.Width(), 3}, kiln::KILN_MEM_HEAP);
    if (!bgr.IsValid()) {
      KILN_RECORD(ctx, "Create output_bgr_u16 failed.");
      return kFail;
    }
    const int ret = Demosaic(ctx, work->raw, bgr, param.raw_type);
    if (ret != 0) return ret;
    work->bgr = bgr;
  }

  const kiln::Mat& bgr = work->bgr;
  const int32_t x0 = param.roi[0], y0 = param.roi[1], x1 = param.roi[2], y1 = param.roi[3];
  if (!(x1 > x0 && y1 > y0 && x1 <= bgr.Width() && y1 <= bgr.Height() && x0 >= 0 && y0 >= 0)) {
    NEVO_LOGI(kCorrectImageTag, "roi info error :  x0 %d y0 %d x1 %d y1 %d\n", x0, y0, x1, y1);
    KILN_RECORD(ctx, "roi info error...");
    return kRoiError;
  }
  const bool whole_image =
      x0 == 0 && y0 == 0 && x1 == bgr.Width() && y1 == bgr.Height() && final_w == x1 && final_h == y1;
  kiln::Mat output_bgr_crop = bgr;  // an equal-size resize is a plain copy
  if (!whole_image) {
    const int ret = CropAndResize(ctx, bgr, x0, y0, x1, y1, {final_h, final_w, 3}, output->mat[0], &output_bgr_crop);
    if (ret != 0) return ret;
  }
  work->bgr = output_bgr_crop;

  if (config.output_fmt == 0 || work->need_second) {
    kiln::Mat output_raw_crop(ctx, kiln::QX_U16, {final_h, final_w, 1}, kiln::KILN_MEM_HEAP);
    if (!output_raw_crop.IsValid()) {
      KILN_RECORD(ctx, "Create output_raw_crop_u16 failed.");
      return kFail;
    }
    RemosaicBgrToRaw(output_bgr_crop, output_raw_crop, param.raw_type);
    work->raw = output_raw_crop;
  }
  return 0;
}
