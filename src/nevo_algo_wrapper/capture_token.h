// CaptureToken: one capture at a time per vendor library, across engines.
// One static instance per adapter source file, living for the process.
// Concurrency: WaitForLast blocks until the previous owner called
// ResetToReady; both are safe from any thread (own mutex and condition).
#ifndef NEVO_ALGO_WRAPPER_CAPTURE_TOKEN_H_
#define NEVO_ALGO_WRAPPER_CAPTURE_TOKEN_H_

#include <condition_variable>
#include <mutex>

class CaptureToken {
 public:
  CaptureToken() = default;
  CaptureToken(const CaptureToken&) = delete;
  CaptureToken& operator=(const CaptureToken&) = delete;

  // Waits until the token is ready, then takes it for owner.
  void WaitForLast(const void* owner);
  // Gives the token back when owner holds it.
  void ResetToReady(const void* owner);

  bool IsReady();

 private:
  std::mutex mutex_;
  std::condition_variable cond_;
  const void* owner_ = nullptr;
  bool ready_ = true;
};

#endif  // NEVO_ALGO_WRAPPER_CAPTURE_TOKEN_H_
