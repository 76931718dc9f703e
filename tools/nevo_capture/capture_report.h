// The files nevo-capture leaves in its output folder, besides the previews.
#ifndef TOOLS_NEVO_CAPTURE_CAPTURE_REPORT_H_
#define TOOLS_NEVO_CAPTURE_CAPTURE_REPORT_H_

#include <string>
#include <vector>

#include "nevo/nevo.h"
#include "tools/nevo_capture/preview.h"

namespace nevo_capture {

struct TimedStep {
  std::string name;
  int status = 0;     // module status of a call; 0 for the tool's own steps
  double ms = 0.0;
  bool module_call = true;
};

// output.raw (rows of width * channels * 2 bytes, the given pitch dropped)
// and output.json describing it. False with a reason on an I/O failure.
bool WriteRawImage(const std::string& dir, const std::string& stem, const NevoImage& image, const U16View& view,
                   std::string* error);

// Text of the timing table: one line per step, then the sum of the module
// calls and of everything.
std::string TimingText(const std::vector<TimedStep>& steps);

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error);

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_CAPTURE_REPORT_H_
