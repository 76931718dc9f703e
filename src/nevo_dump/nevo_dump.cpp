#include "nevo_dump/nevo_dump.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/utils/device_path.h"
#include "nevo_utils/nevo_algo_names.h"
#include "nevo_utils/nevo_image.h"
#include "nevo_utils/nevo_json.h"
#include "nevo_utils/nevo_json_file.h"
#include "nevo_utils/nevo_json_report.h"
#include "nevo_utils/nevo_log.h"

namespace {

constexpr const char* kTag = "NEVO_DUMP";
constexpr const char* kDumpRoot = "/data/vendor/camera/nevo_dump/";
constexpr const char* kDebugJpg = "IMG_00000000_000000.jpg";

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Reports go to the log one line per record, like every other text we print.
void LogReport(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) NEVO_LOGD(kTag, "%s\n", line.c_str());
}

}  // namespace

void NevoDump::InitStep(kiln::Context* ctx, const std::string& tag, const NevoAlgoConfig& config,
                        NevoInitParam& init_param) {
  ctx_ = ctx;
  tag_ = tag;
  config_ = config;
  init_param_ = &init_param;
  start_param_ = nullptr;
  folder_ok_ = false;
  dump_prefix_.clear();
  dump_json_path_.clear();
  dump_txt_path_.clear();
  dump_enable_ = config.dump;
  if (dump_enable_ == 0) return;

  dump_debug_ = NevoGetPropertyInt("persist.vendor.camera.nevo.dump.debug", 0);
  dump_input_ = NevoGetPropertyInt("persist.vendor.camera.nevo.dump.input", 1);
  dump_output_ = NevoGetPropertyInt("persist.vendor.camera.nevo.dump.output", 1);
  dump_txt_ = NevoGetPropertyInt("persist.vendor.camera.nevo.dump.txt", 1);
  dump_select_ = NevoGetPropertyInt("persist.vendor.camera.nevo.dump.select", 1);
  dump_doc_ = nlohmann::json::object();

  if (dump_debug_ != 0) {
    std::snprintf(init_param.jpg_path, sizeof(init_param.jpg_path), "%s", kDebugJpg);
    NEVO_LOGI(kTag, "debug dump to %s\n", init_param.jpg_path);
  }
  dump_doc_["nevo_version"] = std::string(NevoGetVersion()).substr(0, 24);
  dump_doc_["dump_version"] = "1.0";
  dump_doc_["ro.product.device"] = NevoGetPropertyString("ro.product.device", "unknown");
  dump_doc_["camera_mode"] = config.camera_mode;
  dump_doc_["init_param"] = DumpNevoInitParam(init_param);
  LogReport(NevoInitParam2Str(dump_doc_));
}

bool NevoDump::Active() const {
  if (dump_enable_ == 0 || init_param_ == nullptr) return false;
  return !(init_param_->is_anchor_select != 0 && dump_select_ == 0);
}

void NevoDump::StartStep(const NevoStartParam& start_param) {
  start_param_ = &start_param;
  folder_ok_ = false;
  if (!Active()) return;
  const std::string tag = Lower(tag_);
  const std::string folder = kDumpRoot + tag + "/";
  // jpg_path is NUL-terminated by contract; never read past its array.
  std::string jpg(init_param_->jpg_path, strnlen(init_param_->jpg_path, sizeof(init_param_->jpg_path)));
  // Only the picture's file name names the dump: its folder is the HAL's.
  const size_t slash = jpg.rfind('/');
  if (slash != std::string::npos) jpg = jpg.substr(slash + 1);
  dump_prefix_ = kiln::DevicePath(folder) +
                 NevoFormat("%s_%s_%s_%.1fX%s", NevoStripExtension(jpg).c_str(), tag.c_str(),
                            SensorTypeToString(start_param.sensor_type).c_str(),
                            static_cast<double>(start_param.zoom_info.zoom_ratio),
                            config_.camera_mode == NEVO_CAMERA_MODE_PORTRAIT ? "_bokeh" : "");
  if (NevoMakeDirs(kiln::DevicePath(folder)) != 0) {
    NevoPrint(kNevoLogError, kTag, "%s[%s:%d] make dump folder %s failed\n", "DumpStartParam", __FILE__, __LINE__,
              folder.c_str());
    return;
  }
  folder_ok_ = true;
  const bool select = init_param_->is_anchor_select != 0;
  dump_json_path_ = dump_prefix_ + (select ? "_select.json" : "_rawinfo.json");
  dump_txt_path_ = dump_prefix_ + (select ? "_select.txt" : "_rawinfo.txt");
  dump_doc_["start_param"] = DumpNevoStartParam(start_param);
  LogReport(NevoStartParam2Str(dump_doc_));
}

