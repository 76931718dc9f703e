// The correction's JSON configuration, read on every call so a tuning change
// on the device takes effect with the next capture.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/utils/device_path.h"
#include "algo/nevo_algo_correct_image/nevo_correct_image_impl.h"
#include "nevo_utils/nevo_json_file.h"
#include "nevo_utils/nevo_log.h"

namespace {

struct ConfigKey {
  const char* name;
  int32_t CorrectImageConfig::*field;
};

// Read in this order, so the not-found lines come in table order.
constexpr ConfigKey kConfigKeys[] = {
    {"output_fmt", &CorrectImageConfig::output_fmt},
    {"output_xdr_enable", &CorrectImageConfig::output_xdr_enable},
    {"output_ur_enable", &CorrectImageConfig::output_ur_enable},
    {"blc_enable", &CorrectImageConfig::blc_enable},
    {"lsc_enable", &CorrectImageConfig::lsc_enable},
    {"dgain_enable", &CorrectImageConfig::dgain_enable},
    {"dgain_apply_adrc", &CorrectImageConfig::dgain_apply_adrc},
    {"dgain_apply_EV_offset", &CorrectImageConfig::dgain_apply_ev_offset},
    {"output_xdr_fmt", &CorrectImageConfig::output_xdr_fmt},
    {"output_ur_fmt", &CorrectImageConfig::output_ur_fmt},
};

// Whole numbers in int32 range only; anything else would be truncated
// silently or throw inside the JSON library.
bool ReadInt32(const nlohmann::json& value, int32_t* out) {
  if (value.is_number_unsigned()) {
    const uint64_t v = value.get<uint64_t>();
    if (v > static_cast<uint64_t>(INT32_MAX)) return false;
    *out = static_cast<int32_t>(v);
    return true;
  }
  if (!value.is_number_integer()) return false;
  const int64_t v = value.get<int64_t>();
  if (v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

}  // namespace

int GetCorrectImageConfig(kiln::Context* ctx, uint32_t algo_type, CorrectImageConfig* config) {
  *config = CorrectImageConfig();
  nlohmann::json json;
  const std::string path = kiln::DevicePath(kCorrectImageConfigPath);
  const int ret = LoadNevoJson(path.c_str(), json);
  if (ret != 0) {
    KILN_RECORD(ctx, "Failed to read correctImage json file!");
    return ret;
  }
  const std::string algo_type_string = std::to_string(algo_type);
  if (!json.is_object() || !json.contains(algo_type_string) || !json[algo_type_string].is_object()) {
    NEVO_LOGE(kCorrectImageTag, "%s[%s] not found, set default values\n", "json", "algo_type_string");
    return 0;
  }
  const nlohmann::json& section = json[algo_type_string];
  for (const ConfigKey& key : kConfigKeys) {
    const std::string quoted = std::string("\"") + key.name + "\"";
    if (!section.contains(key.name)) {
      NEVO_LOGE(kCorrectImageTag, "%s[%s] not found\n", "json[algo_type_string]", quoted.c_str());
      continue;
    }
    if (!ReadInt32(section[key.name], &(config->*key.field))) {
      NEVO_LOGE(kCorrectImageTag, "%s[%s] is not an integer, set default value\n", "json[algo_type_string]",
                quoted.c_str());
    }
  }
  return 0;
}
