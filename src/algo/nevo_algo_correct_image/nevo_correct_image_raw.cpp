// The per-pixel RAW work of the correction: black level, lens shading,
// digital gain and normalisation; white balance; re-mosaic of a 3-channel
// image. The per-row loops run through the worker pool's ParallelFor.
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"
#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/memory/buffer.h"

namespace {

constexpr int kFail = NEVO_ERR_FAILED;
constexpr int kGridRows = NEVO_LSC_ROWS;
constexpr int kGridCols = NEVO_LSC_COLS;

// x in [0, 1] scaled to 14 bits, rounded to nearest with ties to even. Adding
// and removing 2^23 leaves exactly the rounded integer (the default rounding
// mode is round-to-nearest-even), and unlike rintf it vectorises without
// SSE4.1.
inline uint16_t Round14(float x) {
  const float scaled = x * static_cast<float>(kCorrectWhite14);
  return static_cast<uint16_t>((scaled + 8388608.0f) - 8388608.0f);
}

// Clamp to [0, 1]; NaN (a NaN gain or table entry) becomes 0.
inline float Clamp01(float x) {
  const float low = x > 0.0f ? x : 0.0f;
  return low < 1.0f ? low : 1.0f;
}

// Where a grid step lands: the left (or upper) node and the fraction towards
// the next. The last node is never a left node, so the far edge of an odd
// image reads node n - 2 with fraction 1 instead of node n - 1 and beyond.
struct GridPos {
  int index;
  float frac;
};

GridPos GridPosition(float step, int half_index, int nodes) {
  const float g = step * static_cast<float>(half_index);
  int i = static_cast<int>(g);
  float f = g - static_cast<float>(i);
  if (i >= nodes - 1) {
    i = nodes - 2;
    f = 1.0f;
  }
  return {i, f};
}

// (k2, k1, k0): the wb_gain cell multiplying channels 2, 1 and 0 of the BGR
// image for each Bayer pattern.
void WhiteBalanceCells(int32_t raw_type, int cells[3]) {
  switch (raw_type) {
    case NEVO_PATTERN_RGGB:
      cells[2] = 0, cells[1] = 1, cells[0] = 3;
      break;
    case NEVO_PATTERN_GRBG:
      cells[2] = 1, cells[1] = 0, cells[0] = 2;
      break;
    case NEVO_PATTERN_BGGR:
      cells[2] = 3, cells[1] = 1, cells[0] = 0;
      break;
    default:
      cells[2] = 2, cells[1] = 0, cells[0] = 1;
      break;
  }
}

// T: the BGR channel holding the colour of each Bayer cell position.
void RemosaicChannels(int32_t raw_type, int table[4]) {
  static constexpr int kTables[4][4] = {{2, 1, 1, 0}, {1, 2, 0, 1}, {0, 1, 1, 2}, {1, 0, 2, 1}};
  const int row = raw_type >= 0 && raw_type <= 2 ? raw_type : 3;
  for (int k = 0; k < 4; ++k) table[k] = kTables[row][k];
}

bool IsU16(const kiln::Mat& m, int channels) {
  return m.IsValid() && m.GetElemType() == kiln::QX_U16 && m.Channels() == channels;
}

}  // namespace

void InitCorrectImageWork(const CorrectImageParam& param, const CorrectImageConfig& config, bool xdr_requested,
                          bool ur_requested, CorrectImageWork* work) {
  work->config = config;
  work->need_xdr = xdr_requested && config.output_xdr_enable == 1;
  work->need_ur = ur_requested && config.output_ur_enable == 1;
  work->need_second = work->need_xdr || work->need_ur;
  work->rgb_order = config.output_fmt == 1 && !work->need_second;
  const bool quad = param.quad_bin == 1;
  work->process_width = quad ? param.in_width / 2 : param.in_width;
  work->process_height = quad ? param.in_height / 2 : param.in_height;
  work->dgain = 1.0f;
  if (config.dgain_enable == 1) {
    const float adrc = config.dgain_apply_adrc == 1 ? param.adrc_gain : 1.0f;
    const float ev = config.dgain_apply_ev_offset == 1 ? std::exp2(param.ev_offset) : 1.0f;
    work->dgain = param.isp_gain * adrc * ev;
  }
  for (int c = 0; c < 4; ++c) {
    work->black[c] = config.blc_enable == 1 ? static_cast<float>(param.black_level[c]) : 0.0f;
    work->white[c] = static_cast<float>(param.white_level[c]);
  }
}

