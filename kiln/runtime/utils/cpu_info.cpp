#include "kiln/runtime/utils/cpu_info.h"

#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

#include "kiln/runtime/context/print.h"
#include "kiln/runtime/utils/device_path.h"

namespace kiln {

namespace {

// Source path quoted in this file's log lines (the device tree's layout).
constexpr const char* kCpuInfoSource = "runtime/utils/include/kiln/runtime/utils/host/cpu_info";

// Maximum frequency of one CPU, or -1 when it cannot be read.
int64_t ReadMaxFreq(int cpu) {
  char path[128];
  std::snprintf(path, sizeof(path), "/sys/devices/system/cpu/cpu%d/cpufreq/cpuinfo_max_freq", cpu);
  FILE* file = std::fopen(DevicePath(path).c_str(), "r");
  if (file == nullptr) return -1;
  int freq = -1;
  const int matched = std::fscanf(file, "%d", &freq);
  std::fclose(file);
  if (matched != 1 || freq < 0) return -1;
  return freq;
}

CpuLists DefaultLists(int cpu_count) {
  CpuLists lists;
  for (int i = 0; i < cpu_count; ++i) lists.all.push_back(i);
  lists.fast = lists.all;
  lists.slow = lists.all;
  return lists;
}

CpuLists InitCpuIdxs(int cpu_count) {
  std::vector<int64_t> freqs;
  int64_t sum = 0;
  for (int i = 0; i < cpu_count; ++i) {
    const int64_t freq = ReadMaxFreq(i);
    if (freq < 0) {
      Print(kKilnTag, 0,
            "%s[%s:%d] Get CpuInfo from /sys/devices/system/cpu/cpu%d/cpufreq/cpuinfo_max_freq failed use default "
            "result\n",
            __func__, kCpuInfoSource, __LINE__, i);
      return DefaultLists(cpu_count);
    }
    freqs.push_back(freq);
    sum += freq;
  }
  CpuLists lists;
  if (cpu_count <= 0) return lists;
  const int64_t average = sum / cpu_count;
  for (int i = 0; i < cpu_count; ++i) {
    lists.all.push_back(i);
    (freqs[i] >= average ? lists.fast : lists.slow).push_back(i);
  }
  return lists;
}

}  // namespace

CpuLists ReadCpuLists(int cpu_count) { return InitCpuIdxs(cpu_count); }

bool ReadCpuHasAtomics() {
  FILE* file = std::fopen(DevicePath("/proc/cpuinfo").c_str(), "rt");
  if (file == nullptr) return true;  // unknown: assume a modern core
  char line[256];
  bool found = false;
  while (!found && std::fgets(line, sizeof(line), file) != nullptr) {
    found = std::strstr(line, "atomics") != nullptr;
  }
  std::fclose(file);
  return found;
}

const CpuLists& GetCpuLists() {
  static const CpuLists lists = [] {
    const int n = static_cast<int>(std::thread::hardware_concurrency());
    return ReadCpuLists(n < 1 ? 1 : n);
  }();
  return lists;
}

const std::vector<int>& GetCpuList(CpuAffinity affinity) {
  const CpuLists& lists = GetCpuLists();
  switch (affinity) {
    case CpuAffinity::kFast:
      return lists.fast;
    case CpuAffinity::kSlow:
      return lists.slow;
    default:
      return lists.all;
  }
}

bool CpuHasAtomics() {
  static const bool atomics = ReadCpuHasAtomics();
  return atomics;
}

void PinCurrentThread(const std::vector<int>& cpus) {
  if (cpus.empty()) return;
  cpu_set_t mask;  // 128 bytes: CPUs 0..1023
  CPU_ZERO(&mask);
  for (int cpu : cpus) {
    if (cpu >= 0 && cpu < CPU_SETSIZE) CPU_SET(cpu, &mask);
  }
  const pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
  (void)sched_setaffinity(tid, sizeof(mask), &mask);  // best effort: an unpinned thread still works
}

std::string PoolThreadName(const std::string& pool_name, char group, int number) {
  char name[16];  // the kernel keeps 15 characters + NUL
  std::snprintf(name, sizeof(name), "%.12s%c%02u", pool_name.c_str(), group, static_cast<unsigned>(number) % 100u);
  return name;
}

void NameCurrentThread(const std::string& name) { prctl(PR_SET_NAME, name.c_str(), 0, 0, 0); }

}  // namespace kiln
