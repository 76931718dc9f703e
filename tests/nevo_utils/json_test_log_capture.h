// Test helper: collects NevoPrint lines through the host log callback.
#ifndef TESTS_NEVO_UTILS_JSON_TEST_LOG_CAPTURE_H_
#define TESTS_NEVO_UTILS_JSON_TEST_LOG_CAPTURE_H_

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "nevo/nevo.h"
#include "nevo_host/properties.h"
#include "nevo_utils/nevo_log.h"

struct CapturedLine {
  int level;
  std::string tag;
  std::string text;
};

// Owned by one test; installs the callback at debug level for its lifetime.
// The callback may be called from any thread, so the lines sit under a mutex.
class JsonTestLogCapture {
 public:
  JsonTestLogCapture() {
    NevoHostPropertySet(kNevoLogLevelProp, "2");
    NevoSetLogPrint(1, &Callback);
    Clear();  // drop "NEVO LOG enabled"
  }
  ~JsonTestLogCapture() {
    NevoHostPropertyUnset(kNevoLogLevelProp);
    NevoSetLogPrint(1, nullptr);
  }
  JsonTestLogCapture(const JsonTestLogCapture&) = delete;
  JsonTestLogCapture& operator=(const JsonTestLogCapture&) = delete;

  static std::vector<CapturedLine> Lines() {
    std::lock_guard<std::mutex> lock(Mutex());
    return Store();
  }
  static void Clear() {
    std::lock_guard<std::mutex> lock(Mutex());
    Store().clear();
  }
  // Lines whose text matches the whole pattern.
  static std::vector<CapturedLine> Matching(const std::string& pattern) {
    const std::regex re(pattern);
    std::vector<CapturedLine> found;
    for (const CapturedLine& line : Lines()) {
      if (std::regex_match(line.text, re)) found.push_back(line);
    }
    return found;
  }

 private:
  static int Callback(int level, const char* tag, const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(Mutex());
    Store().push_back({level, tag, text});
    return 0;
  }
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::vector<CapturedLine>& Store() {
    static std::vector<CapturedLine> lines;
    return lines;
  }
};

#endif  // TESTS_NEVO_UTILS_JSON_TEST_LOG_CAPTURE_H_
