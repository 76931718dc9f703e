// The loader with its library present but lacking Probe_Missing. The
// library object is process-wide: every case leaves it loaded once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <type_traits>

#include "nevo_algo_wrapper/nevo_library_probe_calls.h"

namespace {

using ::testing::HasSubstr;
using ::testing::SizeIs;

constexpr const char* kMissingLine = R"(Load\[.*nevo_library\.cpp:\d+\] dlsym Probe_Missing failed\n)";

// What the first use of the library logged, kept before any case runs.
std::vector<LoggedLine> g_first_use_lines;

class FirstUse : public ::testing::Environment {
 public:
  void SetUp() override {
    LibraryLog::Install(kNevoLogDebug);
    ProbeLibrary::Get();
    g_first_use_lines = LibraryLog::Take();
  }
  void TearDown() override {
    NevoSetLogPrint(1, nullptr);
    NevoHostPropertyClear();
  }
};
const ::testing::Environment* const g_first_use = ::testing::AddGlobalTestEnvironment(new FirstUse);

class NevoLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LibraryLog::Install(kNevoLogDebug);
    ASSERT_EQ(ProbeLibrary::Get().GetLoadCount(), 1);
  }
  void TearDown() override { EXPECT_EQ(ProbeLibrary::Get().GetLoadCount(), 1); }

  kiln::Context ctx_{QuietContextConfig()};
};

TEST_F(NevoLibraryTest, FirstUse_OpensTheFileAndLogsOnlyTheMissingEntryPointOnce) {
  const auto errors = LibraryLog::AtLevel(g_first_use_lines, kNevoLogError);
  ASSERT_THAT(errors, SizeIs(1));
  EXPECT_EQ(errors[0].tag, kNevoLibraryTag);
  EXPECT_TRUE(std::regex_match(errors[0].text, std::regex(kMissingLine))) << errors[0].text;
  // The dlerror detail follows at debug level.
  const auto detail = LibraryLog::Matching(g_first_use_lines, "dlsym Probe_Missing err : .*Probe_Missing.*\n");
  EXPECT_THAT(detail, SizeIs(1));
  EXPECT_TRUE(ProbeIsMapped());
}

TEST_F(NevoLibraryTest, LoadAndUnLoad_CountPairsWhileTheFileStaysOpen) {
  ProbeLibrary& library = ProbeLibrary::Get();
  EXPECT_EQ(library.Load(), 0);
  EXPECT_EQ(library.GetLoadCount(), 2);
  EXPECT_EQ(library.Load(), 0);
  EXPECT_EQ(library.GetLoadCount(), 3);
  EXPECT_EQ(library.UnLoad(false), 0);
  EXPECT_EQ(library.GetLoadCount(), 2);
  EXPECT_EQ(library.UnLoad(false), 0);
  EXPECT_EQ(library.GetLoadCount(), 1);
  EXPECT_TRUE(ProbeIsMapped());
  EXPECT_EQ(in_house::Probe_Echo(&ctx_, 7L), 7L);
  // Counting again resolves nothing again.
  EXPECT_THAT(LibraryLog::AtLevel(LibraryLog::Take(), kNevoLogError), SizeIs(0));
}

TEST_F(NevoLibraryTest, UnLoad_ClosesAtTheLastCountAndLaterCallsFindEntryPointsMissing) {
  ProbeLibrary& library = ProbeLibrary::Get();
  EXPECT_EQ(library.UnLoad(false), 0);
  EXPECT_EQ(library.GetLoadCount(), 0);
  EXPECT_FALSE(ProbeIsMapped());

  // Echo of 0 would give 0: the missing code proves the vendor was not called.
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 0L), kArcMissingEntryCode);
  int sum = -7;
  EXPECT_EQ(in_house::Probe_Add(&ctx_, 1, 2, &sum), kInHouseMissingCode);
  EXPECT_EQ(sum, -7);
  EXPECT_EQ(in_house::Probe_GetVersion(&ctx_), nullptr);

  // Nothing left to close.
  EXPECT_EQ(library.UnLoad(false), 0);
  EXPECT_EQ(library.UnLoad(true), 0);
  EXPECT_EQ(library.GetLoadCount(), 0);

  LibraryLog::Take();
  EXPECT_EQ(library.Load(), 0);
  EXPECT_EQ(library.GetLoadCount(), 1);
  EXPECT_TRUE(ProbeIsMapped());
  EXPECT_THAT(LibraryLog::Matching(LibraryLog::Take(), kMissingLine), SizeIs(1));
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 0L), 0L);
}

