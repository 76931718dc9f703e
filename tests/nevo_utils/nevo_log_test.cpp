#include "nevo_utils/nevo_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "nevo_core/log_capture.h"
#include "nevo_host/properties.h"
#include "nevo_utils/nevo_algo_names.h"

namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

int g_other_calls = 0;
int OtherCallback(int, const char*, const char*, ...) {
  ++g_other_calls;
  return 0;
}

class NevoLog : public ::testing::Test {
 protected:
  void SetUp() override {
    NevoHostPropertyClear();
    // Start each case from the process defaults: no callback, level 0.
    NevoSetLogPrint(1, nullptr);
    LogCapture::Get().Take();
    g_other_calls = 0;
  }
  void TearDown() override {
    NevoHostPropertyClear();
    NevoSetLogPrint(1, nullptr);
  }
  static void InstallCapture(const char* level) {
    NevoHostPropertySet(kNevoLogLevelProp, level);
    NevoSetLogPrint(1, &LogCapture::Callback);
    LogCapture::Get().Take();
  }
};

TEST_F(NevoLog, DefaultLevelDropsInfoAndSendsErrorsToAndroidLogWithOrigin) {
  ::testing::internal::CaptureStderr();
  NevoPrint(1, "NEVO", "not shown\n");
  NevoPrint(0, "NEVO", "broken %d\n", 7);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find("not shown"), std::string::npos);
  EXPECT_THAT(err, MatchesRegex("E/NEVO: NevoPrint\\[.*nevo_log\\.cpp:60\\] broken 7\n"));
}

TEST_F(NevoLog, AndroidLogGetsOneRecordPerLineAtLevelPriority) {
  NevoSetLogLevel(2);
  ::testing::internal::CaptureStderr();
  NevoPrint(1, "NEVO_X", "one\ntwo\nthree\n");
  NevoPrint(2, "NEVO_X", "dbg\n");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "I/NEVO_X: one\nI/NEVO_X: two\nI/NEVO_X: three\nD/NEVO_X: dbg\n");
  NevoSetLogLevel(0);
}

TEST_F(NevoLog, CallbackReceivesFormattedTextWhenLevelAllows) {
  InstallCapture("1");
  NevoPrint(2, "NEVO", "debug hidden\n");
  NevoPrint(1, "NEVO_UTILS", "value %s=%d\n", "x", 3);
  NevoPrint(0, "NEVO", "err\n");
  const auto records = LogCapture::Get().Take();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].level, 1);
  EXPECT_EQ(records[0].tag, "NEVO_UTILS");
  EXPECT_EQ(records[0].text, "value x=3\n");
  EXPECT_EQ(records[1].level, 0);
  EXPECT_EQ(records[1].text, "err\n");  // the callback gets the bare text
}

TEST_F(NevoLog, LongMessagesAreCutAt1023Characters) {
  InstallCapture("0");
  const std::string big(3000, 'a');
  NevoPrint(0, "NEVO", "%s", big.c_str());
  const auto records = LogCapture::Get().Take();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, std::string(1023, 'a'));
}

TEST_F(NevoLog, SetLogPrintOnInstallsCallbackAndTakesLevelFromProperty) {
  NevoHostPropertySet(kNevoLogLevelProp, "2");
  NevoSetLogPrint(9, &LogCapture::Callback);
  EXPECT_EQ(NevoGetLogLevel(), 2);
  const auto records = LogCapture::Get().Take();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, 1);
  EXPECT_EQ(records[0].tag, "NEVO");
  EXPECT_EQ(records[0].text, "NEVO LOG enabled\n");

  NevoHostPropertyUnset(kNevoLogLevelProp);
  NevoSetLogPrint(1, &LogCapture::Callback);
  EXPECT_EQ(NevoGetLogLevel(), 0);
}

TEST_F(NevoLog, SetLogPrintOffOnlyNotifiesAndKeepsEarlierCallback) {
  InstallCapture("2");
  NevoSetLogPrint(0, &OtherCallback);
  EXPECT_EQ(g_other_calls, 1);
  EXPECT_EQ(NevoGetLogLevel(), 2);
  // The earlier callback is still the one in use.
  LogCapture::Get().Take();
  NevoPrint(1, "NEVO", "still here\n");
  const auto records = LogCapture::Get().Take();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, "still here\n");
  EXPECT_EQ(g_other_calls, 1);
}

