#include "nevo_utils/nevo_log.h"

#include <sys/system_properties.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "kiln/runtime/context/print.h"

namespace {

// Process-wide logging state: written under the mutex, read as atomics so a
// suppressed message costs one load and one comparison.
std::mutex g_log_mutex;
std::atomic<int> g_log_level{0};
std::atomic<NevoLogPrintFunc> g_log_print{nullptr};

void StoreCallbackAndLevel(NevoLogPrintFunc callback, int level) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log_print.store(callback, std::memory_order_release);
  g_log_level.store(level, std::memory_order_release);
}

}  // namespace

int NevoPrint(int level, const char* tag, const char* format, ...) {
  if (level > g_log_level.load(std::memory_order_acquire)) return 0;
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);

  const NevoLogPrintFunc callback = g_log_print.load(std::memory_order_acquire);
  if (callback != nullptr) {
    callback(level, tag, "%s", text);
    return 0;
  }
  if (level == kNevoLogDebug) {
    kiln::Print(tag, 2, "%s", text);
  } else if (level != kNevoLogError) {
    kiln::Print(tag, 1, "%s", text);
  } else {
    // Line 60 is the fixed origin integrators grep for in error records.
    kiln::Print(tag, 0, "%s[%s:%d] %s", "NevoPrint", __FILE__, 60, text);
  }
  return 0;
}

void NevoSetLogLevel(int level) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log_level.store(level, std::memory_order_release);
}

int NevoGetLogLevel() { return g_log_level.load(std::memory_order_acquire); }

int NevoGetPropertyInt(const char* name, int default_value) {
  char value[PROP_VALUE_MAX] = {0};
  if (__system_property_get(name, value) <= 0 || value[0] == '\0') return default_value;
  return std::atoi(value);
}

std::string NevoGetPropertyString(const char* name, const std::string& default_value) {
  char value[PROP_VALUE_MAX] = {0};
  if (__system_property_get(name, value) <= 0) return default_value;
  return std::string(value);
}

std::string NevoElapsedText(std::chrono::microseconds elapsed) {
  const long long us = elapsed.count() < 0 ? 0 : static_cast<long long>(elapsed.count());
  const long long s = us / 1000000;
  const long long ms = (us / 1000) % 1000;
  char text[64];
  if (s != 0) {
    std::snprintf(text, sizeof(text), "%lld.%03llds", s, ms);
  } else {
    std::snprintf(text, sizeof(text), "%lld.%03lldms", ms, us % 1000);
  }
  return text;
}

extern "C" NEVO_API int NevoSetLogPrint(int level, NevoLogPrintFunc log_print) {
  NevoPrint(kNevoLogDebug, kNevoTag, "NevoSetLogPrint: log_level = %d\n", level);
  if (level != 0) {
    NevoPrint(kNevoLogDebug, kNevoTag, "NevoSetLogPrint: set log_print to %p\n",
              reinterpret_cast<void*>(log_print));
    StoreCallbackAndLevel(log_print, NevoGetPropertyInt(kNevoLogLevelProp, 0));
    if (log_print != nullptr) log_print(kNevoLogInfo, kNevoTag, "NEVO LOG enabled\n");
  } else if (log_print != nullptr) {
    log_print(kNevoLogInfo, kNevoTag, "NEVO LOG disabled\n");
  }
  return 0;
}