int GetProcessRawU16(kiln::Context* ctx, const kiln::Mat& input, const CorrectImageParam& param,
                     CorrectImageWork* work) {
  const int32_t pw = work->process_width;
  const int32_t ph = work->process_height;
  const int scale = param.quad_bin == 1 ? 2 : 1;
  if (!IsU16(input, 1)) {
    KILN_RECORD(ctx, "input mat must be a valid 1-channel U16 image.");
    return kFail;
  }
  // The grid steps divide by half the process size, and every read below
  // must stay inside the input.
  if (pw < 2 || ph < 2 || input.Width() != param.in_width || input.Height() != param.in_height ||
      pw * scale > input.Width() || ph * scale > input.Height()) {
    KILN_RECORD(ctx, "input size %dx%d does not fit the process size %dx%d (start size %dx%d).", input.Width(),
                input.Height(), pw, ph, param.in_width, param.in_height);
    return kFail;
  }
  for (int c = 0; c < 4; ++c) {
    if (!(work->white[c] > work->black[c])) {
      KILN_RECORD(ctx, "white level %.0f must be above black level %.0f (cell %d).", work->white[c],
                  work->black[c], c);
      return kFail;
    }
  }

  // Disabled shading is a flat 1.0, so the loop below has one form.
  const float e = work->config.lsc_enable == 1 ? 1.0f : 0.0f;
  kiln::Mat grids[4];
  for (int c = 0; c < 4; ++c) {
    grids[c] = kiln::Mat(ctx, kiln::QX_F32, {kGridRows, kGridCols, 1}, kiln::KILN_MEM_HEAP);
    if (!grids[c].IsValid()) {
      KILN_RECORD(ctx, "Create lsc_table failed.");
      return kFail;
    }
    for (int r = 0; r < kGridRows; ++r) {
      float* row = grids[c].Ptr<float>(r);
      for (int k = 0; k < kGridCols; ++k) row[k] = (1.0f - e) + e * param.lsc[c][r][k];
    }
  }

  work->raw = kiln::Mat(ctx, kiln::QX_U16, {ph, pw, 1}, kiln::KILN_MEM_HEAP);
  if (!work->raw.IsValid()) {
    KILN_RECORD(ctx, "Create process_raw_u16 failed.");
    return kFail;
  }

  // Scratch: the grids interpolated along x for every column, one row per
  // (row parity, grid row), and per row parity the black level and range of
  // every column. The inner loop then has no per-pixel branching.
  kiln::Mat along_x(ctx, kiln::QX_F32, {2 * kGridRows, pw, 1}, kiln::KILN_MEM_HEAP);
  kiln::Mat levels(ctx, kiln::QX_F32, {4, pw, 1}, kiln::KILN_MEM_HEAP);
  if (!along_x.IsValid() || !levels.IsValid()) {
    KILN_RECORD(ctx, "Create process_raw_u16 scratch failed.");
    return kFail;
  }
  const float sy = 12.0f / static_cast<float>(ph / 2);
  const float sx = 16.0f / static_cast<float>(pw / 2);
  for (int parity = 0; parity < 2; ++parity) {
    float* black = levels.Ptr<float>(2 * parity);
    float* range = levels.Ptr<float>(2 * parity + 1);
    for (int x = 0; x < pw; ++x) {
      const int c = 2 * parity + (x & 1);
      black[x] = work->black[c];
      range[x] = work->white[c] - work->black[c];
    }
    for (int r = 0; r < kGridRows; ++r) {
      float* out = along_x.Ptr<float>(parity * kGridRows + r);
      for (int x = 0; x < pw; ++x) {
        const float* grid = grids[2 * parity + (x & 1)].Ptr<float>(r);
        const GridPos p = GridPosition(sx, x / 2, kGridCols);
        out[x] = grid[p.index] * (1.0f - p.frac) + grid[p.index + 1] * p.frac;
      }
    }
  }

  const float dgain = work->dgain;
  const kiln::Mat& raw = work->raw;
  auto rows = [&](int row_begin, int row_end) -> kiln::Status {
    for (int y = row_begin; y < row_end; ++y) {
      const int parity = y & 1;
      const GridPos p = GridPosition(sy, y / 2, kGridRows);
      const float* upper = along_x.Ptr<float>(parity * kGridRows + p.index);
      const float* lower = along_x.Ptr<float>(parity * kGridRows + p.index + 1);
      const float fy = p.frac;
      const float* black = levels.Ptr<float>(2 * parity);
      const float* range = levels.Ptr<float>(2 * parity + 1);
      uint16_t* out = raw.Ptr<uint16_t>(y);
      if (scale == 1) {
        NormaliseRowNeon(input.Ptr<uint16_t>(y), upper, lower, fy, black, range, dgain, pw, out);
      } else {
        // Quad Bayer: each 2 x 2 block of the sensor is one colour.
        const uint16_t* in0 = input.Ptr<uint16_t>(2 * y);
        const uint16_t* in1 = input.Ptr<uint16_t>(2 * y + 1);
        for (int x = 0; x < pw; ++x) {
          const int sum = in0[2 * x] + in0[2 * x + 1] + in1[2 * x] + in1[2 * x + 1];
          const float shade = upper[x] * (1.0f - fy) + lower[x] * fy;
          const float v = 0.25f * static_cast<float>(sum) - black[x];
          out[x] = Round14(Clamp01(v * dgain * shade / range[x]));
        }
      }
    }
    return kiln::kStatusOk;
  };
  if (ctx->GetWorkerpool()->ParallelFor(0, ph, rows) != 0) {
    KILN_RECORD(ctx, "ParallelFor run failed");
    return kFail;
  }
  return 0;
}

