// ConvertTo row kernels, plain and vector: the formula on hand-computed
// values (ties, saturation, NaN and infinities, half precision), the method
// choice, and plain versus vector bit for bit on random data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kiln/ops/matrix/convert_to_kernel.h"
#include "kiln/ops/matrix/host/neon/convert_to_neon.h"
#include "kiln/ops/matrix/none/convert_to_none.h"
#include "kiln/ops/matrix/matrix_test_data.h"

namespace {

using kiln::CvtMethod;
using kiln::ElemType;
using matrix_test::BitsFloat;
using matrix_test::FloatBits;

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = BitsFloat(0x7FC00000u);

// Runs fn on one row holding src and returns the converted row.
template <typename D, typename S>
std::vector<D> RunRow(kiln::ConvertRowsFn fn, const std::vector<S>& src, float alpha, float beta) {
  std::vector<D> dst(src.size());
  kiln::ConvertRowsArgs a;
  a.src = reinterpret_cast<const uint8_t*>(src.data());
  a.src_pitch = static_cast<int64_t>(src.size() * sizeof(S));
  a.dst = reinterpret_cast<uint8_t*>(dst.data());
  a.dst_pitch = static_cast<int64_t>(dst.size() * sizeof(D));
  a.elems = static_cast<int32_t>(src.size());
  a.alpha = alpha;
  a.beta = beta;
  fn(a, 0, 1);
  return dst;
}

template <typename T>
uint64_t Bits(T v) {
  uint64_t b = 0;
  std::memcpy(&b, &v, sizeof(T));
  return b;
}

// Converts inputs with the plain kernel and with the vector kernel of the
// method ChooseCvtMethod picks; the inputs are repeated over a 3-row-long
// row so that each lands both in 16-element steps and in the scalar tail.
// Every output must equal expected bit for bit.
template <typename S, typename D>
void ExpectConverts(ElemType st, ElemType dt, float alpha, float beta, const std::vector<S>& inputs,
                    const std::vector<D>& expected) {
  ASSERT_EQ(inputs.size(), expected.size());
  std::vector<S> row;
  while (row.size() < 40 || row.size() % 16 == 0) row.insert(row.end(), inputs.begin(), inputs.end());
  const CvtMethod method = kiln::ChooseCvtMethod(alpha, beta, matrix_test::IsFloatType(dt));
  const kiln::ConvertRowsFn none = kiln::GetConvertRowsNone(st, dt, method != CvtMethod::NO_SCALE);
  const kiln::ConvertRowsFn neon = kiln::GetConvertRowsNeon(st, dt, method);
  ASSERT_NE(none, nullptr);
  ASSERT_NE(neon, nullptr);
  const std::vector<D> out_none = RunRow<D>(none, row, alpha, beta);
  const std::vector<D> out_neon = RunRow<D>(neon, row, alpha, beta);
  for (size_t i = 0; i < row.size(); ++i) {
    const size_t j = i % inputs.size();
    EXPECT_EQ(Bits(out_none[i]), Bits(expected[j])) << "none, input #" << j << " at " << i;
    EXPECT_EQ(Bits(out_neon[i]), Bits(expected[j])) << "neon, input #" << j << " at " << i;
  }
}

TEST(ConvertToKernelsFormula, FloatToU8TimesTwoFiftyFive_RoundsHalfToEvenAndSaturates) {
  // 0.5 * 255 = 127.5 -> 128 (the even neighbour), 0.25 * 255 = 63.75 -> 64.
  ExpectConverts<float, uint8_t>(kiln::QX_F32, kiln::QX_U8, 255.0f, 0.0f,
                                 {0.5f, 1.2f, 0.0f, -0.1f, 1.0f, kNaN, kInf, -kInf, 0.25f},
                                 {128, 255, 0, 0, 255, 0, 255, 0, 64});
  // Ties from the add, x + 0.5: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, 3.5 -> 4.
  ExpectConverts<float, uint8_t>(kiln::QX_F32, kiln::QX_U8, 1.0f, 0.5f, {0.0f, 1.0f, 2.0f, 3.0f, 254.0f, 255.0f},
                                 {0, 2, 2, 4, 254, 255});
}

TEST(ConvertToKernelsFormula, FloatToS32_RoundsTiesToEvenAndSaturatesBothEnds) {
  ExpectConverts<float, int32_t>(
      kiln::QX_F32, kiln::QX_S32, 1.0f, 0.0f,
      {0.5f, 1.5f, 2.5f, -0.5f, -1.5f, -2.5f, 2147483648.0f, -2147483648.0f, -3e9f, 8388607.5f, kNaN, kInf, -kInf},
      {0, 2, 2, 0, -2, -2, 2147483647, -2147483647 - 1, -2147483647 - 1, 8388608, 0, 2147483647,
       -2147483647 - 1});
}

TEST(ConvertToKernelsFormula, FloatSaturatesAtBothEndsOfEveryIntegerType) {
  const std::vector<float> in = {-1e10f, -200.0f, -0.5f, 300.0f, 1e10f, kNaN};
  ExpectConverts<float, uint8_t>(kiln::QX_F32, kiln::QX_U8, 1.0f, 0.0f, in, {0, 0, 0, 255, 255, 0});
  ExpectConverts<float, int8_t>(kiln::QX_F32, kiln::QX_S8, 1.0f, 0.0f, in, {-128, -128, 0, 127, 127, 0});
  const std::vector<float> in16 = {-1e10f, -40000.0f, 70000.0f, 1e10f, -0.5f, 65534.5f};
  ExpectConverts<float, uint16_t>(kiln::QX_F32, kiln::QX_U16, 1.0f, 0.0f, in16, {0, 0, 65535, 65535, 0, 65534});
  ExpectConverts<float, int16_t>(kiln::QX_F32, kiln::QX_S16, 1.0f, 0.0f, in16,
                                 {-32768, -32768, 32767, 32767, 0, 32767});
  ExpectConverts<float, uint32_t>(kiln::QX_F32, kiln::QX_U32, 1.0f, 0.0f,
                                  {-1e10f, -0.5f, 4294967296.0f, 4294967040.0f, 2147483648.0f, 2.5f, kNaN, kInf},
                                  {0, 0, 4294967295u, 4294967040u, 2147483648u, 2, 0, 4294967295u});
}

TEST(ConvertToKernelsFormula, IntegersSaturateWithoutPassingThroughFloat) {
  ExpectConverts<uint32_t, int32_t>(kiln::QX_U32, kiln::QX_S32, 1.0f, 0.0f, {4294967295u, 2147483647u, 16777217u},
                                    {2147483647, 2147483647, 16777217});
  ExpectConverts<int32_t, uint32_t>(kiln::QX_S32, kiln::QX_U32, 1.0f, 0.0f, {-1, 0, 2147483647, 16777217},
                                    {0, 0, 2147483647u, 16777217u});
  ExpectConverts<uint32_t, uint8_t>(kiln::QX_U32, kiln::QX_U8, 1.0f, 0.0f, {4294967295u, 256u, 255u},
                                    {255, 255, 255});
  ExpectConverts<uint32_t, int8_t>(kiln::QX_U32, kiln::QX_S8, 1.0f, 0.0f, {4294967295u, 128u, 127u}, {127, 127, 127});
  ExpectConverts<uint32_t, int16_t>(kiln::QX_U32, kiln::QX_S16, 1.0f, 0.0f, {40000u, 7u}, {32767, 7});
  ExpectConverts<int32_t, int16_t>(kiln::QX_S32, kiln::QX_S16, 1.0f, 0.0f, {-40000, 40000, -7}, {-32768, 32767, -7});
  ExpectConverts<int16_t, int8_t>(kiln::QX_S16, kiln::QX_S8, 1.0f, 0.0f, {300, -300, -5}, {127, -128, -5});
  ExpectConverts<int8_t, uint8_t>(kiln::QX_S8, kiln::QX_U8, 1.0f, 0.0f, {-5, 5, 127}, {0, 5, 127});
  ExpectConverts<uint16_t, int16_t>(kiln::QX_U16, kiln::QX_S16, 1.0f, 0.0f, {40000, 32767}, {32767, 32767});
  ExpectConverts<int16_t, uint16_t>(kiln::QX_S16, kiln::QX_U16, 1.0f, 0.0f, {-1, 32767}, {0, 32767});
  ExpectConverts<uint8_t, int8_t>(kiln::QX_U8, kiln::QX_S8, 1.0f, 0.0f, {200, 100}, {127, 100});
}

TEST(ConvertToKernelsFormula, ThirtyTwoBitIntegersToFloatRoundToNearestEven) {
  // 16777217 lies halfway between 16777216 and 16777218: even mantissa wins.
  ExpectConverts<uint32_t, float>(kiln::QX_U32, kiln::QX_F32, 1.0f, 0.0f, {16777217u, 16777219u, 4294967295u},
                                  {16777216.0f, 16777220.0f, 4294967296.0f});
  ExpectConverts<int32_t, float>(kiln::QX_S32, kiln::QX_F32, 1.0f, 0.0f, {-16777217, 2147483647},
                                 {-16777216.0f, 2147483648.0f});
}

TEST(ConvertToKernelsFormula, U8ToU16TimesTwoFiftyFive_IsExact) {
  ExpectConverts<uint8_t, uint16_t>(kiln::QX_U8, kiln::QX_U16, 255.0f, 0.0f, {0, 1, 128, 255}, {0, 255, 32640, 65025});
  // S8 scaled past the U16 range saturates at both ends.
  ExpectConverts<int8_t, uint16_t>(kiln::QX_S8, kiln::QX_U16, 1000.0f, 0.0f, {-1, 1, 127}, {0, 1000, 65535});
}

TEST(ConvertToKernelsFormula, HalfPrecisionRoundsToNearestEvenAndKeepsNaNs) {
  // 65519 rounds down to 65504 (0x7BFF), 65520 is the tie that goes to
  // infinity; 2^-25 is half the smallest subnormal (tie to 0), 3 * 2^-25
  // the tie between 1 and 2 subnormal steps (to 2).
  ExpectConverts<float, uint16_t>(
      kiln::QX_F32, kiln::QX_F16, 1.0f, 0.0f,
      {1.0f, 0.1f, 65519.0f, 65520.0f, -70000.0f, 0x1p-24f, 0x1p-25f, 0x3p-25f, -0.0f, kNaN, BitsFloat(0xFFC00000u),
       BitsFloat(0x7FC02000u)},
      {0x3C00, 0x2E66, 0x7BFF, 0x7C00, 0xFC00, 0x0001, 0x0000, 0x0002, 0x8000, 0x7E00, 0xFE00, 0x7E01});
  // Back to float: exact, and a signalling NaN comes back quiet with its
  // payload moved up.
  ExpectConverts<uint16_t, float>(kiln::QX_F16, kiln::QX_F32, 1.0f, 0.0f,
                                  {0x3C00, 0x0001, 0x7C00, 0xFE00, 0x7D00, 0x8000},
                                  {1.0f, 0x1p-24f, kInf, BitsFloat(0xFFC00000u), BitsFloat(0x7FE00000u), -0.0f});
  // Half to integers and scaled half: 0.5 * 255 = 127.5 -> 128.
  ExpectConverts<uint16_t, uint8_t>(kiln::QX_F16, kiln::QX_U8, 255.0f, 0.0f, {0x3800, 0x3C00, 0x7E00, 0xFC00},
                                    {128, 255, 0, 0});
  ExpectConverts<uint16_t, int16_t>(kiln::QX_F16, kiln::QX_S16, 1.0f, 0.0f, {0x7BFF, 0xFBFF, 0x3E00}, {32767, -32768, 2});
  // U16 beyond 65504 overflows half to infinity; 65519 is still finite.
  ExpectConverts<uint16_t, uint16_t>(kiln::QX_U16, kiln::QX_F16, 1.0f, 0.0f, {65535, 65519, 2049}, {0x7C00, 0x7BFF, 0x6800});
}

TEST(ConvertToKernelsFormula, ScaledFormulaIsAProductThenASumNeverFused) {
  // x * x = 1 + 2^-11 + 2^-24 rounds (tie to even) to 1 + 2^-11, so the sum
  // with -(1 + 2^-11) is +0; a fused multiply-add would give 2^-24.
  const float x = 1.0f + 0x1p-12f;
  ExpectConverts<float, float>(kiln::QX_F32, kiln::QX_F32, x, -(1.0f + 0x1p-11f), {x}, {0.0f});
}

TEST(ConvertToKernelsFormula, EqualTypesWithoutScaleCopyEveryBit) {
  ExpectConverts<float, float>(kiln::QX_F32, kiln::QX_F32, 1.0f, 0.0f, {BitsFloat(0x7F800001u), -0.0f, 1.5f},
                               {BitsFloat(0x7F800001u), -0.0f, 1.5f});
  ExpectConverts<uint16_t, uint16_t>(kiln::QX_F16, kiln::QX_F16, 1.0f, 0.0f, {0x7D01, 0x8000}, {0x7D01, 0x8000});
}

TEST(ConvertToKernelsMethod, ChooseCvtMethod_PicksEachFormFromAlphaAndBeta) {
  EXPECT_EQ(kiln::ChooseCvtMethod(1.0f, 0.0f, false), CvtMethod::NO_SCALE);
  EXPECT_EQ(kiln::ChooseCvtMethod(1.0f, 0x1p-53f, false), CvtMethod::NO_SCALE);
  EXPECT_EQ(kiln::ChooseCvtMethod(1.0f, -0x1p-53f, true), CvtMethod::NO_SCALE);
  EXPECT_EQ(kiln::ChooseCvtMethod(1.0f, 0x1p-52f, false), CvtMethod::ADD_ONLY);
  EXPECT_EQ(kiln::ChooseCvtMethod(1.0f, -3.0f, true), CvtMethod::ADD_ONLY);
  EXPECT_EQ(kiln::ChooseCvtMethod(1.0f + 0x1p-23f, 0.0f, false), CvtMethod::MUL_ONLY);
  EXPECT_EQ(kiln::ChooseCvtMethod(255.0f, -0.0f, false), CvtMethod::MUL_ONLY);
  EXPECT_EQ(kiln::ChooseCvtMethod(255.0f, 0.0f, true), CvtMethod::MUL_ADD);
  EXPECT_EQ(kiln::ChooseCvtMethod(255.0f, 0x1p-60f, false), CvtMethod::MUL_ADD);
  EXPECT_EQ(kiln::ChooseCvtMethod(0.5f, 2.0f, false), CvtMethod::MUL_ADD);
}

TEST(ConvertToKernelsMethod, NarrowFormsGiveTheMulAddResult) {
  // ADD_ONLY: x + beta with ties from the add.
  ExpectConverts<uint8_t, int16_t>(kiln::QX_U8, kiln::QX_S16, 1.0f, -100.5f, {0, 1, 2, 255}, {-100, -100, -98, 154});
  // MUL_ONLY into an integer: -0 and +0 both give 0.
  ExpectConverts<float, int32_t>(kiln::QX_F32, kiln::QX_S32, -3.0f, 0.0f, {0.0f, 0.5f, -0.5f}, {0, -2, 2});
  // A float destination keeps MUL_ADD: +0 * -1 + 0 is +0, not -0.
  ExpectConverts<float, float>(kiln::QX_F32, kiln::QX_F32, -1.0f, 0.0f, {0.0f, 2.0f}, {0.0f, -2.0f});
  EXPECT_EQ(kiln::GetConvertRowsNeon(kiln::QX_F32, kiln::QX_F32, CvtMethod::MUL_ONLY), nullptr);
}

TEST(ConvertToKernelsMethod, UnsupportedTypesHaveNoKernel) {
  EXPECT_EQ(kiln::GetConvertRowsNone(kiln::QX_F64, kiln::QX_U8, false), nullptr);
  EXPECT_EQ(kiln::GetConvertRowsNone(kiln::QX_U8, kiln::QX_F64, true), nullptr);
  EXPECT_EQ(kiln::GetConvertRowsNeon(kiln::QX_INVALID, kiln::QX_U8, CvtMethod::MUL_ADD), nullptr);
  EXPECT_EQ(kiln::GetConvertRowsNeon(kiln::QX_U8, 42, CvtMethod::NO_SCALE), nullptr);
}

// ---- Plain versus vector on random data -------------------------------------

struct Factors {
  float alpha;
  float beta;
};

// Random rows x elems of st, converted by both families row range by row
// range; buffers are exactly as large as the rows (pitch = row bytes), so a
// kernel reading or writing past a row end is caught by the sanitizers.
void ExpectSameOnRandomImage(ElemType st, ElemType dt, Factors f, int32_t rows, int32_t elems, std::mt19937& rng) {
  const CvtMethod method = kiln::ChooseCvtMethod(f.alpha, f.beta, matrix_test::IsFloatType(dt));
  const kiln::ConvertRowsFn none = kiln::GetConvertRowsNone(st, dt, method != CvtMethod::NO_SCALE);
  const kiln::ConvertRowsFn neon = kiln::GetConvertRowsNeon(st, dt, method);
  ASSERT_NE(none, nullptr);
  ASSERT_NE(neon, nullptr);
  const std::vector<uint8_t> src = matrix_test::RandomElems(st, static_cast<size_t>(rows) * elems, rng);
  const size_t dst_row = static_cast<size_t>(elems) * kiln::ElemTypeSize(dt);
  std::vector<uint8_t> out_none(dst_row * rows, 0xA5);
  std::vector<uint8_t> out_neon(dst_row * rows, 0x5A);
  kiln::ConvertRowsArgs a;
  a.src = src.data();
  a.src_pitch = static_cast<int64_t>(elems) * kiln::ElemTypeSize(st);
  a.dst_pitch = static_cast<int64_t>(dst_row);
  a.elems = elems;
  a.alpha = f.alpha;
  a.beta = f.beta;
  a.dst = out_none.data();
  none(a, 0, rows);
  a.dst = out_neon.data();
  neon(a, 0, rows / 2);  // two ranges, as ParallelFor would split them
  neon(a, rows / 2, rows);
  const std::string what = std::string(kiln::ElemTypeName(st)) + " -> " + kiln::ElemTypeName(dt) + " " +
                           kiln::CvtMethodName(method) + " " + std::to_string(rows) + "x" + std::to_string(elems);
  size_t first_diff = out_none.size();
  for (size_t i = 0; i < out_none.size() && first_diff == out_none.size(); ++i) {
    if (out_none[i] != out_neon[i]) first_diff = i;
  }
  EXPECT_EQ(first_diff, out_none.size()) << what << ": first differing byte";
}

TEST(ConvertToKernelsCrossCheck, NeonMatchesNoneForEveryTypePairAndMethod) {
  std::mt19937 rng(20261205);
  // alpha 1 / beta 0 is NO_SCALE, then ADD_ONLY, MUL_ONLY (MUL_ADD for float
  // destinations) and MUL_ADD.
  const Factors factors[] = {{1.0f, 0.0f}, {1.0f, -2.5f}, {255.0f, 0.0f}, {0.7f, 3.25f}, {-1.0f / 3.0f, 0.5f}};
  const int32_t shapes[][2] = {{5, 67}, {3, 16}, {4, 33}, {1, 15}, {2, 161}};
  for (ElemType st : matrix_test::AllTypes()) {
    for (ElemType dt : matrix_test::AllTypes()) {
      for (const Factors& f : factors) {
        for (const auto& shape : shapes) ExpectSameOnRandomImage(st, dt, f, shape[0], shape[1], rng);
      }
    }
  }
}

TEST(ConvertToKernelsMethod, IsU8ExactScale_AcceptsOnlyScalesExactIn16Bits) {
  EXPECT_TRUE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_U16, 255.0f, 0.0f));
  EXPECT_TRUE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_S32, 257.0f, 0.0f));   // 65535
  EXPECT_TRUE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_U8, 0.0f, 65535.0f));
  EXPECT_FALSE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_U16, 257.0f, 1.0f));  // 65536
  EXPECT_FALSE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_U16, 2.5f, 0.0f));
  EXPECT_FALSE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_U16, 2.0f, 0.5f));
  EXPECT_FALSE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_U16, -1.0f, 0.0f));
  EXPECT_FALSE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_S16, 3.0f, -1.0f));
  EXPECT_FALSE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_F32, 255.0f, 0.0f));
  EXPECT_FALSE(kiln::IsU8ExactScale(kiln::QX_S8, kiln::QX_U16, 255.0f, 0.0f));
  EXPECT_FALSE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_U16, std::nanf(""), 0.0f));
}