TEST_F(NevoLibraryTest, ForcedUnLoad_ClosesWhateverTheCount) {
  ProbeLibrary& library = ProbeLibrary::Get();
  ASSERT_EQ(library.Load(), 0);
  ASSERT_EQ(library.Load(), 0);
  EXPECT_EQ(library.UnLoad(true), 0);
  EXPECT_EQ(library.GetLoadCount(), 0);
  EXPECT_FALSE(ProbeIsMapped());
  EXPECT_EQ(depth::Probe_Echo(&ctx_, 0L), -1L);
  EXPECT_EQ(library.Load(), 0);
}

TEST_F(NevoLibraryTest, TwoAdapters_ShareOneInstanceAndOneOpen) {
  EXPECT_EQ(&ProbeLibrary::Get(), &ProbeLibrary::Get());
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 0L), 0L);
  EXPECT_EQ(arc_hdr::Probe_Echo(&ctx_, 0L), 0L);
  EXPECT_EQ(ProbeLibrary::Get().GetLoadCount(), 1);
  EXPECT_THAT(LibraryLog::Matching(LibraryLog::Take(), "dlopen .*"), SizeIs(0));
}

TEST_F(NevoLibraryTest, MissingEntryPoint_GivesThePolicyCodeWithoutReachingTheVendor) {
  const long calls_before = ProbeCallCount();
  EXPECT_EQ(arc_sr::Probe_Missing(&ctx_, 1), kArcMissingEntryCode);
  EXPECT_EQ(arc_hdr::Probe_Missing(&ctx_, 1), kArcMissingEntryCode);
  EXPECT_EQ(in_house::Probe_Missing(&ctx_, 1), kInHouseMissingCode);
  EXPECT_EQ(depth::Probe_Missing(&ctx_, 1), -1);
  EXPECT_EQ(ProbeCallCount(), calls_before);

  const auto lines = LibraryLog::Take();
  // Logged once at load, not per call; the calls are still bracketed.
  EXPECT_THAT(LibraryLog::AtLevel(lines, kNevoLogError), SizeIs(0));
  EXPECT_THAT(LibraryLog::Matching(lines, ".* map to .*"), SizeIs(0));
  EXPECT_THAT(CallLines(lines), SizeIs(8));
}

TEST_F(NevoLibraryTest, OtherEntryPoints_WorkBesideTheMissingOne) {
  int sum = 0;
  EXPECT_EQ(in_house::Probe_Add(&ctx_, 40, 2, &sum), 0);
  EXPECT_EQ(sum, 42);
  const ProbeVersion* version = arc_sr::Probe_GetVersion(&ctx_);
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->major, 3);
  EXPECT_EQ(version->minor, 1);
  EXPECT_EQ(version->patch, 4);
  EXPECT_EQ(version->build, 15);
  int counter = 1;
  in_house::Probe_Touch(&ctx_, &counter);
  EXPECT_EQ(counter, 2);
  // Call functions keep the vendor's result types.
  static_assert(std::is_same_v<decltype(arc_sr::Probe_Echo(&ctx_, 0L)), long>);
  static_assert(std::is_same_v<decltype(in_house::Probe_Add(&ctx_, 0, 0, &sum)), int>);
  static_assert(std::is_void_v<decltype(in_house::Probe_Touch(&ctx_, &counter))>);
}

TEST_F(NevoLibraryTest, EntryAndExitLines_BracketTheVendorCallWithContextAndSteadyTime) {
  long long inside = 0;
  ASSERT_EQ(in_house::Probe_Stamp(&ctx_, &inside), 0);
  const auto lines = LibraryLog::Take();
  const auto calls = CallLines(lines);
  ASSERT_THAT(calls, SizeIs(2));
  char ctx_text[32];
  std::snprintf(ctx_text, sizeof(ctx_text), "%p", static_cast<void*>(&ctx_));
  EXPECT_EQ(calls[0].name, "Probe_Stamp");
  EXPECT_EQ(calls[0].phase, 'S');
  EXPECT_EQ(calls[0].ctx, ctx_text);
  EXPECT_EQ(calls[1].name, "Probe_Stamp");
  EXPECT_EQ(calls[1].phase, 'E');
  EXPECT_EQ(calls[1].ctx, ctx_text);
  EXPECT_LE(calls[0].micros, inside);
  EXPECT_LE(inside, calls[1].micros);
  for (const LoggedLine& line : lines) EXPECT_EQ(line.level, kNevoLogDebug) << line.text;
}

