#include "kiln/runtime/utils/cpu_info.h"

namespace kiln {

CpuLists ReadCpuLists(int cpu_count) {
  CpuLists lists;
  for (int i = 0; i < cpu_count; ++i) lists.all.push_back(i);
  lists.fast = lists.all;
  lists.slow = lists.all;
  return lists;
}

bool ReadCpuHasAtomics() { return true; }

const CpuLists& GetCpuLists() {
  static const CpuLists lists = ReadCpuLists(1);
  return lists;
}

const std::vector<int>& GetCpuList(CpuAffinity) { return GetCpuLists().all; }

bool CpuHasAtomics() { return true; }

void PinCurrentThread(const std::vector<int>&) {}

std::string PoolThreadName(const std::string& pool_name, char, int) { return pool_name; }

void NameCurrentThread(const std::string&) {}

}  // namespace kiln
