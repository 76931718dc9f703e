// libnevo_library_probe.so: small, thread-safe entry points whose effects
// the loader tests can observe. Probe_Missing is deliberately left out.
#include "nevo_library_probe.h"

#include <atomic>
#include <chrono>
#include <stdexcept>

namespace {

std::atomic<long> g_calls{0};

void CountCall() { g_calls.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

extern "C" {

const ProbeVersion* Probe_GetVersion(void) {
  static const ProbeVersion version = {3, 1, 4, 15};
  CountCall();
  return &version;
}

long Probe_Echo(long result) {
  CountCall();
  return result;
}

int Probe_Add(int a, int b, int* sum) {
  CountCall();
  if (sum == nullptr) return -1;
  *sum = a + b;
  return 0;
}

void Probe_Touch(int* counter) {
  CountCall();
  if (counter != nullptr) ++*counter;
}

int Probe_Stamp(long long* steady_us) {
  CountCall();
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  *steady_us = static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
  return 0;
}

int Probe_Throw(void) {
  CountCall();
  throw std::runtime_error("probe failure");
}

long Probe_ControlCallCount(void) { return g_calls.load(std::memory_order_relaxed); }

}  // extern "C"
