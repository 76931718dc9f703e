// Text forms of the algorithm and sensor type enumerations.
#ifndef NEVO_UTILS_NEVO_ALGO_NAMES_H_
#define NEVO_UTILS_NEVO_ALGO_NAMES_H_

#include <string>

// "NR", "NR_LL", ...; "INVALID" outside 1..16.
const char* NevoAlgoShortName(int algo_type);
// "NEVO_" + short name.
std::string NevoAlgoDisplayName(int algo_type);
// The configuration section: the display name, "NEVO_BYPASS" for 0.
std::string NevoAlgoSectionName(int algo_type);
// 1 "w" .. 6 "fuw"; anything else is logged and gives "invalid_sensor_type".
std::string SensorTypeToString(int sensor_type);

#endif  // NEVO_UTILS_NEVO_ALGO_NAMES_H_
