// Timing of one lifecycle phase on the steady clock.
#ifndef NEVO_ALGO_WRAPPER_PHASE_TIME_H_
#define NEVO_ALGO_WRAPPER_PHASE_TIME_H_

#include <atomic>
#include <cstdint>
#include <string>

// Microseconds on the steady clock.
int64_t NevoSteadyMicros();

// Owned by value by the wrapper. One thread writes a phase (the run task its
// run phase, the depth task its depth phase) while the caller's thread may
// read it for the status text: the fields are atomics, and a reader sees a
// finished phase only after both stamps are stored.
class PhaseTime {
 public:
  static constexpr int32_t kRunning = 2;
  static constexpr int32_t kFinished = 3;

  PhaseTime() = default;
  PhaseTime(const PhaseTime& other) { Set(other.start_us(), other.end_us(), other.state()); }
  PhaseTime& operator=(const PhaseTime& other) {
    if (this != &other) Set(other.start_us(), other.end_us(), other.state());
    return *this;
  }

  void Begin();
  void Finish();
  void Set(int64_t start_us, int64_t end_us, int32_t state);

  int64_t start_us() const { return start_us_.load(); }
  int64_t end_us() const { return end_us_.load(); }
  int32_t state() const { return state_.load(); }
  // (end - start) in milliseconds with the microsecond fraction; 0 unless finished.
  double DurationMs() const;
  // "(12.345ms) [start_us, end_us]"
  std::string Text() const;

 private:
  std::atomic<int64_t> start_us_{0};
  std::atomic<int64_t> end_us_{0};
  std::atomic<int32_t> state_{0};
};

#endif  // NEVO_ALGO_WRAPPER_PHASE_TIME_H_
