// The module's levelled logger, its host callback, and the property readers.
#ifndef NEVO_UTILS_NEVO_LOG_H_
#define NEVO_UTILS_NEVO_LOG_H_

#include <chrono>
#include <string>

#include "nevo/nevo.h"

// Log levels of NevoPrint.
constexpr int kNevoLogError = 0;
constexpr int kNevoLogInfo = 1;
constexpr int kNevoLogDebug = 2;

constexpr const char* kNevoTag = "NEVO";
constexpr const char* kNevoLogLevelProp = "persist.vendor.camera.nevo.log_level";

// Emits the message when level <= the current level (initially 0): to the
// host callback when one is installed, else to the Android log through kiln.
// Text is cut at 1023 characters. Always returns 0.
int NevoPrint(int level, const char* tag, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Stores a new current level under the logging mutex.
void NevoSetLogLevel(int level);
// The current level (atomic read).
int NevoGetLogLevel();

// Error line prefixed with function, source file and line.
#define NEVO_LOGE(tag, fmt, ...) \
  NevoPrint(kNevoLogError, tag, "%s[%s:%d] " fmt, __FUNCTION__, __FILE__, __LINE__, ##__VA_ARGS__)
#define NEVO_LOGI(tag, fmt, ...) NevoPrint(kNevoLogInfo, tag, fmt, ##__VA_ARGS__)
#define NEVO_LOGD(tag, fmt, ...) NevoPrint(kNevoLogDebug, tag, fmt, ##__VA_ARGS__)

// Integer property: the default when unset or empty, else atoi of the text
// (so a non-numeric value reads 0).
int NevoGetPropertyInt(const char* name, int default_value);
// String property: its text, or default_value when unset.
std::string NevoGetPropertyString(const char* name, const std::string& default_value);

// "S.MMMs" when the duration has whole seconds, else "M.UUUms".
std::string NevoElapsedText(std::chrono::microseconds elapsed);

#endif  // NEVO_UTILS_NEVO_LOG_H_
