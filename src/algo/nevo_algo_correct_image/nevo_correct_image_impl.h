// Inside the EV0 correction: its parameters, configuration, working images
// and the steps and row kernels NevoCorrectImage is built from.
#ifndef NEVO_ALGO_CORRECT_IMAGE_NEVO_CORRECT_IMAGE_IMPL_H_
#define NEVO_ALGO_CORRECT_IMAGE_NEVO_CORRECT_IMAGE_IMPL_H_

#include <cstdint>

#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"
#include "kiln/runtime/context/status.h"
#include "nevo/nevo.h"

constexpr const char* kCorrectImageTag = "NEVO_BYPASS";
constexpr const char* kCorrectImageConfigPath = "/odm/etc/camera/nevo_correct_image.json";

// Top of the 14-bit range the process RAW is normalised to.
constexpr int32_t kCorrectWhite14 = 16383;

// What one correction needs from the records. Plain value, built by
// NevoCorrectImage on its stack. Per-cell arrays are in raster order of the
// 2 x 2 Bayer cell.
struct CorrectImageParam {
  int32_t in_width = 0;
  int32_t in_height = 0;
  int32_t out_width = 0;
  int32_t out_height = 0;
  float isp_gain = 1.0f;
  float adrc_gain = 1.0f;
  float ev_offset = 0.0f;
  int32_t white_level[4] = {};
  int32_t black_level[4] = {};
  int32_t quad_bin = 0;
  int32_t raw_type = 0;
  float lsc[4][NEVO_LSC_ROWS][NEVO_LSC_COLS] = {};
  float wb_gain[4] = {};
  int32_t roi[4] = {};  // x0, y0, x1, y1
};

// Built from the correction JSON file on every call. Plain value; the
// defaults are those of a missing file entry.
struct CorrectImageConfig {
  int32_t output_fmt = 1;  // 0 RAW, 1 RGB, 2 YUV
  int32_t output_xdr_enable = 1;
  int32_t output_ur_enable = 1;
  int32_t blc_enable = 1;
  int32_t lsc_enable = 1;
  int32_t dgain_enable = 1;
  int32_t dgain_apply_adrc = 1;
  int32_t dgain_apply_ev_offset = 1;
  int32_t output_xdr_fmt = 0;
  int32_t output_ur_fmt = 0;
};

// The caller's output images and the ratio reported in
// xdr_linear_raw_ratio. Owned by NevoCorrectImage; the Mats wrap host
// buffers. mat[1] is empty when no second output was asked for.
struct CorrectImageOutput {
  kiln::Mat mat[2];
  float linear_raw_ratio = 0.0f;
};

// Working state handed from step to step. Owned by NevoCorrectImageImpl for
// one call; raw and bgr are the current RAW and 3-channel U16 results (bgr
// may be output mat 0 itself, written in place).
struct CorrectImageWork {
  CorrectImageConfig config;
  bool need_xdr = false;
  bool need_ur = false;
  bool need_second = false;
  int32_t process_width = 0;
  int32_t process_height = 0;
  float dgain = 1.0f;
  float black[4] = {};
  float white[4] = {};
  // Only the RGB output without a second output reads the demosaiced image:
  // it then stays in the demosaic's RGB order, saving two channel swaps.
  bool rgb_order = false;
  kiln::Mat raw;
  kiln::Mat bgr;  // BGR, or RGB with rgb_order
};

// The parameters of one correction from the capture's records (the anchor
// frame, output image 0, start and init parameters).
CorrectImageParam MakeCorrectImageParam(const NevoFrame& anchor, const NevoOutput& output,
                                        const NevoStartParam& start_param, const NevoInitParam& init_param);

// Steps 2-5 of the correction: what to output, the process size, the
// digital gain and the black and white levels, from param and config.
void InitCorrectImageWork(const CorrectImageParam& param, const CorrectImageConfig& config, bool xdr_requested,
                          bool ur_requested, CorrectImageWork* work);

