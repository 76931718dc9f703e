// MinMaxLoc kernels, plain and vector: first occurrence in row-major order,
// blocks of 16384 elements, NaN handling, and both families against a slow
// reference on random images, on the calling thread and on a worker pool.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kiln/ops/matrix/host/neon/min_max_loc_neon.h"
#include "kiln/ops/matrix/matrix_test_data.h"
#include "kiln/ops/matrix/none/min_max_loc_none.h"
#include "kiln/runtime/worker_pool/worker_pool.h"

namespace {

using kiln::ElemType;
using kiln::MinMaxLocFlat;
using matrix_test::BitsFloat;

const float kNaN = BitsFloat(0x7FC00000u);
constexpr float kInf = std::numeric_limits<float>::infinity();

template <typename T>
kiln::MinMaxLocArgs ArgsOf(const std::vector<T>& data, int32_t rows, int32_t elems) {
  kiln::MinMaxLocArgs a;
  a.src = reinterpret_cast<const uint8_t*>(data.data());
  a.pitch = static_cast<int64_t>(elems) * static_cast<int64_t>(sizeof(T));
  a.rows = rows;
  a.elems = elems;
  return a;
}

uint64_t DoubleBits(double d) {
  uint64_t b;
  std::memcpy(&b, &d, sizeof(b));
  return b;
}

// Both families, on the calling thread and over a pool of two compute
// threads, must report exactly `expected` (values compared bit for bit, so
// the sign of a zero counts).
void ExpectFound(ElemType type, const kiln::MinMaxLocArgs& args, const MinMaxLocFlat& expected) {
  kiln::WorkerPool pool(nullptr, "MMLTEST", kiln::CpuAffinity::kAll, kiln::CpuAffinity::kAll, 2, 0);
  struct Run {
    const char* name;
    kiln::Status (*fn)(kiln::Context*, kiln::WorkerPool*, ElemType, const kiln::MinMaxLocArgs&, MinMaxLocFlat*);
    kiln::WorkerPool* pool;
  };
  const Run runs[] = {{"none", &kiln::MinMaxLocNoneImage, nullptr},
                      {"none pool", &kiln::MinMaxLocNoneImage, &pool},
                      {"neon", &kiln::MinMaxLocNeonImage, nullptr},
                      {"neon pool", &kiln::MinMaxLocNeonImage, &pool}};
  for (const Run& run : runs) {
    MinMaxLocFlat got;
    ASSERT_EQ(run.fn(nullptr, run.pool, type, args, &got), kiln::kStatusOk) << run.name;
    if (std::isnan(expected.min_val)) {
      EXPECT_TRUE(std::isnan(got.min_val)) << run.name;
      EXPECT_TRUE(std::isnan(got.max_val)) << run.name;
    } else {
      EXPECT_EQ(DoubleBits(got.min_val), DoubleBits(expected.min_val)) << run.name << " min " << got.min_val;
      EXPECT_EQ(DoubleBits(got.max_val), DoubleBits(expected.max_val)) << run.name << " max " << got.max_val;
    }
    EXPECT_EQ(got.min_row, expected.min_row) << run.name;
    EXPECT_EQ(got.min_k, expected.min_k) << run.name;
    EXPECT_EQ(got.max_row, expected.max_row) << run.name;
    EXPECT_EQ(got.max_k, expected.max_k) << run.name;
  }
}

MinMaxLocFlat Flat(double min_val, int32_t min_row, int32_t min_k, double max_val, int32_t max_row, int32_t max_k) {
  MinMaxLocFlat f;
  f.min_val = min_val;
  f.min_row = min_row;
  f.min_k = min_k;
  f.max_val = max_val;
  f.max_row = max_row;
  f.max_k = max_k;
  return f;
}

TEST(MinMaxLocKernelsOccurrence, TiesReportTheFirstInRowMajorOrder) {
  // 4 rows of 50: the minimum 3 sits in row 2 at 40 and in row 1 at 45 and
  // 7; the maximum 200 in row 3 at 0 and in row 1 at 49.
  const int32_t rows = 4;
  const int32_t n = 50;
  std::vector<uint8_t> img(rows * n, 100);
  img[2 * n + 40] = 3;
  img[1 * n + 45] = 3;
  img[1 * n + 7] = 3;
  img[3 * n + 0] = 200;
  img[1 * n + 49] = 200;
  ExpectFound(kiln::QX_U8, ArgsOf(img, rows, n), Flat(3, 1, 7, 200, 1, 49));
}

TEST(MinMaxLocKernelsOccurrence, ConstantImageReportsTheFirstElementForBoth) {
  std::vector<uint16_t> img(3 * 64, 65535);
  ExpectFound(kiln::QX_U16, ArgsOf(img, 3, 64), Flat(65535, 0, 0, 65535, 0, 0));
}

TEST(MinMaxLocKernelsOccurrence, TypeLimitsAreFoundForSignedTypes) {
  std::vector<int8_t> s8(2 * 48, 0);
  s8[60] = -128;
  s8[61] = 127;
  ExpectFound(kiln::QX_S8, ArgsOf(s8, 2, 48), Flat(-128, 1, 12, 127, 1, 13));
  std::vector<int32_t> s32(2 * 48, 5);
  s32[17] = -2147483647 - 1;
  s32[95] = 2147483647;
  ExpectFound(kiln::QX_S32, ArgsOf(s32, 2, 48), Flat(-2147483648.0, 0, 17, 2147483647.0, 1, 47));
  std::vector<uint32_t> u32(48, 7);
  u32[20] = 4294967295u;
  u32[47] = 0;
  ExpectFound(kiln::QX_U32, ArgsOf(u32, 1, 48), Flat(0, 0, 47, 4294967295.0, 0, 20));
}

TEST(MinMaxLocKernelsBlocks, ExtremeInTheSecondBlockOfALongRowIsFound) {
  // Two rows of 16384 + 100 elements; the row's extremes lie in block 1,
  // with an equal maximum again later in the same block.
  const int32_t n = kiln::kMinMaxLocBlockElems + 100;
  std::vector<uint16_t> img(2 * n, 1000);
  img[n + kiln::kMinMaxLocBlockElems + 10] = 7;
  img[kiln::kMinMaxLocBlockElems + 3] = 9000;
  img[kiln::kMinMaxLocBlockElems + 90] = 9000;
  ExpectFound(kiln::QX_U16, ArgsOf(img, 2, n), Flat(7, 1, kiln::kMinMaxLocBlockElems + 10, 9000, 0,
                                                    kiln::kMinMaxLocBlockElems + 3));
}

TEST(MinMaxLocKernelsBlocks, ShortLastBlockNeitherMissesNorStealsExtremes) {
  // The last block holds 5 elements, so its vector step reloads 11 elements
  // of block 0. An extreme among those must still be reported in block 0,
  // and one among the last 5 in block 1.
  const int32_t n = kiln::kMinMaxLocBlockElems + 5;
  std::vector<int16_t> img(n, 0);
  img[kiln::kMinMaxLocBlockElems - 4] = -500;  // re-read by the overlapping step
  img[kiln::kMinMaxLocBlockElems + 4] = 800;   // in the short block
  ExpectFound(kiln::QX_S16, ArgsOf(img, 1, n), Flat(-500, 0, kiln::kMinMaxLocBlockElems - 4, 800, 0,
                                                    kiln::kMinMaxLocBlockElems + 4));
}

TEST(MinMaxLocKernelsFloat, NaNsNeverWinAndInfinitiesDo) {
  std::vector<float> img(48, kNaN);
  img[3] = 3.0f;
  img[10] = -1.0f;
  img[40] = 5.0f;
  ExpectFound(kiln::QX_F32, ArgsOf(img, 1, 48), Flat(-1.0, 0, 10, 5.0, 0, 40));
  img[20] = -kInf;
  img[30] = kInf;
  ExpectFound(kiln::QX_F32, ArgsOf(img, 1, 48), Flat(-static_cast<double>(kInf), 0, 20, kInf, 0, 30));
}

TEST(MinMaxLocKernelsFloat, SignallingNaNDoesNotResetAVectorLane) {
  // Element 18 shares element 2's vector lane one step later; a signalling
  // NaN there must not make the lane forget -3 (or 9).
  std::vector<float> img(64, 1.0f);
  img[2] = -3.0f;
  img[3] = 9.0f;
  img[18] = BitsFloat(0x7F800001u);
  img[19] = BitsFloat(0xFF800001u);
  ExpectFound(kiln::QX_F32, ArgsOf(img, 1, 64), Flat(-3.0, 0, 2, 9.0, 0, 3));
}

TEST(MinMaxLocKernelsFloat, AllNaNImageReportsNaNAndNoLocation) {
  std::vector<float> img(2 * 48, kNaN);
  ExpectFound(kiln::QX_F32, ArgsOf(img, 2, 48), Flat(std::nan(""), -1, -1, std::nan(""), -1, -1));
  std::vector<uint16_t> half(2 * 48, 0x7E00);
  ExpectFound(kiln::QX_F16, ArgsOf(half, 2, 48), Flat(std::nan(""), -1, -1, std::nan(""), -1, -1));
}

TEST(MinMaxLocKernelsFloat, EqualZerosReportTheFirstZeroWithItsSign) {
  std::vector<float> img(48, 1.0f);
  img[5] = 0.0f;
  img[6] = -0.0f;
  img[47] = 2.0f;
  ExpectFound(kiln::QX_F32, ArgsOf(img, 1, 48), Flat(0.0, 0, 5, 2.0, 0, 47));
  img[5] = -0.0f;
  img[6] = 0.0f;
  ExpectFound(kiln::QX_F32, ArgsOf(img, 1, 48), Flat(-0.0, 0, 5, 2.0, 0, 47));
}

TEST(MinMaxLocKernelsFloat, HalfElementsCompareByValue) {
  // 0xC000 = -2, 0x4200 = 3, 0x7C00 = +inf loses to nothing; NaNs skipped.
  std::vector<uint16_t> img(64, 0x3C00);
  img[9] = 0xC000;
  img[11] = 0x4200;
  img[12] = 0x7E00;
  img[13] = 0xFE00;
  ExpectFound(kiln::QX_F16, ArgsOf(img, 1, 64), Flat(-2.0, 0, 9, 3.0, 0, 11));
}

TEST(MinMaxLocKernelsErrors, UnsupportedTypeFailsAndEmptyImageFindsNothing) {
  std::vector<double> f64(48, 1.0);
  MinMaxLocFlat got;
  EXPECT_EQ(kiln::MinMaxLocNoneImage(nullptr, nullptr, kiln::QX_F64, ArgsOf(f64, 1, 48), &got), kiln::kStatusFail);
  EXPECT_EQ(kiln::MinMaxLocNeonImage(nullptr, nullptr, kiln::QX_F64, ArgsOf(f64, 1, 48), &got), kiln::kStatusFail);
  EXPECT_EQ(kiln::GetMinMaxLocRowsNone(kiln::QX_INVALID), nullptr);
  std::vector<uint8_t> none;
  ExpectFound(kiln::QX_U8, ArgsOf(none, 0, 48), Flat(std::nan(""), -1, -1, std::nan(""), -1, -1));
}

// ---- Random images against a slow reference ----------------------------------

// Element k of row y as a double, or NaN.
double ValueOf(ElemType t, const uint8_t* p) {
  switch (t) {
    case kiln::QX_U8: return *p;
    case kiln::QX_S8: return *reinterpret_cast<const int8_t*>(p);
    case kiln::QX_U16: return *reinterpret_cast<const uint16_t*>(p);
    case kiln::QX_S16: return *reinterpret_cast<const int16_t*>(p);
    case kiln::QX_U32: return *reinterpret_cast<const uint32_t*>(p);
    case kiln::QX_S32: return *reinterpret_cast<const int32_t*>(p);
    case kiln::QX_F32: return *reinterpret_cast<const float*>(p);
    default: {
      // Half bits decoded by hand: sign, 5-bit exponent, 10-bit mantissa.
      uint16_t h;
      std::memcpy(&h, p, 2);
      const int e = (h >> 10) & 31;
      const int m = h & 1023;
      const double sign = (h & 0x8000) ? -1.0 : 1.0;
      if (e == 31) return m ? std::nan("") : sign * std::numeric_limits<double>::infinity();
      if (e == 0) return sign * std::ldexp(m, -24);
      return sign * std::ldexp(1024 + m, e - 25);
    }
  }
}

MinMaxLocFlat Reference(ElemType t, const std::vector<uint8_t>& img, int32_t rows, int32_t elems) {
  MinMaxLocFlat r;
  const int size = kiln::ElemTypeSize(t);
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t k = 0; k < elems; ++k) {
      const double v = ValueOf(t, img.data() + (static_cast<size_t>(y) * elems + k) * size);
      if (std::isnan(v)) continue;
      if (r.min_row < 0 || v < r.min_val) r = Flat(v, y, k, r.max_val, r.max_row, r.max_k);
      if (r.max_row < 0 || v > r.max_val) r = Flat(r.min_val, r.min_row, r.min_k, v, y, k);
    }
  }
  return r;
}

