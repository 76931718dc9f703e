#include "nevo_algo_wrapper/phase_time.h"

#include <chrono>
#include <cstdio>

PhaseStamp PhaseStamp::Now() {
  const int64_t ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  PhaseStamp s;
  s.sec = ns / 1000000000;
  s.ms = static_cast<int32_t>((ns % 1000000000) / 1000000);
  s.us = static_cast<int32_t>(((ns % 1000000000) / 1000) % 1000);
  return s;
}

void PhaseTime::Begin() {
  start = PhaseStamp::Now();
  end = PhaseStamp();
  state = kRunning;
}

void PhaseTime::Finish() {
  end = PhaseStamp::Now();
  state = kFinished;
}

double PhaseTime::DurationMs() const {
  if (state != kFinished) return 0.0;
  return static_cast<double>(end.Micros() - start.Micros()) / 1000.0;
}

std::string PhaseTime::Text() const {
  char text[96];
  std::snprintf(text, sizeof(text), "(%.3fms) [%lld, %lld]", DurationMs(), static_cast<long long>(start.Micros()),
                static_cast<long long>(end.Micros()));
  return text;
}
