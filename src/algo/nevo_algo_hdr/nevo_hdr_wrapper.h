// Adapters of the QX multi-frame RAW HDR library: HdrWrapper (HDR) and
// HdsrWrapper (HDSR), one behaviour over separate loaders.
#ifndef ALGO_NEVO_ALGO_HDR_NEVO_HDR_WRAPPER_H_
#define ALGO_NEVO_ALGO_HDR_NEVO_HDR_WRAPPER_H_

#include <memory>

#include "nevo_algo_wrapper/algo_wrapper.h"
#include "qx_hdr_raw.h"

// What differs between the two adapters: their loader and one log word.
struct HdrVariant {
  const char* word;  // "hdr" or "hdsr"
};

// Slots of every frame and the output, shared with the library while a
// capture runs. Owned by the wrapper from AlgoInit to AlgoUnit.
struct HdrParam {
  HDR_RAW_OFFSCREEN images[ZRV_HDR_MAX_INPUT];
  HDR_FRAME_INFO infos[ZRV_HDR_MAX_INPUT];
  HDR_RAW_OUTPUTINFO output;
};

// The adapter body over Library (HdrLibrary or HdsrLibrary). Owned by the
// engine like every wrapper. Concurrency: as AlgoWrapper: operations come one
// at a time, AlgoTerminate may come from another thread and only reads
// handle_; the anchor callback runs on the thread inside Process.
template <typename Library>
class QxHdrWrapper : public AlgoWrapper {
 public:
  QxHdrWrapper(kiln::Context* ctx, const NevoAlgoConfig& config, uint32_t algo_type, HdrVariant variant)
      : AlgoWrapper(ctx, config, algo_type), variant_(variant) {}
  ~QxHdrWrapper() override;

 protected:
  int AlgoInit(const NevoInitParam& param) override;
  int AlgoUnit() override;
  int AlgoStart(const NevoStartParam& param, NevoGetAnchorFunc get_anchor_func, void* user_data) override;
  int AlgoAddFrame(const NevoFrame& frame, NevoOutput* output) override;
  int AlgoRun() override;
  int AlgoTerminate() override;
  int AlgoSelectAnchor(int* anchor) override;

 private:
  static int OnAnchor(int* frame_index, void* user_data);
  static int OnProgress(ZRV_HDR_SYNC_PROGRESS_DATA data, void* user_data);
  int InvalidHandle();

  const HdrVariant variant_;
  std::atomic<void*> handle_{nullptr};
  std::shared_ptr<HdrParam> hdr_param_;
};

class HdrLibrary;
class HdsrLibrary;

extern template class QxHdrWrapper<HdrLibrary>;
extern template class QxHdrWrapper<HdsrLibrary>;

// HDR adapter (type 3).
class HdrWrapper final : public QxHdrWrapper<HdrLibrary> {
 public:
  HdrWrapper(kiln::Context* ctx, const NevoAlgoConfig& config, uint32_t algo_type);
};

#endif  // ALGO_NEVO_ALGO_HDR_NEVO_HDR_WRAPPER_H_
