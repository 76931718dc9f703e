// kiln::Logger: the runtime's levelled log sink and its error history.
#ifndef KILN_RUNTIME_CONTEXT_LOGGER_H_
#define KILN_RUNTIME_CONTEXT_LOGGER_H_

#include <cstddef>
#include <memory>
#include <string>

#include "kiln/runtime/context/print.h"

namespace kiln {

// Sinks selected by ContextConfig::log_mode.
constexpr int kLogModeConsole = 0;  // standard output, errors red, info blue
constexpr int kLogModeFile = 1;     // appended to ContextConfig::log_path
constexpr int kLogModeAndroid = 2;  // Android log, one record per line
constexpr int kLogModeNone = 3;     // nothing is emitted

// Levels of Log: a message is emitted when its level is at most the logger's.
constexpr int kLogError = 0;
constexpr int kLogInfo = 1;
constexpr int kLogDebug = 2;

// Entries kept by the error history; older ones are dropped first.
constexpr size_t kErrorHistoryCapacity = 128;

// Owned by kiln::Context (shared); everyone else borrows it through
// Context::GetLogger().
// Concurrency: every member may be called from any thread. Emission and the
// error history share one mutex, so lines never interleave and the history
// is always consistent; Log in file mode blocks on the file write.
class Logger {
 public:
  // Mode 1 with a non-empty path opens the path for appending; a file that
  // cannot be opened leaves the file sink silent.
  Logger(int mode, int level, const std::string& path);
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Formats and emits through the sink when level <= GetLevel().
  void Log(const char* tag, int level, const char* format, ...) __attribute__((format(printf, 4, 5)));
  // Emits already formatted text (no format expansion).
  void LogText(const char* tag, int level, const std::string& text);

  // Records {timestamp, file, function, line, message} in the history. It
  // emits nothing: the history is printed by whoever flushes it.
  void Error(const char* file, const char* function, int line, const std::string& message);

  // "kiln error backtrace : \n" then, oldest first, one line per entry:
  // "  MM-DD hh:mm:ss.mmm function[file:line] : message\n".
  std::string GetErrorBacktrace() const;
  size_t GetErrorCount() const;
  void ClearError();

  int GetMode() const;
  int GetLevel() const;
  // True when mode 1 has an open file.
  bool HasFile() const;

  class Impl;

 private:
  std::unique_ptr<Impl> m_impl;
};

// printf-style formatting into a string (any length).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kiln

// Records an error with the caller's file, function and line in the
// context's error history. Does nothing when ctx or its logger is missing.
// ctx is anything with GetLogger(): a Context pointer or shared pointer.
#define KILN_RECORD(ctx, fmt, ...)                                                                \
  do {                                                                                            \
    const auto& kiln_record_ctx_ = (ctx);                                                         \
    if (kiln_record_ctx_ != nullptr) {                                                            \
      const auto kiln_record_logger_ = kiln_record_ctx_->GetLogger();                             \
      if (kiln_record_logger_ != nullptr) {                                                       \
        kiln_record_logger_->Error(__FILE__, __FUNCTION__, __LINE__,                              \
                                   ::kiln::FormatText(fmt, ##__VA_ARGS__));                       \
      }                                                                                           \
    }                                                                                             \
  } while (0)

// Logs with the kiln tag through the context's logger, or straight to the
// Android log (kiln::Print) when there is no context or logger.
#define KILN_LOG(ctx, level, fmt, ...)                                                            \
  do {                                                                                            \
    const auto& kiln_log_ctx_ = (ctx);                                                            \
    const auto kiln_log_logger_ = kiln_log_ctx_ != nullptr ? kiln_log_ctx_->GetLogger() : nullptr; \
    if (kiln_log_logger_ != nullptr) {                                                            \
      kiln_log_logger_->Log(::kiln::kKilnTag, (level), fmt, ##__VA_ARGS__);                       \
    } else {                                                                                      \
      ::kiln::Print(::kiln::kKilnTag, (level), fmt, ##__VA_ARGS__);                               \
    }                                                                                             \
  } while (0)

#endif  // KILN_RUNTIME_CONTEXT_LOGGER_H_