TEST(ConvertToKernelsCrossCheck, U8ExactKernelsMatchTheFloatFormula) {
  // Every U8 value, repeated over an odd row, for scales around the limits
  // of each integer destination.
  std::vector<uint8_t> row(3 * 256 + 13);
  for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 7);
  const Factors factors[] = {{255.0f, 0.0f}, {256.0f, 255.0f}, {257.0f, 0.0f}, {1.0f, 7.0f},   {0.0f, 300.0f},
                             {2.0f, 0.0f},   {128.0f, 1.0f},   {129.0f, 0.0f}, {3.0f, 64770.0f}};
  const ElemType dsts[] = {kiln::QX_U8, kiln::QX_S8, kiln::QX_U16, kiln::QX_S16, kiln::QX_U32, kiln::QX_S32};
  for (const Factors& f : factors) {
    ASSERT_TRUE(kiln::IsU8ExactScale(kiln::QX_U8, kiln::QX_U16, f.alpha, f.beta)) << f.alpha << " " << f.beta;
    for (ElemType dt : dsts) {
      const kiln::ConvertRowsFn reference = kiln::GetConvertRowsNone(kiln::QX_U8, dt, true);
      const size_t bytes = row.size() * kiln::ElemTypeSize(dt);
      std::vector<uint8_t> expected(bytes), out(bytes);
      kiln::ConvertRowsArgs a;
      a.src = row.data();
      a.src_pitch = static_cast<int64_t>(row.size());
      a.dst_pitch = static_cast<int64_t>(bytes);
      a.elems = static_cast<int32_t>(row.size());
      a.alpha = f.alpha;
      a.beta = f.beta;
      a.dst = expected.data();
      reference(a, 0, 1);
      for (kiln::ConvertRowsFn fn : {kiln::GetConvertRowsU8ExactNone(dt), kiln::GetConvertRowsU8ExactNeon(dt)}) {
        ASSERT_NE(fn, nullptr);
        std::fill(out.begin(), out.end(), 0x5A);
        a.dst = out.data();
        fn(a, 0, 1);
        EXPECT_EQ(out, expected) << kiln::ElemTypeName(dt) << " alpha " << f.alpha << " beta " << f.beta;
      }
    }
  }
  EXPECT_EQ(kiln::GetConvertRowsU8ExactNone(kiln::QX_F32), nullptr);
  EXPECT_EQ(kiln::GetConvertRowsU8ExactNeon(kiln::QX_F16), nullptr);
}

TEST(ConvertToKernelsCrossCheck, InPlaceConversionConvertsEachElementOnce) {
  // Same buffer as source and destination: the vector tail must not convert
  // elements a vector step already wrote.
  std::vector<float> data(37);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<float>(i);
  std::vector<float> copy = data;
  for (kiln::ConvertRowsFn fn : {kiln::GetConvertRowsNone(kiln::QX_F32, kiln::QX_F32, true),
                                 kiln::GetConvertRowsNeon(kiln::QX_F32, kiln::QX_F32, CvtMethod::MUL_ADD)}) {
    data = copy;
    kiln::ConvertRowsArgs a;
    a.src = reinterpret_cast<const uint8_t*>(data.data());
    a.dst = reinterpret_cast<uint8_t*>(data.data());
    a.src_pitch = a.dst_pitch = static_cast<int64_t>(data.size() * sizeof(float));
    a.elems = static_cast<int32_t>(data.size());
    a.alpha = 2.0f;
    a.beta = 1.0f;
    fn(a, 0, 1);
    for (size_t i = 0; i < data.size(); ++i) EXPECT_EQ(data[i], 2.0f * static_cast<float>(i) + 1.0f) << i;
  }
}

}  // namespace
