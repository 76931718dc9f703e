#include "tools/nevo_capture/capture_sysroot.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <thread>

#include <nlohmann/json.hpp>

namespace nevo_capture {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

bool WriteText(const fs::path& path, const std::string& text, std::string* error) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

bool ReadText(const fs::path& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The correction fallback writes output image 0 in this format.
int CorrectOutputFmt(int output_format) { return output_format == 0 || output_format == 2 ? output_format : 1; }

std::string GenerateCorrectImageJson(int output_format) {
  json doc = json::object();
  for (int type = 0; type <= 16; ++type) {
    doc[std::to_string(type)] = {{"output_fmt", CorrectOutputFmt(output_format)},
                                 {"output_xdr_enable", 1},
                                 {"output_ur_enable", 1},
                                 {"blc_enable", 1},
                                 {"lsc_enable", 1},
                                 {"dgain_enable", 1},
                                 {"dgain_apply_adrc", 1},
                                 {"dgain_apply_EV_offset", 1},
                                 {"output_xdr_fmt", 0},
                                 {"output_ur_fmt", 0}};
  }
  return doc.dump(4) + "\n";
}

// Maximum frequency of each host CPU, so the worker pool sees a plausible
// big/little split (all equal when the host tree is unreadable).
bool WriteCpuTree(const fs::path& root, std::string* error) {
  const unsigned cpus = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < cpus; ++i) {
    const std::string rel = "sys/devices/system/cpu/cpu" + std::to_string(i) + "/cpufreq/cpuinfo_max_freq";
    std::string freq;
    if (!ReadText("/" + rel, &freq) || freq.empty()) freq = "2000000\n";
    if (!WriteText(root / rel, freq, error)) return false;
  }
  std::string cpuinfo;
  if (!ReadText("/proc/cpuinfo", &cpuinfo)) cpuinfo.clear();
  return WriteText(root / "proc/cpuinfo", cpuinfo, error);
}

}  // namespace

CaptureSysroot::~CaptureSysroot() {
  if (root_.empty()) return;
  if (had_env_) {
    setenv("NEVO_SYSROOT", saved_env_.c_str(), 1);
  } else {
    unsetenv("NEVO_SYSROOT");
  }
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string CaptureSysroot::GenerateNevoJson(const CaptureOptions& o) {
  const json section = {{"enable", 1},
                        {"enable_anchor", o.select ? 1 : 0},
                        {"bypass", 0},
                        {"input_format", 0},
                        {"output_format", 1},
                        {"vendor_type", o.vendor}};
  json algo = json::object();
  algo[AlgoSectionName(o.algo)] = section;
  // Types that share another type's wrapper are configured through both.
  algo[AlgoSectionName(ConfigTypeOf(o.algo))] = section;
  return json{{"nevo", {{"algo", algo}}}}.dump(4) + "\n";
}

int CaptureSysroot::OutputFormatOf(const std::string& text, int algo) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return 1;
  const json* node = &doc;
  for (const std::string& key : {std::string("nevo"), std::string("algo"), AlgoSectionName(ConfigTypeOf(algo))}) {
    if (!node->is_object() || !node->contains(key)) return 1;
    node = &(*node)[key];
  }
  if (!node->is_object() || !node->contains("output_format")) return 1;
  const json& value = (*node)["output_format"];
  return value.is_number_integer() ? value.get<int>() : 1;
}

std::string CaptureSysroot::DumpDir() const { return root_.empty() ? root_ : root_ + "/data/vendor/camera/nevo_dump"; }

bool CaptureSysroot::Create(const CaptureOptions& options, std::string* error) {
  std::string config;
  if (!options.config_path.empty()) {
    if (!ReadText(options.config_path, &config)) {
      *error = "cannot read --config file " + options.config_path;
      return false;
    }
  } else {
    config = GenerateNevoJson(options);
  }
  output_format_ = OutputFormatOf(config, options.algo);

  // Remembered before anything can fail: the destructor restores it.
  const char* previous = std::getenv("NEVO_SYSROOT");
  had_env_ = previous != nullptr;
  if (had_env_) saved_env_ = previous;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/nevo-capture-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    *error = "cannot create a temporary directory from " + pattern;
    return false;
  }
  root_ = pattern;
  const fs::path root(root_);
  std::error_code ec;
  fs::create_directories(root / "data/vendor/camera/nevo_dump", ec);
  if (ec) {
    *error = "cannot create " + (root / "data/vendor/camera/nevo_dump").string() + ": " + ec.message();
    return false;
  }
  if (!WriteText(root / "odm/etc/camera/nevo.json", config, error) ||
      !WriteText(root / "odm/etc/camera/nevo_correct_image.json", GenerateCorrectImageJson(output_format_), error) ||
      !WriteText(root / "sys/kernel/tracing/trace_marker", "", error) || !WriteCpuTree(root, error)) {
    return false;
  }
  setenv("NEVO_SYSROOT", root_.c_str(), 1);
  return true;
}

}  // namespace nevo_capture
