#include "nevo_error_map/nevo_error_map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "nevo/nevo.h"
#include "nevo_core/log_capture.h"
#include "nevo_host/properties.h"
#include "nevo_utils/nevo_log.h"

namespace {

TEST(ArcErrorMap, EverySupportedTypeHasItsBase) {
  const std::vector<std::pair<int, int>> bases = {
      {NEVO_NR, 2110000},  {NEVO_NR_LL, 2110000}, {NEVO_NR_50M, 2110000}, {NEVO_NR_LL_50M, 2110000},
      {NEVO_HDR, 2030000}, {NEVO_HDR_LL, 2030000}, {NEVO_SE, 2010000},    {NEVO_SN, 2010000},
      {NEVO_SR, 2100000},  {NEVO_HDSR, 2040000},  {NEVO_HDR_F, 2020000},  {NEVO_SN_F, 2000000}};
  for (const auto& [type, base] : bases) {
    EXPECT_EQ(ArcErrorGetBase(20902, type), base + 1001) << type;
    EXPECT_EQ(ArcErrorGetBase(12345, type), base + 2900) << type;
  }
}

TEST(ArcErrorMap, EveryListedResultHasItsOffset) {
  const std::vector<std::pair<int, int>> offsets = {
      {20902, 1001}, {20904, 1100}, {20905, 3900}, {20907, 9001}, {20908, 1900}, {20919, 1400},
      {-999, 1921},  {6, 1300},     {10001, 1002}, {10002, 1004}, {10004, 1005}, {10005, 1006},
      {10006, 1007}, {10014, 1008}, {10015, 1009}, {10016, 1010}, {10017, 1011}};
  for (const auto& [result, offset] : offsets) EXPECT_EQ(ArcErrorGetBase(result, NEVO_SR), 2100000 + offset) << result;
}

TEST(ArcErrorMap, UnlistedResultsAreRecoverable) {
  for (int result : {20903, 20906, 20909, 20999, 10003, 10007, 10010, 10013, 10018, 1, -1, 0}) {
    EXPECT_EQ(ArcErrorGetBase(result, NEVO_HDSR), 2042900) << result;
  }
}

TEST(ArcErrorMap, UnsupportedTypesLogTheirNameAndUseTheCommonBase) {
  NevoHostPropertySet(kNevoLogLevelProp, "0");
  NevoSetLogPrint(1, &LogCapture::Callback);
  LogCapture::Get().Take();
  EXPECT_EQ(ArcErrorGetBase(20902, NEVO_SN), 2011001);
  EXPECT_EQ(ArcErrorGetBase(777, NEVO_ELL), 2002900);
  EXPECT_EQ(ArcErrorGetBase(10001, NEVO_SNSC), 2001002);
  EXPECT_EQ(ArcErrorGetBase(20905, NEVO_SESR), 2003900);
  EXPECT_EQ(ArcErrorGetBase(20905, 0), 2003900);
  EXPECT_EQ(ArcErrorGetBase(20905, NEVO_SNSC_HDR), 2003900);
  const auto records = LogCapture::Get().Take();
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0].tag, "NEVO_ERROR_MAP");
  EXPECT_THAT(records[0].text, ::testing::EndsWith("] error type of NEVO_ELL not supported\n"));
  EXPECT_THAT(records[1].text, ::testing::EndsWith("] error type of NEVO_SNSC not supported\n"));
  EXPECT_THAT(records[2].text, ::testing::EndsWith("] error type of NEVO_SESR not supported\n"));
  EXPECT_THAT(records[3].text, ::testing::EndsWith("] error type of NEVO_INVALID not supported\n"));
  EXPECT_THAT(records[4].text, ::testing::EndsWith("] error type of NEVO_SNSC_HDR not supported\n"));
  NevoSetLogPrint(1, nullptr);
  NevoHostPropertyClear();
}

}  // namespace