namespace {

// White balance of every row of image through the worker pool, with the gain
// of cell cells[c] for channel c; scaled by 4 with scale4.
int WhiteBalanceRows(kiln::Context* ctx, const kiln::Mat& image, const int cells[3], const float wb_gain[4],
                     bool scale4) {
  std::vector<uint16_t> tables(3 * static_cast<size_t>(kWhiteBalanceTableSize));
  const uint16_t* t[3];
  for (int c = 0; c < 3; ++c) {
    uint16_t* table = tables.data() + static_cast<size_t>(c) * kWhiteBalanceTableSize;
    WhiteBalanceTableNeon(wb_gain[cells[c]], scale4, table);
    t[c] = table;
  }
  const int width = image.Width();
  auto rows = [&](int row_begin, int row_end) -> kiln::Status {
    for (int y = row_begin; y < row_end; ++y) {
      uint16_t* px = image.Ptr<uint16_t>(y);
      for (int x = 0; x < width; ++x, px += 3) {
        px[0] = t[0][px[0]];
        px[1] = t[1][px[1]];
        px[2] = t[2][px[2]];
      }
    }
    return kiln::kStatusOk;
  };
  if (ctx->GetWorkerpool()->ParallelFor(0, image.Height(), rows) != 0) {
    KILN_RECORD(ctx, "ParallelFor run failed");
    return kFail;
  }
  return 0;
}

}  // namespace

int ApplyWhiteBalance(kiln::Context* ctx, const kiln::Mat& bgr, int32_t raw_type, const float wb_gain[4]) {
  int cells[3];
  WhiteBalanceCells(raw_type, cells);
  return WhiteBalanceRows(ctx, bgr, cells, wb_gain, false);
}

int FinishRgb16(kiln::Context* ctx, const kiln::Mat& rgb, int32_t raw_type, const float wb_gain[4]) {
  int cells[3];
  WhiteBalanceCells(raw_type, cells);
  std::swap(cells[0], cells[2]);  // the cells are listed in BGR order
  return WhiteBalanceRows(ctx, rgb, cells, wb_gain, true);
}

void RemosaicBgrToRaw(const kiln::Mat& bgr, const kiln::Mat& raw, int32_t raw_type) {
  int table[4];
  RemosaicChannels(raw_type, table);
  for (int y = 0; y < raw.Height(); ++y) {
    const uint16_t* src = bgr.Ptr<uint16_t>(y);
    uint16_t* dst = raw.Ptr<uint16_t>(y);
    const int* cell = table + 2 * (y & 1);
    for (int x = 0; x < raw.Width(); ++x) dst[x] = src[3 * x + cell[x & 1]];
  }
}
