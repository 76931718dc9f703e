// NevoEngine: the object behind one handle.
// Owned by shared references: the handle's, plus the temporary copy that
// NevoDestroy hands to Destroy.
// Concurrency: lifecycle calls are serialised by the engine mutex;
// Terminate does not take it, so it may run while another call waits inside.
#ifndef NEVO_ENGINE_NEVO_ENGINE_H_
#define NEVO_ENGINE_NEVO_ENGINE_H_

#include <cstdint>
#include <memory>
#include <mutex>

#include "nevo/nevo.h"

class NevoEngine {
 public:
  explicit NevoEngine(const NevoConfig& config);
  ~NevoEngine();
  NevoEngine(const NevoEngine&) = delete;
  NevoEngine& operator=(const NevoEngine&) = delete;

  // Never returns an empty reference.
  static std::shared_ptr<NevoEngine> Create(const NevoConfig& config);
  // Drops the given reference; the engine goes with its last owner.
  static void Destroy(std::shared_ptr<NevoEngine> engine);

  int Init(const NevoInitParam& init_param);
  int Start(const NevoStartParam& start_param, NevoGetAnchorFunc get_anchor_func, void* user_data);
  int AddFrame(const NevoFrame& frame, NevoOutput* output);
  int Run();
  int SelectAnchor(int* frame_index);
  int Terminate();
  int Unit();
  int NevoSetDepthParam(const NevoDepthParam& depth_param);

  const NevoConfig& config() const { return config_; }
  uint32_t algo_type() const { return algo_type_; }

 private:
  NevoConfig config_;
  NevoInitParam init_param_;
  uint32_t algo_type_ = 0;
  std::mutex mutex_;
};

#endif  // NEVO_ENGINE_NEVO_ENGINE_H_