// Full correction of input (1-channel U16 RAW of in_width x in_height) into
// output. 0, 1002300, or 1001001 for an invalid roi.
int NevoCorrectImageImpl(kiln::Context* ctx, const kiln::Mat& input, CorrectImageOutput* output,
                         const CorrectImageParam& param, uint32_t algo_type, int crop_by_library,
                         bool xdr_requested, bool ur_requested);

// Reads the object of algo_type from the correction JSON file into config
// (defaults for everything missing). The loader's code when the file cannot
// be read.
int GetCorrectImageConfig(kiln::Context* ctx, uint32_t algo_type, CorrectImageConfig* config);

// Black level, lens shading, digital gain and 14-bit normalisation of input
// into work->raw at the process size (quad-bin cells merged).
int GetProcessRawU16(kiln::Context* ctx, const kiln::Mat& input, const CorrectImageParam& param,
                     CorrectImageWork* work);

// Demosaic (and, for quad-bin, upscale and re-mosaic) into work->raw and
// work->bgr as the output format needs.
int GetOutputRawAndBGR(kiln::Context* ctx, const CorrectImageParam& param, CorrectImageOutput* output,
                       CorrectImageWork* work);

// Crop of the zoom field of view and upscale to output 0's size when the
// library crops (crop_by_library 1); otherwise the results stay as they are.
int GetCropUpscaleOutput(kiln::Context* ctx, const CorrectImageParam& param, int crop_by_library,
                         CorrectImageOutput* output, CorrectImageWork* work);

// Scales each channel of the 3-channel 14-bit image by the gain of its Bayer
// colour, saturating at 16383.
int ApplyWhiteBalance(kiln::Context* ctx, const kiln::Mat& bgr, int32_t raw_type, const float wb_gain[4]);

// The RGB output's last steps in one pass over the 14-bit RGB image (the
// demosaic's order): white balance and x4 to 16 bits; the same values as
// white balance in BGR, swap and x4.
int FinishRgb16(kiln::Context* ctx, const kiln::Mat& rgb, int32_t raw_type, const float wb_gain[4]);

// Writes raw(y, x) = bgr(y, x)[T[cell]] with the channel table of raw_type.
// Both images must have the same height and width.
void RemosaicBgrToRaw(const kiln::Mat& bgr, const kiln::Mat& raw, int32_t raw_type);

// One row of the 14-bit normalisation: out[x] = (in[x] - black[x]) * dgain *
// shade / range[x], clamped to [0, 1] and scaled to 14 bits, where shade
// interpolates upper[x] and lower[x] by fy.
void NormaliseRowNeon(const uint16_t* in, const float* upper, const float* lower, float fy, const float* black,
                      const float* range, float dgain, int width, uint16_t* out);

// Entries of a white-balance table: one per 16-bit value.
constexpr int kWhiteBalanceTableSize = 65536;

// table[v] = min(max(gain * v / 16383, 0), 1) * 16383 rounded to nearest
// even (NaN gain: 0), times 4 with scale4, for every 16-bit v. A lookup is
// cheaper than the division per value, on both targets.
void WhiteBalanceTableNeon(float gain, bool scale4, uint16_t* table);

// Swaps channels 0 and 2 of every pixel of rows [row_begin, row_end) of the
// 3-channel U16 src into dst (src may be dst).
kiln::Status CvtBgr2RgbNeonImpl(kiln::Context* ctx, const kiln::Mat& src, const kiln::Mat& dst, int row_begin,
                                int row_end);

// BT.601 studio-swing RGB to YUV of rows [row_begin, row_end) of the
// 3-channel U16 src into dst (src may be dst), in 12-bit fixed point.
kiln::Status CvtRgb2YuvImpl(const kiln::Mat& src, const kiln::Mat& dst, int row_begin, int row_end);

#endif  // NEVO_ALGO_CORRECT_IMAGE_NEVO_CORRECT_IMAGE_IMPL_H_
