// Collects what the module sends to a host log callback.
#ifndef TESTS_NEVO_CORE_LOG_CAPTURE_H_
#define TESTS_NEVO_CORE_LOG_CAPTURE_H_

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

struct LogRecord {
  int level;
  std::string tag;
  std::string text;
};

class LogCapture {
 public:
  static LogCapture& Get() {
    static LogCapture capture;
    return capture;
  }
  // Matches the host callback type of NevoSetLogPrint.
  static int Callback(int level, const char* tag, const char* format, ...) {
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    Get().Add({level, tag ? tag : "", text});
    return 0;
  }
  void Add(LogRecord record) {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back(std::move(record));
  }
  std::vector<LogRecord> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<LogRecord> out;
    out.swap(records_);
    return out;
  }

 private:
  std::mutex mutex_;
  std::vector<LogRecord> records_;
};

#endif  // TESTS_NEVO_CORE_LOG_CAPTURE_H_
