// The loader and its call functions used from several threads at once,
// from the very first use on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "nevo_algo_wrapper/nevo_library_probe_calls.h"

namespace {

using ::testing::Each;
using ::testing::SizeIs;

constexpr int kThreads = 8;

// Starts every thread's body together, so first uses and calls overlap.
template <typename Body>
void RunTogether(int threads, Body body) {
  std::atomic<bool> go{false};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&go, &body, t] {
      while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
      body(t);
    });
  }
  go.store(true, std::memory_order_release);
  for (std::thread& thread : pool) thread.join();
}

// The concurrent first use, made before any case runs.
std::vector<const ProbeLibrary*> g_instances(kThreads, nullptr);
std::vector<long> g_first_results(kThreads, 0);
std::vector<LoggedLine> g_first_use_lines;

class ConcurrentFirstUse : public ::testing::Environment {
 public:
  void SetUp() override {
    LibraryLog::Install(kNevoLogDebug);
    RunTogether(kThreads, [](int t) {
      g_first_results[t] = arc_sr::Probe_Echo(nullptr, 20902L);
      g_instances[t] = &ProbeLibrary::Get();
    });
    g_first_use_lines = LibraryLog::Take();
  }
  void TearDown() override {
    NevoSetLogPrint(1, nullptr);
    NevoHostPropertyClear();
  }
};
const ::testing::Environment* const g_first_use =
    ::testing::AddGlobalTestEnvironment(new ConcurrentFirstUse);

class NevoLibraryThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override { LibraryLog::Install(kNevoLogDebug); }
  kiln::Context ctx_{QuietContextConfig()};
};

TEST_F(NevoLibraryThreadsTest, ConcurrentFirstUse_CreatesAndLoadsOneInstance) {
  EXPECT_THAT(g_instances, Each(&ProbeLibrary::Get()));
  EXPECT_THAT(g_first_results, Each(2041001L));
  EXPECT_EQ(ProbeLibrary::Get().GetLoadCount(), 1);
  // One load: one report of the missing entry point.
  EXPECT_THAT(LibraryLog::AtLevel(g_first_use_lines, kNevoLogError), SizeIs(1));
  EXPECT_THAT(CallLines(g_first_use_lines), SizeIs(2 * kThreads));
}

TEST_F(NevoLibraryThreadsTest, ConcurrentCalls_EachGetTheirOwnResults) {
  constexpr int kRounds = 300;
  const long calls_before = ProbeCallCount();
  std::atomic<int> wrong{0};
  RunTogether(kThreads, [this, &wrong](int t) {
    for (int i = 0; i < kRounds; ++i) {
      int sum = -1;
      if (in_house::Probe_Add(&ctx_, t, i, &sum) != 0 || sum != t + i) ++wrong;
      const long expected = (i % 2 == 0) ? 0L : 2041001L;
      if (arc_sr::Probe_Echo(&ctx_, (i % 2 == 0) ? 0L : 20902L) != expected) ++wrong;
      if (arc_sr::Probe_Missing(&ctx_, i) != kArcMissingEntryCode) ++wrong;
    }
  });
  EXPECT_EQ(wrong.load(), 0);
  // Two vendor calls per round; the missing one never reaches the library.
  EXPECT_EQ(ProbeCallCount() - calls_before, 2L * kThreads * kRounds);

  const auto lines = LibraryLog::Take();
  const auto calls = CallLines(lines);
  EXPECT_THAT(calls, SizeIs(2 * 3 * kThreads * kRounds));
  int entries = 0;
  for (const CallLine& call : calls) entries += call.phase == 'S' ? 1 : 0;
  EXPECT_EQ(entries, 3 * kThreads * kRounds);
  EXPECT_THAT(LibraryLog::AtLevel(lines, kNevoLogError), SizeIs(0));
}

TEST_F(NevoLibraryThreadsTest, LoadUnLoadPairsDuringCalls_KeepTheCountAndTheCalls) {
  constexpr int kRounds = 500;
  std::atomic<int> wrong{0};
  RunTogether(kThreads, [this, &wrong](int t) {
    for (int i = 0; i < kRounds; ++i) {
      if (t % 2 == 0) {
        if (ProbeLibrary::Get().Load() != 0) ++wrong;
        if (ProbeLibrary::Get().UnLoad(false) != 0) ++wrong;
      } else if (in_house::Probe_Echo(&ctx_, static_cast<long>(i + 1)) != i + 1) {
        ++wrong;
      }
    }
  });
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(ProbeLibrary::Get().GetLoadCount(), 1);
  EXPECT_TRUE(ProbeIsMapped());
  EXPECT_THAT(LibraryLog::AtLevel(LibraryLog::Take(), kNevoLogError), SizeIs(0));
}

}  // namespace
