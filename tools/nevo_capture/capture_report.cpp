#include "tools/nevo_capture/capture_report.h"

#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

namespace nevo_capture {

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool WriteRawImage(const std::string& dir, const std::string& stem, const NevoImage& image, const U16View& view,
                   std::string* error) {
  if (view.data == nullptr || view.width <= 0 || view.height <= 0) {
    *error = "no image to write for " + stem;
    return false;
  }
  const std::string raw_name = stem + ".raw";
  const size_t row_bytes = static_cast<size_t>(view.width) * view.channels * 2;
  {
    std::ofstream out(dir + "/" + raw_name, std::ios::binary | std::ios::trunc);
    for (int y = 0; y < view.height && out; ++y) {
      out.write(reinterpret_cast<const char*>(view.Row(y)), static_cast<std::streamsize>(row_bytes));
    }
    out.close();
    if (!out) {
      *error = "cannot write " + dir + "/" + raw_name;
      return false;
    }
  }
  const nlohmann::json sidecar = {{"file", raw_name},
                                  {"width", view.width},
                                  {"height", view.height},
                                  {"format", image.format},
                                  {"pattern", image.pattern},
                                  {"elem_type", image.elem_type},
                                  {"channels", view.channels},
                                  {"pitch", row_bytes}};
  return WriteTextFile(dir + "/" + stem + ".json", sidecar.dump(4) + "\n", error);
}

std::string TimingText(const std::vector<TimedStep>& steps) {
  std::string text;
  char line[160];
  std::snprintf(line, sizeof(line), "%-24s %10s %12s\n", "step", "status", "wall ms");
  text += line;
  double module_ms = 0.0;
  double total_ms = 0.0;
  for (const TimedStep& s : steps) {
    if (s.module_call) {
      std::snprintf(line, sizeof(line), "%-24s %10d %12.3f\n", s.name.c_str(), s.status, s.ms);
      module_ms += s.ms;
    } else {
      std::snprintf(line, sizeof(line), "%-24s %10s %12.3f\n", s.name.c_str(), "-", s.ms);
    }
    total_ms += s.ms;
    text += line;
  }
  std::snprintf(line, sizeof(line), "%-24s %10s %12.3f\n", "module calls", "", module_ms);
  text += line;
  std::snprintf(line, sizeof(line), "%-24s %10s %12.3f\n", "total", "", total_ms);
  text += line;
  return text;
}

}  // namespace nevo_capture
