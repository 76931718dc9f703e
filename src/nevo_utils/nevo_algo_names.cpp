#include "nevo_utils/nevo_algo_names.h"

#include "nevo/nevo.h"
#include "nevo_utils/nevo_log.h"

namespace {

constexpr const char* kShortNames[NEVO_ALGO_TYPE_NUM] = {
    "INVALID", "NR",   "NR_LL",  "HDR",       "HDR_LL", "SE",    "SN",   "SR",      "HDSR",
    "ELL",     "SNSC", "NR_50M", "NR_LL_50M", "SESR",   "HDR_F", "SN_F", "SNSC_HDR"};

}  // namespace

const char* NevoAlgoShortName(int algo_type) {
  if (algo_type < NEVO_NR || algo_type >= NEVO_ALGO_TYPE_NUM) return kShortNames[0];
  return kShortNames[algo_type];
}

std::string NevoAlgoDisplayName(int algo_type) {
  return std::string("NEVO_") + NevoAlgoShortName(algo_type);
}

std::string NevoAlgoSectionName(int algo_type) {
  return algo_type == NEVO_INVALID ? "NEVO_BYPASS" : NevoAlgoDisplayName(algo_type);
}

std::string SensorTypeToString(int sensor_type) {
  static constexpr const char* kNames[] = {"w", "uw", "t", "st", "fw", "fuw"};
  if (sensor_type < NEVO_SENSOR_W || sensor_type > NEVO_SENSOR_FUW) {
    NEVO_LOGE("NEVO_UTILS", "sensor_type is invalid\n");
    return "invalid_sensor_type";
  }
  return kNames[sensor_type - 1];
}
