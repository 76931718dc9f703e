#include "nevo_algo_wrapper/capture_token.h"

#include <chrono>

#include "nevo_utils/nevo_log.h"

namespace {
constexpr const char* kTag = "NEVO_CTRL";
}

void CaptureToken::WaitForLast(const void* owner) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool waited = !ready_;
  const auto start = std::chrono::steady_clock::now();
  if (waited) {
    NEVO_LOGI(kTag, "wait for last\n");
    cond_.wait(lock, [this] { return ready_; });
  }
  if (!waited) {
    NEVO_LOGI(kTag, "ready for next\n");
  } else {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    NEVO_LOGI(kTag, "ready for next, delay %f ms\n", ms);
  }
  owner_ = owner;
  ready_ = false;
}

void CaptureToken::ResetToReady(const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (owner_ == owner && !ready_) {
    NEVO_LOGI(kTag, "reset to ready\n");
    ready_ = true;
    cond_.notify_one();
  }
}

bool CaptureToken::IsReady() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ready_;
}
