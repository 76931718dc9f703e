// HDR captures on a device without libqx_hdr_raw.so (run from a folder
// holding only libnevo.so and the platform library): initialisation fails
// with the missing-entry code, and with protection the HAL still gets the
// EV0 picture.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/tools/nevo_capture/hal_capture_fixture.h"

namespace {

using ::testing::HasSubstr;

using HdrAbsentTest = HalCaptureFixture;

TEST_F(HdrAbsentTest, Unprotected_InitFailsWithTheMissingEntryCode) {
  const HalCaptureRun run = Take("");
  EXPECT_EQ(run.result.status, 1002904);
  EXPECT_EQ(run.result.failed_call, "NevoInit");
  EXPECT_GE(LogIndex({"ZRV_HDR_RAW_Init failed, ret = 1002904"}), 0);
  EXPECT_GE(LogIndex({"ZRV_HDR_GetVersion failed..."}), 0);
}

TEST_F(HdrAbsentTest, InitProtect_TurnsTheFailureIntoTheEv0Fallback) {
  const std::vector<uint16_t> fallback = Ev0Fallback();
  ASSERT_FALSE(fallback.empty());
  ASSERT_NE(std::count(fallback.begin(), fallback.end(), 0), static_cast<long>(fallback.size()));
  const HalCaptureRun run = Take(R"(,"init_protect":1)");
  EXPECT_EQ(run.result.status, NEVO_ERR_BYPASSED);
  EXPECT_EQ(run.result.failed_call, "NevoInit");
  EXPECT_EQ(run.result.anchor_calls, 1);
  EXPECT_EQ(run.output, fallback);
  EXPECT_THAT(run.result.exif, HasSubstr("Bypass=-1,"));
}

}  // namespace
