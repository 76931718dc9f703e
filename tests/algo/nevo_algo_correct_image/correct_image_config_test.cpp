// The correction's JSON configuration read from a private sysroot: missing
// file, missing algorithm object, missing and malformed keys.
#include <gtest/gtest.h>

#include <string>

#include "algo/nevo_algo_correct_image/correct_image_test_env.h"
#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"
#include "nevo_utils/json_test_log_capture.h"

namespace {

using correct_image_test::Errors;
using correct_image_test::MakeEngineContext;
using correct_image_test::Sysroot;

void ExpectDefaults(const CorrectImageConfig& c) {
  EXPECT_EQ(c.output_fmt, 1);
  EXPECT_EQ(c.output_xdr_enable, 1);
  EXPECT_EQ(c.output_ur_enable, 1);
  EXPECT_EQ(c.blc_enable, 1);
  EXPECT_EQ(c.lsc_enable, 1);
  EXPECT_EQ(c.dgain_enable, 1);
  EXPECT_EQ(c.dgain_apply_adrc, 1);
  EXPECT_EQ(c.dgain_apply_ev_offset, 1);
  EXPECT_EQ(c.output_xdr_fmt, 0);
  EXPECT_EQ(c.output_ur_fmt, 0);
}

class CorrectImageConfigTest : public ::testing::Test {
 protected:
  // Garbage in every field, so a field the reader forgets to set shows.
  static CorrectImageConfig Garbage() {
    CorrectImageConfig c;
    c.output_fmt = c.output_xdr_enable = c.output_ur_enable = c.blc_enable = c.lsc_enable = -7;
    c.dgain_enable = c.dgain_apply_adrc = c.dgain_apply_ev_offset = c.output_xdr_fmt = c.output_ur_fmt = -7;
    return c;
  }

  Sysroot sysroot_;
  JsonTestLogCapture log_;
  std::unique_ptr<kiln::Context> ctx_ = MakeEngineContext();
};

TEST_F(CorrectImageConfigTest, MissingFile_FailsWithTheLoaderCodeAndRecordsIt) {
  CorrectImageConfig config = Garbage();
  EXPECT_EQ(GetCorrectImageConfig(ctx_.get(), NEVO_HDR, &config), NEVO_ERR_FAILED);
  EXPECT_NE(Errors(*ctx_).find("Failed to read correctImage json file!"), std::string::npos) << Errors(*ctx_);
}

TEST_F(CorrectImageConfigTest, UnparsableFile_FailsLikeAMissingOne) {
  sysroot_.WriteConfig("{\"3\": {\"output_fmt\": ");
  CorrectImageConfig config;
  EXPECT_EQ(GetCorrectImageConfig(ctx_.get(), NEVO_HDR, &config), NEVO_ERR_FAILED);
  EXPECT_NE(Errors(*ctx_).find("Failed to read correctImage json file!"), std::string::npos);
}

TEST_F(CorrectImageConfigTest, NoObjectForTheAlgorithm_UsesEveryDefaultAndLogsOnce) {
  sysroot_.WriteConfig(R"({"1": {"output_fmt": 0, "blc_enable": 0}})");
  CorrectImageConfig config = Garbage();
  ASSERT_EQ(GetCorrectImageConfig(ctx_.get(), NEVO_HDR, &config), 0);
  ExpectDefaults(config);
  const auto lines = JsonTestLogCapture::Matching(".*json\\[algo_type_string\\] not found, set default values\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].tag, "NEVO_BYPASS");
  EXPECT_EQ(lines[0].level, 0);
  EXPECT_EQ(lines[0].text.rfind("GetCorrectImageConfig[", 0), 0u) << lines[0].text;
}

TEST_F(CorrectImageConfigTest, TopLevelNotAnObject_UsesEveryDefault) {
  sysroot_.WriteConfig("[1, 2, 3]");
  CorrectImageConfig config = Garbage();
  ASSERT_EQ(GetCorrectImageConfig(ctx_.get(), NEVO_HDR, &config), 0);
  ExpectDefaults(config);
  EXPECT_EQ(JsonTestLogCapture::Matching(".*not found, set default values\n").size(), 1u);
}

TEST_F(CorrectImageConfigTest, FullObject_IsReadKeyByKey) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": 2, "output_xdr_enable": 0, "output_ur_enable": 0,
      "blc_enable": 0, "lsc_enable": 0, "dgain_enable": 0, "dgain_apply_adrc": 0,
      "dgain_apply_EV_offset": 0, "output_xdr_fmt": 1, "output_ur_fmt": 3},
      "6": {"output_fmt": 0}})");
  CorrectImageConfig config;
  ASSERT_EQ(GetCorrectImageConfig(ctx_.get(), NEVO_HDR, &config), 0);
  EXPECT_EQ(config.output_fmt, 2);
  EXPECT_EQ(config.output_xdr_enable, 0);
  EXPECT_EQ(config.output_ur_enable, 0);
  EXPECT_EQ(config.blc_enable, 0);
  EXPECT_EQ(config.lsc_enable, 0);
  EXPECT_EQ(config.dgain_enable, 0);
  EXPECT_EQ(config.dgain_apply_adrc, 0);
  EXPECT_EQ(config.dgain_apply_ev_offset, 0);
  EXPECT_EQ(config.output_xdr_fmt, 1);
  EXPECT_EQ(config.output_ur_fmt, 3);
  EXPECT_TRUE(JsonTestLogCapture::Matching(".*not found.*").empty());
  // The object is chosen by the type number in decimal.
  ASSERT_EQ(GetCorrectImageConfig(ctx_.get(), NEVO_SN, &config), 0);
  EXPECT_EQ(config.output_fmt, 0);
  EXPECT_EQ(config.blc_enable, 1);
}