void NevoDump::Save() {
  SaveNevoJson(dump_json_path_.c_str(), dump_doc_);
  if (dump_txt_ != 0) SaveNevoJsonText(dump_txt_path_.c_str(), dump_doc_);
}

void NevoDump::InputStep(int index, const NevoFrame& frame) {
  if (!Active() || !folder_ok_) return;
  NevoPrintImageInfo(ctx_, frame.img, NevoFormat("frame[%d].img", index));
  const std::string key = std::to_string(index);
  dump_doc_["frame"][key] = DumpNevoFrameParam(frame);
  LogReport(NevoFrameParam2Str(dump_doc_, index));
  if (dump_input_ != 0) {
    const std::string name = NevoFormat("%s_%dx%d_input_%d_EV%d.RAW", dump_prefix_.c_str(), frame.img.width,
                                        frame.img.height, index, frame.ev_value);
    NevoImage2Mat(ctx_, frame.img).Dump(name);
    dump_doc_["input_files"][static_cast<size_t>(index)] = name;
    NEVO_LOGI(kTag, "dump input data %d to %s\n", index, name.c_str());
  }
  Save();
}

void NevoDump::OutputStep(const NevoOutput& output, int anchor) {
  if (!Active() || !folder_ok_) return;
  static constexpr const char* kSlotTitles[] = {"output default:\n", "output ultra raw:\n", "output xdr:\n"};
  for (int slot = 0; slot < 3; ++slot) {
    if (output.img[slot].plane[0] == nullptr) continue;
    NEVO_LOGI(kTag, "%s", kSlotTitles[slot]);
    NevoPrintImageInfo(ctx_, output.img[slot], NevoFormat("output.img[%d]", slot));
  }
  dump_doc_["output"] = DumpNevoOutputParam(output);
  dump_doc_["anchor"] = anchor;
  LogReport(NevoOutputParam2Str(dump_doc_));
  if (dump_output_ != 0) {
    const int count = std::min(std::max(output.img_num, 0), NEVO_MAX_OUTPUTS);
    for (int i = 0; i < count; ++i) {
      const NevoImage& img = output.img[i];
      if (img.plane[0] == nullptr) continue;
      const std::string name =
          NevoFormat("%s_%dx%d_output_%d.RAW", dump_prefix_.c_str(), img.width, img.height, i);
      NevoImage2Mat(ctx_, img).Dump(name);
      dump_doc_["output_files"][static_cast<size_t>(i)] = name;
      NEVO_LOGI(kTag, "dump output data %d to %s\n", i, name.c_str());
    }
    const NevoImage& mask = output.bokeh_mask;
    if (mask.plane[0] != nullptr) {
      const std::string name =
          NevoFormat("%s_%dx%d_output_bokeh_mask.RAW", dump_prefix_.c_str(), mask.width, mask.height);
      NevoImage2Mat(ctx_, mask).Dump(name);
      NEVO_LOGI(kTag, "dump bokeh_mask data to %s\n", name.c_str());
    }
  }
  SaveNevoJson(dump_json_path_.c_str(), dump_doc_);
  NEVO_LOGI(kTag, "dump json to %s\n", dump_json_path_.c_str());
  SaveNevoJsonText(dump_txt_path_.c_str(), dump_doc_);
  NEVO_LOGI(kTag, "dump txt to %s\n", dump_txt_path_.c_str());
}