TEST_F(NevoLog, SetLogPrintWithNullClearsCallbackAndCallsNothing) {
  InstallCapture("2");
  NevoHostPropertySet(kNevoLogLevelProp, "1");
  NevoSetLogPrint(5, nullptr);
  EXPECT_EQ(NevoGetLogLevel(), 1);
  ::testing::internal::CaptureStderr();
  NevoPrint(1, "NEVO", "to android\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "I/NEVO: to android\n");
  // The debug lines of NevoSetLogPrint went to the old callback only.
  for (const auto& r : LogCapture::Get().Take()) EXPECT_NE(r.text, "NEVO LOG enabled\n");
}

TEST(Properties, IntegerReadsFollowAtoiAndDefaults) {
  NevoHostPropertyClear();
  EXPECT_EQ(NevoGetPropertyInt("persist.vendor.camera.nevo.dump", 7), 7);
  NevoHostPropertySet("persist.vendor.camera.nevo.dump", "abc");
  EXPECT_EQ(NevoGetPropertyInt("persist.vendor.camera.nevo.dump", 7), 0);
  NevoHostPropertySet("persist.vendor.camera.nevo.dump", "-12");
  EXPECT_EQ(NevoGetPropertyInt("persist.vendor.camera.nevo.dump", 7), -12);
  NevoHostPropertySet("persist.vendor.camera.nevo.dump", "");
  EXPECT_EQ(NevoGetPropertyInt("persist.vendor.camera.nevo.dump", 7), 7);
  NevoHostPropertyClear();
}

TEST(Properties, StringReadsKeepUpTo91Characters) {
  NevoHostPropertyClear();
  EXPECT_EQ(NevoGetPropertyString("persist.vendor.camera.nevo.path", "dflt"), "dflt");
  const std::string v91(91, 'x');
  NevoHostPropertySet("persist.vendor.camera.nevo.path", v91.c_str());
  EXPECT_EQ(NevoGetPropertyString("persist.vendor.camera.nevo.path", "dflt"), v91);
  NevoHostPropertySet("persist.vendor.camera.nevo.path", (v91 + "yyyy").c_str());
  EXPECT_EQ(NevoGetPropertyString("persist.vendor.camera.nevo.path", "dflt"), v91);
  NevoHostPropertyClear();
}

TEST(ElapsedText, UsesSecondsOrMillisecondsWithThreeDigits) {
  using std::chrono::microseconds;
  EXPECT_EQ(NevoElapsedText(microseconds(1005000)), "1.005s");
  EXPECT_EQ(NevoElapsedText(microseconds(12040)), "12.040ms");
  EXPECT_EQ(NevoElapsedText(microseconds(0)), "0.000ms");
  EXPECT_EQ(NevoElapsedText(microseconds(999999)), "999.999ms");
  EXPECT_EQ(NevoElapsedText(microseconds(62001999)), "62.001s");
  EXPECT_EQ(NevoElapsedText(microseconds(7)), "0.007ms");
}

TEST(AlgoNames, ShortDisplayAndSectionNames) {
  EXPECT_STREQ(NevoAlgoShortName(NEVO_NR_LL_50M), "NR_LL_50M");
  EXPECT_STREQ(NevoAlgoShortName(NEVO_SNSC_HDR), "SNSC_HDR");
  EXPECT_STREQ(NevoAlgoShortName(17), "INVALID");
  EXPECT_STREQ(NevoAlgoShortName(-1), "INVALID");
  EXPECT_EQ(NevoAlgoDisplayName(NEVO_HDSR), "NEVO_HDSR");
  EXPECT_EQ(NevoAlgoDisplayName(24), "NEVO_INVALID");
  EXPECT_EQ(NevoAlgoSectionName(0), "NEVO_BYPASS");
  EXPECT_EQ(NevoAlgoSectionName(NEVO_SN_F), "NEVO_SN_F");
  EXPECT_EQ(NevoAlgoDisplayName(0), "NEVO_INVALID");
}

TEST(AlgoNames, SensorTypesAndInvalidOneIsLogged) {
  const char* expected[] = {"w", "uw", "t", "st", "fw", "fuw"};
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(SensorTypeToString(i), expected[i - 1]);
  NevoHostPropertySet(kNevoLogLevelProp, "0");
  NevoSetLogPrint(1, &LogCapture::Callback);
  LogCapture::Get().Take();
  EXPECT_EQ(SensorTypeToString(7), "invalid_sensor_type");
  const auto records = LogCapture::Get().Take();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].tag, "NEVO_UTILS");
  EXPECT_THAT(records[0].text, MatchesRegex("SensorTypeToString\\[.*:[0-9]+\\] sensor_type is invalid\n"));
  NevoSetLogPrint(1, nullptr);
  NevoHostPropertyClear();
}

}  // namespace