TEST_F(CorrectImageConfigTest, MissingKeys_TakeTheirDefaultsAndAreLoggedInTableOrder) {
  sysroot_.WriteConfig(R"({"16": {"output_fmt": 0, "lsc_enable": 0, "output_ur_fmt": 1}})");
  CorrectImageConfig config = Garbage();
  ASSERT_EQ(GetCorrectImageConfig(ctx_.get(), NEVO_SNSC_HDR, &config), 0);
  EXPECT_EQ(config.output_fmt, 0);
  EXPECT_EQ(config.lsc_enable, 0);
  EXPECT_EQ(config.output_ur_fmt, 1);
  EXPECT_EQ(config.blc_enable, 1);
  EXPECT_EQ(config.output_xdr_fmt, 0);
  const auto lines = JsonTestLogCapture::Matching(".*json\\[algo_type_string\\]\\[\".*\"\\] not found\n");
  const char* missing[] = {"output_xdr_enable", "output_ur_enable", "blc_enable", "dgain_enable",
                           "dgain_apply_adrc", "dgain_apply_EV_offset", "output_xdr_fmt"};
  ASSERT_EQ(lines.size(), 7u);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].text.find(std::string("[\"") + missing[i] + "\"] not found"), std::string::npos)
        << lines[i].text;
    EXPECT_EQ(lines[i].tag, "NEVO_BYPASS");
  }
}

TEST_F(CorrectImageConfigTest, NonIntegerValues_AreLoggedAndTakeTheirDefaults) {
  sysroot_.WriteConfig(R"({"3": {"output_fmt": "2", "output_xdr_enable": 0.5, "output_ur_enable": true,
      "blc_enable": 4294967296, "lsc_enable": 18446744073709551615, "dgain_enable": null,
      "dgain_apply_adrc": [0], "dgain_apply_EV_offset": -3, "output_xdr_fmt": 2147483647,
      "output_ur_fmt": {}}})");
  CorrectImageConfig config = Garbage();
  ASSERT_EQ(GetCorrectImageConfig(ctx_.get(), NEVO_HDR, &config), 0);
  EXPECT_EQ(config.output_fmt, 1);
  EXPECT_EQ(config.output_xdr_enable, 1);
  EXPECT_EQ(config.output_ur_enable, 1);
  EXPECT_EQ(config.blc_enable, 1);
  EXPECT_EQ(config.lsc_enable, 1);
  EXPECT_EQ(config.dgain_enable, 1);
  EXPECT_EQ(config.dgain_apply_adrc, 1);
  EXPECT_EQ(config.dgain_apply_ev_offset, -3);
  EXPECT_EQ(config.output_xdr_fmt, 2147483647);
  EXPECT_EQ(config.output_ur_fmt, 0);
  EXPECT_EQ(JsonTestLogCapture::Matching(".*is not an integer, set default value\n").size(), 8u);
}

}  // namespace