TEST_F(NevoLibraryTest, ExitLine_IsLoggedWhenTheVendorThrows) {
  EXPECT_THROW(in_house::Probe_Throw(&ctx_), std::runtime_error);
  const auto calls = CallLines(LibraryLog::Take());
  ASSERT_THAT(calls, SizeIs(2));
  EXPECT_EQ(calls[0].phase, 'S');
  EXPECT_EQ(calls[1].phase, 'E');
  EXPECT_EQ(calls[1].name, "Probe_Throw");
}

TEST_F(NevoLibraryTest, BelowDebugLevel_CallsLogNothing) {
  LibraryLog::Install(kNevoLogInfo);
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 20902L), 2041001L);
  EXPECT_EQ(arc_sr::Probe_Missing(&ctx_, 0), kArcMissingEntryCode);
  EXPECT_THAT(LibraryLog::Take(), SizeIs(0));
}

TEST_F(NevoLibraryTest, ZeroResult_IsReturnedAsZeroUnderEveryPolicy) {
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 0L), 0L);
  EXPECT_EQ(arc_hdr::Probe_Echo(&ctx_, 0L), 0L);
  EXPECT_EQ(in_house::Probe_Echo(&ctx_, 0L), 0L);
  EXPECT_EQ(depth::Probe_Echo(&ctx_, 0L), 0L);
  EXPECT_THAT(LibraryLog::Matching(LibraryLog::Take(), ".* map to .*"), SizeIs(0));
}

TEST_F(NevoLibraryTest, ArcSoftResults_AreMappedWithTheAdaptersAlgorithmType) {
  // HDSR base 2040000, HDR base 2030000, plus the offset of the result.
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 20902L), 2041001L);
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 10001L), 2041002L);
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, -999L), 2041921L);
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 6L), 2041300L);
  EXPECT_EQ(arc_sr::Probe_Echo(&ctx_, 4242L), 2042900L);
  EXPECT_EQ(arc_hdr::Probe_Echo(&ctx_, 20902L), 2031001L);
  // An int-typed ArcSoft-style result is mapped too.
  EXPECT_EQ(arc_sr::Probe_Add(&ctx_, 1, 2, nullptr), 2042900);

  const auto lines = LibraryLog::Take();
  const auto sr_map = LibraryLog::Matching(lines, "Probe_Echo return 20902, map to 2041001\n");
  ASSERT_THAT(sr_map, SizeIs(1));
  EXPECT_EQ(sr_map[0].tag, "NEVO_HDSR");
  EXPECT_EQ(sr_map[0].level, kNevoLogDebug);
  const auto hdr_map = LibraryLog::Matching(lines, "Probe_Echo return 20902, map to 2031001\n");
  ASSERT_THAT(hdr_map, SizeIs(1));
  EXPECT_EQ(hdr_map[0].tag, "NEVO_HDR");
  EXPECT_THAT(LibraryLog::Matching(lines, "Probe_Echo return -999, map to 2041921\n"), SizeIs(1));
  EXPECT_THAT(LibraryLog::Matching(lines, "Probe_Add return -1, map to 2042900\n"), SizeIs(1));
}

TEST_F(NevoLibraryTest, InHouseResults_PassThroughUnchanged) {
  EXPECT_EQ(in_house::Probe_Echo(&ctx_, 2001001L), 2001001L);
  EXPECT_EQ(in_house::Probe_Echo(&ctx_, 20902L), 20902L);
  EXPECT_EQ(depth::Probe_Echo(&ctx_, -5L), -5L);
  EXPECT_EQ(in_house::Probe_Add(&ctx_, 1, 2, nullptr), -1);
  EXPECT_THAT(LibraryLog::Matching(LibraryLog::Take(), ".* map to .*"), SizeIs(0));
}

TEST_F(NevoLibraryTest, NullContext_IsOnlyPrinted) {
  EXPECT_EQ(in_house::Probe_Echo(nullptr, 3L), 3L);
  const auto calls = CallLines(LibraryLog::Take());
  ASSERT_THAT(calls, SizeIs(2));
  char null_text[32];
  std::snprintf(null_text, sizeof(null_text), "%p", static_cast<void*>(nullptr));
  EXPECT_EQ(calls[0].ctx, null_text);
}

}  // namespace
