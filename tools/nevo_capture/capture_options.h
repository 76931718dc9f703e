// Command line of nevo-capture and the names it accepts.
#ifndef TOOLS_NEVO_CAPTURE_CAPTURE_OPTIONS_H_
#define TOOLS_NEVO_CAPTURE_CAPTURE_OPTIONS_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/nevo_capture/burst_synth.h"

namespace nevo_capture {

struct CaptureOptions {
  int algo = 3;                 // NEVO_HDR
  int vendor = 0;               // 0 in-house, 1 ArcSoft
  int frames = 3;
  bool frames_given = false;
  std::vector<int> ev;          // empty: the algorithm's default bracket
  int width = 1024;
  int height = 768;
  int bits = 12;
  int pattern = 0;              // RGGB
  double iso = 800.0;
  double shake = 2.0;           // px
  uint64_t seed = 1;
  int sensor_type = 1;          // "w"
  int out_scale = 0;            // 0: 2 for SR, else 1
  int log_level = 0;
  bool select = false;
  bool dump = false;
  std::string config_path;      // empty: generate nevo.json
  std::string out_dir = "nevo_capture_out";
  std::vector<std::pair<std::string, std::string>> props;
};

enum class ParseStatus { kRun, kHelp, kError };

// Parses argv (argv[0] is skipped). "--name value" and "--name=value" are
// both accepted. On kError `error` holds a one-line reason.
ParseStatus ParseOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);

// The --help text: options, defaults, and the burst model.
std::string HelpText();

// Algorithm type from a short name (any case: hdr, nr_ll, ...) or a number
// 0..16; false for anything else.
bool ParseAlgoType(const std::string& text, int* type);
// "HDR" for 3, ..., "INVALID" outside 1..16.
const char* AlgoShortName(int type);
// Configuration section of a type: "NEVO_" + short name, "NEVO_BYPASS" for 0.
std::string AlgoSectionName(int type);
// The type whose section the engine builds the wrapper from (HDR_LL, SE and
// SESR share SE's; NR_50M and NR_LL_50M share NR_LL_50M's).
int ConfigTypeOf(int type);
// Sensor type from "w", "uw", "t", "st", "fw", "fuw" or 1..6.
bool ParseSensorType(const std::string& text, int* type);

// EV list: [-2, 0, +2, 0, ...] for the HDR family (HDR, HDR_LL, HDSR,
// HDR_F, SNSC_HDR), all zeros otherwise.
std::vector<int> DefaultEvList(int algo, int frames);
// The burst the options ask for.
BurstParams BurstParamsFrom(const CaptureOptions& options);
// Output size factor: --out-scale, else 2 for SR and 1 otherwise.
int OutputScale(const CaptureOptions& options);

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_CAPTURE_OPTIONS_H_
