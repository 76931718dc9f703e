// CPU lists from a fake frequency tree, the atomics flag, pinning and
// thread names.
#include <gtest/gtest.h>

#include <sched.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kiln/runtime/utils/cpu_info.h"

namespace kiln {
namespace {

namespace fs = std::filesystem;

// Builds a private sysroot and points NEVO_SYSROOT at it for one test.
class FakeSysroot : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cpu_info_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    ASSERT_EQ(setenv("NEVO_SYSROOT", root_.c_str(), 1), 0);
  }
  void TearDown() override {
    unsetenv("NEVO_SYSROOT");
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void WriteFile(const std::string& device_path, const std::string& text) {
    const fs::path path = fs::path(root_) / device_path.substr(1);
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  void WriteFreqs(const std::vector<std::string>& freqs) {
    for (size_t i = 0; i < freqs.size(); ++i) {
      WriteFile("/sys/devices/system/cpu/cpu" + std::to_string(i) + "/cpufreq/cpuinfo_max_freq", freqs[i] + "\n");
    }
  }
  std::string root_;
};

using CpuListsTest = FakeSysroot;
using CpuAtomicsTest = FakeSysroot;

TEST_F(CpuListsTest, SplitsCpusAtTheAverageMaximumFrequency) {
  // Average (4*1.8 + 3*2.4 + 3.0 GHz) / 8 = 2.175 GHz.
  WriteFreqs({"1800000", "1800000", "1800000", "1800000", "2400000", "2400000", "2400000", "3000000"});
  const CpuLists lists = ReadCpuLists(8);
  EXPECT_EQ(lists.all, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(lists.fast, (std::vector<int>{4, 5, 6, 7}));
  EXPECT_EQ(lists.slow, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(CpuListsTest, FrequencyEqualToTheAverageCountsAsFastAndOrderIsKept) {
  WriteFreqs({"3000", "1000", "2000"});
  const CpuLists lists = ReadCpuLists(3);
  EXPECT_EQ(lists.fast, (std::vector<int>{0, 2}));
  EXPECT_EQ(lists.slow, (std::vector<int>{1}));
  // Equal CPUs are all fast; the slow list is empty.
  WriteFreqs({"1500", "1500"});
  const CpuLists same = ReadCpuLists(2);
  EXPECT_EQ(same.fast, (std::vector<int>{0, 1}));
  EXPECT_TRUE(same.slow.empty());
}

TEST_F(CpuListsTest, UnreadableFrequencyPutsEveryCpuInEveryList) {
  const std::vector<int> every = {0, 1, 2, 3};
  // Missing file for CPU 2.
  WriteFreqs({"1000", "2000"});
  WriteFile("/sys/devices/system/cpu/cpu3/cpufreq/cpuinfo_max_freq", "2000\n");
  testing::internal::CaptureStderr();
  CpuLists lists = ReadCpuLists(4);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(lists.all, every);
  EXPECT_EQ(lists.fast, every);
  EXPECT_EQ(lists.slow, every);
  EXPECT_NE(log.find("E/kiln2.0: InitCpuIdxs[runtime/utils/include/kiln/runtime/utils/host/cpu_info:"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("] Get CpuInfo from /sys/devices/system/cpu/cpu2/cpufreq/cpuinfo_max_freq failed use "
                     "default result"),
            std::string::npos)
      << log;
  // Not a number, and a negative number, are unreadable too.
  for (const char* bad : {"fast", "-5"}) {
    WriteFreqs({"1000", "2000", bad, "4000"});
    testing::internal::CaptureStderr();
    lists = ReadCpuLists(4);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(lists.fast, every) << bad;
    EXPECT_EQ(lists.slow, every) << bad;
  }
}

TEST_F(CpuAtomicsTest, FlagFollowsCpuinfoAndDefaultsToTrueWithoutIt) {
  EXPECT_TRUE(ReadCpuHasAtomics());  // no /proc/cpuinfo in the sysroot
  WriteFile("/proc/cpuinfo", "processor\t: 0\nFeatures\t: fp asimd evtstrm aes crc32\n");
  EXPECT_FALSE(ReadCpuHasAtomics());
  WriteFile("/proc/cpuinfo", "processor\t: 0\nFeatures\t: fp asimd evtstrm aes pmull atomics fphp\n");
  EXPECT_TRUE(ReadCpuHasAtomics());
}

TEST(CpuProcessLists, CoverEveryCpuOnceAndUnknownAffinityMeansAll) {
  const CpuLists& lists = GetCpuLists();
  const unsigned n = std::thread::hardware_concurrency();
  ASSERT_EQ(lists.all.size(), n < 1 ? 1u : n);
  const bool defaulted = lists.fast == lists.all && lists.slow == lists.all;
  if (!defaulted) {
    // A real split: fast and slow partition the CPUs.
    EXPECT_EQ(lists.fast.size() + lists.slow.size(), lists.all.size());
  }
  EXPECT_EQ(&GetCpuList(CpuAffinity::kAll), &lists.all);
  EXPECT_EQ(&GetCpuList(CpuAffinity::kFast), &lists.fast);
  EXPECT_EQ(&GetCpuList(CpuAffinity::kSlow), &lists.slow);
  EXPECT_EQ(&GetCpuList(static_cast<CpuAffinity>(9)), &lists.all);
  EXPECT_EQ(&GetCpuLists(), &lists);  // built once
}

TEST(CpuPinning, RestrictsTheThreadToTheListedCpusAndEmptyListLeavesItAlone) {
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof(allowed), &allowed), 0);
  int first_cpu = -1;
  for (int c = 0; c < CPU_SETSIZE && first_cpu < 0; ++c) {
    if (CPU_ISSET(c, &allowed)) first_cpu = c;
  }
  ASSERT_GE(first_cpu, 0);
  const int allowed_count = CPU_COUNT(&allowed);
  int pinned_count = -1;
  bool pinned_to_first = false;
  int unpinned_count = -1;
  std::thread([&] {
    PinCurrentThread({});
    cpu_set_t mask;
    sched_getaffinity(0, sizeof(mask), &mask);
    unpinned_count = CPU_COUNT(&mask);
    PinCurrentThread({first_cpu});
    sched_getaffinity(0, sizeof(mask), &mask);
    pinned_count = CPU_COUNT(&mask);
    pinned_to_first = CPU_ISSET(first_cpu, &mask);
  }).join();
  EXPECT_EQ(unpinned_count, allowed_count);
  EXPECT_EQ(pinned_count, 1);
  EXPECT_TRUE(pinned_to_first);
}

TEST(CpuThreadNames, AreTwelveNameCharactersGroupLetterAndTwoDigits) {
  EXPECT_EQ(PoolThreadName("NEVO", 'C', 0), "NEVOC00");
  EXPECT_EQ(PoolThreadName("NEVO", 'A', 1), "NEVOA01");
  EXPECT_EQ(PoolThreadName("ABCDEFGHIJKLMNOPQRST", 'C', 3), "ABCDEFGHIJKLC03");
  EXPECT_EQ(PoolThreadName("NEVO", 'C', 123), "NEVOC23");
  EXPECT_EQ(PoolThreadName("", 'A', 7), "A07");
}

}  // namespace
}  // namespace kiln