TEST(MinMaxLocKernelsCrossCheck, BothFamiliesMatchTheReferenceOnRandomImages) {
  std::mt19937 rng(4242);
  const int32_t shapes[][2] = {{7, 53}, {3, 48}, {1, 16400}, {5, 101}, {2, 33000}};
  for (ElemType t : matrix_test::AllTypes()) {
    for (const auto& shape : shapes) {
      std::vector<uint8_t> img = matrix_test::RandomElems(t, static_cast<size_t>(shape[0]) * shape[1], rng);
      // Repeat a few values many times, so ties are everywhere.
      const int size = kiln::ElemTypeSize(t);
      for (size_t i = 0; i + size <= img.size(); i += size) {
        if (rng() % 3 == 0) std::memcpy(&img[i], &img[(rng() % 4) * size], size);
      }
      SCOPED_TRACE(std::string(kiln::ElemTypeName(t)) + " " + std::to_string(shape[0]) + "x" +
                   std::to_string(shape[1]));
      kiln::MinMaxLocArgs args;
      args.src = img.data();
      args.pitch = static_cast<int64_t>(shape[1]) * size;
      args.rows = shape[0];
      args.elems = shape[1];
      ExpectFound(t, args, Reference(t, img, shape[0], shape[1]));
    }
  }
}

}  // namespace
