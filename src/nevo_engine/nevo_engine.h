// NevoEngine: the object behind one handle. It owns the kiln context, the
// normalised configuration and one wrapper per algorithm type.
// Owned by shared references: the handle's, plus the temporary copy that
// NevoDestroy hands to Destroy.
// Concurrency: lifecycle calls hold mutex_ for their whole duration;
// Terminate does not, so it can reach a wrapper while another call waits
// inside one. Wrapper lookups (which touch the document and the map) take the
// short lookup_mutex_ only, never while a wrapper operation runs.
#ifndef NEVO_ENGINE_NEVO_ENGINE_H_
#define NEVO_ENGINE_NEVO_ENGINE_H_

#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "kiln/runtime/context/context.h"
#include "nevo/nevo.h"
#include "nevo_algo_wrapper/algo_wrapper.h"

constexpr const char* kNevoConfigPath = "/odm/etc/camera/nevo.json";

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

  // Loads the file (defaults when missing) and normalises the global keys.
  void LoadJsonConfig(const std::string& path);
  // The wrapper of the current algorithm type, created on first use.
  std::shared_ptr<AlgoWrapper> GetWrapper();
  // Logs and clears the context's error history when it holds errors.
  void FlushError();

  // The NevoAlgoConfig of type t, after normalising its section.
  NevoAlgoConfig BuildAlgoConfig(int algo_type);
  // A copy of the normalised document (for inspection).
  nlohmann::json GetJson();
  kiln::Context* context() const { return ctx_.get(); }
  uint32_t algo_type() const { return algo_type_; }

 private:
  void NormaliseSection(int algo_type);
  void NormaliseDepthSection();
  std::shared_ptr<AlgoWrapper> CreateWrapper(int algo_type, int vendor);
  std::shared_ptr<AlgoWrapper> LookupWrapper();
  void Record(const char* function, int line, const std::string& text);

  std::shared_ptr<kiln::Context> ctx_;
  nlohmann::json json_;
  NevoConfig config_;
  NevoInitParam init_param_;
  uint32_t algo_type_ = 0;
  std::unordered_map<int, std::shared_ptr<AlgoWrapper>> wrappers_;
  std::shared_future<int> depth_result_;
  std::mutex mutex_;
  std::mutex lookup_mutex_;
};

#endif  // NEVO_ENGINE_NEVO_ENGINE_H_
