// The loader on a device without the probe library: LD_LIBRARY_PATH names an
// empty directory, so the process-wide object never opens a file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "nevo_algo_wrapper/nevo_library_probe_calls.h"

namespace {

using ::testing::HasSubstr;
using ::testing::SizeIs;

// The first call, which creates the library object, and what it logged.
int g_first_result = 0;
int g_first_sum = -7;
std::vector<LoggedLine> g_first_use_lines;

class FirstCall : public ::testing::Environment {
 public:
  void SetUp() override {
    LibraryLog::Install(kNevoLogDebug);
    g_first_result = in_house::Probe_Add(nullptr, 1, 2, &g_first_sum);
    g_first_use_lines = LibraryLog::Take();
  }
  void TearDown() override {
    NevoSetLogPrint(1, nullptr);
    NevoHostPropertyClear();
  }
};
const ::testing::Environment* const g_first_call = ::testing::AddGlobalTestEnvironment(new FirstCall);

class NevoLibraryAbsentTest : public ::testing::Test {
 protected:
  void SetUp() override { LibraryLog::Install(kNevoLogDebug); }
  kiln::Context ctx_{QuietContextConfig()};
};

TEST_F(NevoLibraryAbsentTest, FirstCall_LogsOneDlopenFailureAndGivesTheMissingCode) {
  EXPECT_EQ(g_first_result, kInHouseMissingCode);
  EXPECT_EQ(g_first_sum, -7);
  const auto errors = LibraryLog::AtLevel(g_first_use_lines, kNevoLogError);
  ASSERT_THAT(errors, SizeIs(1));
  EXPECT_EQ(errors[0].tag, kNevoLibraryTag);
  EXPECT_TRUE(std::regex_match(
      errors[0].text,
      std::regex(R"(Load\[.*nevo_library\.cpp:\d+\] dlopen libnevo_library_probe\.so failed, err : .+\n)")))
      << errors[0].text;
  EXPECT_THAT(errors[0].text, HasSubstr("cannot open shared object file"));
  // No entry point is looked up without a file.
  EXPECT_THAT(LibraryLog::Matching(g_first_use_lines, "dlsym .*"), SizeIs(0));
  const auto calls = CallLines(g_first_use_lines);
  ASSERT_THAT(calls, SizeIs(2));
  EXPECT_EQ(calls[0].phase, 'S');
  EXPECT_EQ(calls[1].phase, 'E');
  EXPECT_EQ(ProbeLibrary::Get().GetLoadCount(), 0);
  EXPECT_FALSE(ProbeIsMapped());
}

TEST_F(NevoLibraryAbsentTest, LaterCalls_GiveMissingResultsWithoutNewErrors) {
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 0L), kArcMissingEntryCode);
  EXPECT_EQ(arc_hdr::Probe_Echo(&ctx_, 20902L), kArcMissingEntryCode);
  EXPECT_EQ(depth::Probe_Add(&ctx_, 1, 2, nullptr), -1);
  EXPECT_EQ(in_house::Probe_GetVersion(&ctx_), nullptr);
  int counter = 5;
  in_house::Probe_Touch(&ctx_, &counter);
  EXPECT_EQ(counter, 5);
  EXPECT_NO_THROW(in_house::Probe_Throw(&ctx_));

  const auto lines = LibraryLog::Take();
  EXPECT_THAT(LibraryLog::AtLevel(lines, kNevoLogError), SizeIs(0));
  EXPECT_THAT(LibraryLog::Matching(lines, ".* map to .*"), SizeIs(0));
  EXPECT_THAT(CallLines(lines), SizeIs(12));
}

TEST_F(NevoLibraryAbsentTest, UnLoad_WithoutAnOpenFileReturnsZero) {
  ProbeLibrary& library = ProbeLibrary::Get();
  EXPECT_EQ(library.UnLoad(false), 0);
  EXPECT_EQ(library.UnLoad(true), 0);
  EXPECT_EQ(library.GetLoadCount(), 0);
  EXPECT_THAT(LibraryLog::Take(), SizeIs(0));
}

TEST_F(NevoLibraryAbsentTest, ExplicitLoad_FailsAgainWithTheGenericCode) {
  ProbeLibrary& library = ProbeLibrary::Get();
  EXPECT_EQ(library.Load(), kNevoLibraryFailed);
  EXPECT_EQ(library.GetLoadCount(), 0);
  EXPECT_THAT(LibraryLog::Matching(LibraryLog::Take(), R"(Load\[.*\] dlopen libnevo_library_probe\.so failed.*\n)"),
              SizeIs(1));
  EXPECT_EQ(in_house::Probe_Echo(&ctx_, 0L), kInHouseMissingCode);
}

}  // namespace
