// Timing of one lifecycle phase on the steady clock.
#ifndef NEVO_ALGO_WRAPPER_PHASE_TIME_H_
#define NEVO_ALGO_WRAPPER_PHASE_TIME_H_

#include <cstdint>
#include <string>

// A steady-clock instant split as seconds, milliseconds and microseconds.
struct PhaseStamp {
  int64_t sec = 0;
  int32_t ms = 0;
  int32_t us = 0;

  static PhaseStamp Now();
  int64_t Micros() const { return sec * 1000000 + ms * 1000 + us; }
};

// Owned by value by the wrapper; written by one thread at a time.
struct PhaseTime {
  static constexpr int32_t kRunning = 2;
  static constexpr int32_t kFinished = 3;

  PhaseStamp start;
  PhaseStamp end;
  int32_t state = 0;

  void Begin();
  void Finish();
  // (end - start) in milliseconds with the microsecond fraction; 0 unless finished.
  double DurationMs() const;
  // "(12.345ms) [start_us, end_us]"
  std::string Text() const;
};

#endif  // NEVO_ALGO_WRAPPER_PHASE_TIME_H_
