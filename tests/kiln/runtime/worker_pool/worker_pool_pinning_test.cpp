// Pool threads are pinned to the CPU list of their group's affinity. Own
// program: the process-wide CPU lists must be built from the fake tree.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sched.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "kiln/runtime/worker_pool/worker_pool.h"

namespace kiln {
namespace {

namespace fs = std::filesystem;

// CPUs the named thread of this process may run on, or empty when absent.
std::vector<int> AffinityOfThreadNamed(const std::string& wanted) {
  std::vector<int> cpus;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return cpus;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string name;
    if (!std::getline(comm, name) || name != wanted) continue;
    cpu_set_t mask;
    if (sched_getaffinity(atoi(entry->d_name), sizeof(mask), &mask) == 0) {
      for (int c = 0; c < CPU_SETSIZE; ++c) {
        if (CPU_ISSET(c, &mask)) cpus.push_back(c);
      }
    }
  }
  closedir(dir);
  return cpus;
}

TEST(WorkerPoolPinning, PinsComputeToFastAndAsyncToSlowCpus) {
  const int n = static_cast<int>(std::thread::hardware_concurrency());
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof(allowed), &allowed), 0);
  if (n < 2 || CPU_COUNT(&allowed) != n) GTEST_SKIP() << "needs at least two usable CPUs";

  char pattern[] = "/tmp/pinning_test_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  // CPU 0 is the only slow one.
  for (int i = 0; i < n; ++i) {
    const fs::path dir = root / ("sys/devices/system/cpu/cpu" + std::to_string(i) + "/cpufreq");
    fs::create_directories(dir);
    std::ofstream(dir / "cpuinfo_max_freq") << (i == 0 ? 1000000 : 2000000) << "\n";
  }
  ASSERT_EQ(setenv("NEVO_SYSROOT", root.c_str(), 1), 0);
  std::vector<int> fast;
  for (int i = 1; i < n; ++i) fast.push_back(i);

  {
    WorkerPool pool(nullptr, "PIN", CpuAffinity::kFast, CpuAffinity::kSlow, 1, 1);
    ASSERT_EQ(GetCpuList(CpuAffinity::kFast), fast);
    // Threads pin themselves after naming; wait for both.
    std::vector<int> compute_cpus;
    std::vector<int> async_cpus;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      compute_cpus = AffinityOfThreadNamed("PINC00");
      async_cpus = AffinityOfThreadNamed("PINA00");
      if (compute_cpus == fast && async_cpus == std::vector<int>{0}) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(compute_cpus, fast);
    EXPECT_EQ(async_cpus, std::vector<int>{0});
  }
  unsetenv("NEVO_SYSROOT");
  fs::remove_all(root);
}

}  // namespace
}  // namespace kiln
