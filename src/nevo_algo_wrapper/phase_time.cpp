#include "nevo_algo_wrapper/phase_time.h"

#include <chrono>
#include <cstdio>

int64_t NevoSteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void PhaseTime::Begin() {
  state_.store(0);
  end_us_.store(0);
  start_us_.store(NevoSteadyMicros());
  state_.store(kRunning);
}

void PhaseTime::Finish() {
  end_us_.store(NevoSteadyMicros());
  state_.store(kFinished);
}

void PhaseTime::Set(int64_t start_us, int64_t end_us, int32_t state) {
  state_.store(0);
  start_us_.store(start_us);
  end_us_.store(end_us);
  state_.store(state);
}

double PhaseTime::DurationMs() const {
  if (state() != kFinished) return 0.0;
  return static_cast<double>(end_us() - start_us()) / 1000.0;
}

std::string PhaseTime::Text() const {
  char text[96];
  std::snprintf(text, sizeof(text), "(%.3fms) [%lld, %lld]", DurationMs(), static_cast<long long>(start_us()),
                static_cast<long long>(end_us()));
  return text;
}
