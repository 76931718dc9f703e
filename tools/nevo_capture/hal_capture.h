// One capture driven through the public interface, as a camera HAL does.
#ifndef TOOLS_NEVO_CAPTURE_HAL_CAPTURE_H_
#define TOOLS_NEVO_CAPTURE_HAL_CAPTURE_H_

#include <atomic>
#include <string>
#include <vector>

#include "nevo/nevo.h"
#include "tools/nevo_capture/burst_synth.h"
#include "tools/nevo_capture/capture_options.h"
#include "tools/nevo_capture/capture_report.h"
#include "tools/nevo_capture/hal_buffer.h"
#include "tools/nevo_capture/preview.h"

namespace nevo_capture {

struct CaptureResult {
  int status = 0;              // first failing call's status, 0 on success
  std::string failed_call;     // empty on success
  int anchor_reported = -1;    // last index given to the anchor callback
  int anchor_calls = 0;
  int selected_anchor = -1;    // NevoSelectAnchor's answer (--select)
  std::string exif;            // NevoOutput.exif_info after the run
  std::vector<TimedStep> calls;
};

// Owned by main; runs exactly one capture. Owns the HAL buffers (inputs and
// output) and the records, and keeps the output buffer after Run so it can
// be written out.
// Threads: Run is called on one thread; the module calls the anchor
// callback on its own worker thread, which only stores into atomics of this
// object. The log callback (StderrLogPrint) may run on any thread.
class HalCapture {
 public:
  HalCapture(const CaptureOptions& options, const Burst& burst, int output_format);

  // Portrait captures: Create enables bokeh depth and the block is handed to
  // NevoSetDepthParam after the last frame. Not owned; must outlive Run.
  void SetDepthParam(const NevoDepthParam* depth) { depth_ = depth; }

  // Create, Init, Start, AddFrame per frame, Run or SelectAnchor, Unit,
  // Destroy. Once a handle exists, Unit and Destroy are called even after a
  // failure. Returns true when every call returned 0 (or 1002301, the EV0
  // fallback, after which the capture goes on).
  bool Run(CaptureResult* result);

  const NevoImage& output_image() const { return output_.img[0]; }
  U16View OutputView() const;
  // The anchor frame's input buffer.
  U16View AnchorView() const;

 private:
  static int OnAnchor(int* frame_index, void* user_data);
  // Runs call() (returning a status) and records it with its wall time.
  template <typename Call>
  bool Timed(const char* name, CaptureResult* result, Call call);
  // Records a timed step; the first failure becomes the capture's status.
  bool Step(const char* call, int status, double ms, CaptureResult* result, bool module_call = true);

  const CaptureOptions& options_;
  const Burst& burst_;
  std::vector<HalBuffer> inputs_;
  HalBuffer output_buffer_;
  const NevoDepthParam* depth_ = nullptr;
  NevoOutput output_{};
  std::atomic<int> anchor_reported_{-1};
  std::atomic<int> anchor_calls_{0};
};

// The log callback handed to NevoSetLogPrint: "<E|I|D>/<tag>: <text>" on
// standard error, one write per record.
int StderrLogPrint(int level, const char* tag, const char* format, ...);

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_HAL_CAPTURE_H_
