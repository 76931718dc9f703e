// CPU sets by maximum frequency, thread pinning and thread naming.
#ifndef KILN_RUNTIME_UTILS_CPU_INFO_H_
#define KILN_RUNTIME_UTILS_CPU_INFO_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kiln {

// Which CPUs a group of pool threads may run on. Any value other than the
// three below is treated as kAll.
enum class CpuAffinity : uint32_t {
  kAll = 0,
  kFast = 1,
  kSlow = 2,
};

// The three CPU lists, each in ascending CPU order. Plain value, owned by
// whoever built it; the process-wide copy is owned by cpu_info.cpp.
struct CpuLists {
  std::vector<int> all;
  std::vector<int> fast;
  std::vector<int> slow;
};

// Reads ".../cpu%d/cpufreq/cpuinfo_max_freq" for CPUs 0..cpu_count-1 (through
// DevicePath) and splits them at the average frequency. When any file is
// missing or unreadable every CPU goes into all three lists. Reads the files
// on every call; the pool uses the process-wide copy below.
CpuLists ReadCpuLists(int cpu_count);

// True when a line of /proc/cpuinfo mentions "atomics", or the file cannot
// be opened. Reads the file on every call.
bool ReadCpuHasAtomics();

// Process-wide lists, built on first use from the hardware concurrency and
// kept until exit.
const CpuLists& GetCpuLists();
// The process-wide list for an affinity (kAll for unknown values).
const std::vector<int>& GetCpuList(CpuAffinity affinity);
// Process-wide "atomics" flag, read on first use.
bool CpuHasAtomics();

// Restricts the calling thread to the CPUs in cpus; an empty list leaves the
// thread unpinned. Failures of sched_setaffinity are ignored.
void PinCurrentThread(const std::vector<int>& cpus);

// The kernel name of a pool thread: the first 12 characters of pool_name,
// the group letter ('C' compute, 'A' async), then number % 100 as "%02d".
std::string PoolThreadName(const std::string& pool_name, char group, int number);
// Names the calling thread (prctl PR_SET_NAME).
void NameCurrentThread(const std::string& name);

}  // namespace kiln

#endif  // KILN_RUNTIME_UTILS_CPU_INFO_H_
