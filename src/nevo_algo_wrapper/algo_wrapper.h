// AlgoWrapper: the per-capture state machine every algorithm adapter shares.
// Owned by the engine (shared reference in its wrapper map), one per
// algorithm type, reused by later captures; the context is borrowed.
// Concurrency: the engine calls the public operations one at a time, except
// Terminate, which may come from another thread at any moment and only issues
// AlgoTerminate. The run task runs on a worker-pool thread; Run, Unit and
// WaitNotify meet it only through run_future_. SetAnchor and SendNotify may
// come from vendor callback threads.
#ifndef NEVO_ALGO_WRAPPER_ALGO_WRAPPER_H_
#define NEVO_ALGO_WRAPPER_ALGO_WRAPPER_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"
#include "nevo/nevo.h"
#include "nevo_algo_wrapper/phase_time.h"
#include "nevo_dump/nevo_dump.h"

class AlgoWrapper {
 public:
  AlgoWrapper(kiln::Context* ctx, const NevoAlgoConfig& config, uint32_t algo_type);
  virtual ~AlgoWrapper();
  AlgoWrapper(const AlgoWrapper&) = delete;
  AlgoWrapper& operator=(const AlgoWrapper&) = delete;

  int Init(const NevoInitParam& param);
  int Start(const NevoStartParam& param, NevoGetAnchorFunc get_anchor_func, void* user_data);
  int AddFrame(const NevoFrame& frame, NevoOutput* output);
  int Run();
  int SelectAnchor(int* anchor);
  int Terminate();
  int Unit();

  // Blocks as sync_mode says until the depth task may start.
  int WaitNotify();
  // The library chose the base frame: report it to the HAL.
  int SetAnchor(int frame_index);
  // From a progress callback once the configured sync_id is reached.
  void SendNotify();
  // EV0 fallback into the output, by bypass_func.
  int CorrectImage();

  const std::string& tag() const { return tag_; }
  uint32_t algo_type() const { return algo_type_; }
  const NevoAlgoConfig& config() const { return config_; }
  int sync_mode() const { return config_.sync_mode; }
  int sync_id() const { return config_.sync_id; }
  int anchor() const { return anchor_.load(); }
  int bypass_state() const { return bypass_state_.load(); }
  int wrapper_status() const { return wrapper_status_.load(); }
  int added_count() const { return added_count_; }
  const NevoFrame& frame(int index) const { return frames_[index]; }
  PhaseTime& frame_time(int index) { return frame_times_[index]; }
  PhaseTime& depth_time() { return depth_time_; }
  const char* algo_exif() const { return algo_exif_; }

 protected:
  // The seven algorithm operations of an adapter; see the calling points in
  // the public operations. Any non-zero result is a status code.
  virtual int AlgoInit(const NevoInitParam& param) = 0;
  virtual int AlgoUnit() = 0;
  virtual int AlgoStart(const NevoStartParam& param, NevoGetAnchorFunc get_anchor_func, void* user_data) = 0;
  virtual int AlgoAddFrame(const NevoFrame& frame, NevoOutput* output) = 0;
  virtual int AlgoRun() = 0;
  virtual int AlgoTerminate() = 0;
  virtual int AlgoSelectAnchor(int* anchor) = 0;

  // Logging through the context's logger (else NevoPrint) with this tag.
  void Log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  kiln::Context* ctx_;
  NevoAlgoConfig config_;
  std::string version_;
  const uint32_t algo_type_;
  NevoInitParam init_param_;
  NevoStartParam start_param_;
  NevoFrame frames_[NEVO_MAX_FRAMES];
  NevoGetAnchorFunc get_anchor_func_ = nullptr;
  void* user_data_ = nullptr;
  NevoOutput* output_ = nullptr;
  int32_t cur_index_ = 0;
  int32_t added_count_ = 0;
  int32_t frame_total_ = 0;
  std::atomic<int32_t> anchor_{0};
  std::atomic<int32_t> wrapper_status_{NEVO_ERR_FAILED};
  std::atomic<int32_t> bypass_state_{0};
  std::string tag_;
  std::atomic<int32_t> set_anchor_count_{0};
  std::shared_future<int> run_future_;
  char algo_exif_[512];

 private:
  int GetToken();
  int ProtectBypass(int& code);
  int RunTask();
  void InitNotify();
  void UnitNotify();
  void UpdateStatus(int ret);
  void PrintTiming();
  std::string TypeName() const;

  PhaseTime init_time_, start_time_, frame_times_[NEVO_MAX_FRAMES], select_time_, run_time_, total_time_,
      unit_time_, depth_time_;

  std::mutex depth_mutex_;
  std::condition_variable depth_cond_;
  bool depth_ready_ = false;
  bool depth_sent_ = false;

  std::vector<kiln::Mat> clones_;
  NevoDump dump_;
};

// The bypass wrapper: no algorithm, every capture takes the EV0 path.
class EmptyWrapper : public AlgoWrapper {
 public:
  using AlgoWrapper::AlgoWrapper;

 protected:
  int AlgoInit(const NevoInitParam&) override { return 0; }
  int AlgoUnit() override { return 0; }
  int AlgoStart(const NevoStartParam&, NevoGetAnchorFunc, void*) override { return 0; }
  int AlgoAddFrame(const NevoFrame&, NevoOutput*) override { return 0; }
  int AlgoRun() override { return 0; }
  int AlgoTerminate() override { return 0; }
  int AlgoSelectAnchor(int* anchor) override;
};

#endif  // NEVO_ALGO_WRAPPER_ALGO_WRAPPER_H_
