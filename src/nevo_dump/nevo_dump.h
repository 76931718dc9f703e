// Debug dumps of one capture: a JSON description, its text form, the raw
// input frames and the output images, under
// /data/vendor/camera/nevo_dump/<lower-case tag>/.
// Owned by value by an AlgoWrapper; driven by its lifecycle on the HAL's
// thread (never concurrently). Dump failures are logged, never returned.
#ifndef NEVO_DUMP_NEVO_DUMP_H_
#define NEVO_DUMP_NEVO_DUMP_H_

#include <string>

#include <nlohmann/json.hpp>

#include "kiln/runtime/context/context.h"
#include "nevo/nevo.h"

class NevoDump {
 public:
  // From Init, after the wrapper copied the init parameters. Reads the dump
  // properties when config.dump is set; with the debug property it renames
  // the capture in init_param (the wrapper's own copy, kept for later steps).
  void InitStep(kiln::Context* ctx, const std::string& tag, const NevoAlgoConfig& config,
                NevoInitParam& init_param);
  // From Start: folder, file prefix and the start parameters.
  void StartStep(const NevoStartParam& start_param);
  // From AddFrame, after the frame is stored in its slot.
  void InputStep(int index, const NevoFrame& frame);
  // From Run, after the status text was written.
  void OutputStep(const NevoOutput& output, int anchor);

  bool enabled() const { return dump_enable_ != 0; }
  const std::string& prefix() const { return dump_prefix_; }
  const std::string& json_path() const { return dump_json_path_; }
  const std::string& txt_path() const { return dump_txt_path_; }

 private:
  bool Active() const;
  void Save();

  kiln::Context* ctx_ = nullptr;
  std::string tag_;
  NevoAlgoConfig config_{};
  const NevoInitParam* init_param_ = nullptr;
  const NevoStartParam* start_param_ = nullptr;
  bool folder_ok_ = false;

  int dump_enable_ = 0;
  int dump_debug_ = 0;
  int dump_input_ = 1;
  int dump_output_ = 1;
  int dump_txt_ = 1;
  int dump_select_ = 1;
  std::string dump_prefix_;
  std::string dump_json_path_;
  std::string dump_txt_path_;
  nlohmann::json dump_doc_;
};

#endif  // NEVO_DUMP_NEVO_DUMP_H_
