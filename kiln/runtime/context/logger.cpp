#include "kiln/runtime/context/logger.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>

namespace kiln {

namespace {

using Clock = std::chrono::system_clock;

struct ErrorEntry {
  Clock::time_point time;
  std::string file;
  std::string function;
  int line;
  std::string message;
};

std::string VFormat(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  va_list copy;
  va_copy(copy, args);
  char small[512];
  const int n = std::vsnprintf(small, sizeof(small), format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof(small)) return std::string(small, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(&big[0], big.size(), format, args);
  big.resize(static_cast<size_t>(n));
  return big;
}

// "MM-DD hh:mm:ss.mmm" in local time.
std::string ShortStamp(Clock::time_point time) {
  const std::time_t secs = Clock::to_time_t(time);
  const long ms = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() % 1000);
  std::tm tm_local{};
  localtime_r(&secs, &tm_local);
  char text[32];
  std::snprintf(text, sizeof(text), "%02d-%02d %02d:%02d:%02d.%03ld", tm_local.tm_mon + 1, tm_local.tm_mday,
                tm_local.tm_hour, tm_local.tm_min, tm_local.tm_sec, ms);
  return text;
}

// "YYYY-MM-DD hh:mm:ss.mmm <tid> " for the file and console sinks.
std::string LinePrefix() {
  const Clock::time_point now = Clock::now();
  const std::time_t secs = Clock::to_time_t(now);
  const long ms = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm_local{};
  localtime_r(&secs, &tm_local);
  char text[64];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03ld %ld ", tm_local.tm_year + 1900,
                tm_local.tm_mon + 1, tm_local.tm_mday, tm_local.tm_hour, tm_local.tm_min, tm_local.tm_sec, ms,
                static_cast<long>(syscall(SYS_gettid)));
  return text;
}

}  // namespace

// Owned by Logger (unique pointer). The mutex guards emission and history.
class Logger::Impl {
 public:
  Impl(int mode, int level, const std::string& path) : m_mode(mode), m_level(level), m_path(path) {
    if (m_mode == kLogModeFile && !m_path.empty()) m_file = std::fopen(m_path.c_str(), "a+");
  }
  ~Impl() {
    if (m_file != nullptr) std::fclose(m_file);
  }

  void Emit(const char* tag, int level, const std::string& message) {
    if (level > m_level) return;
    const char* safe_tag = tag != nullptr ? tag : "";
    std::string text = std::string("[") + safe_tag + "] " + message;
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (m_mode) {
      case kLogModeFile:
        if (m_file != nullptr) {
          std::fputs((LinePrefix() + text).c_str(), m_file);
          std::fflush(m_file);
        }
        break;
      case kLogModeAndroid:
        PrintText(safe_tag, level, text.c_str());
        break;
      case kLogModeNone:
        break;
      default: {
        const std::string line = LinePrefix() + text;
        if (level == kLogError) {
          std::printf("\033[1;31m%s\033[1;0m", line.c_str());
        } else if (level == kLogInfo) {
          std::printf("\033[1;34m%s\033[1;0m", line.c_str());
        } else {
          std::printf("%s", line.c_str());
        }
        std::fflush(stdout);
        break;
      }
    }
  }

  const int m_mode;
  const int m_level;
  const std::string m_path;
  mutable std::mutex m_mutex;
  std::deque<ErrorEntry> m_errors;
  std::FILE* m_file = nullptr;
};

Logger::Logger(int mode, int level, const std::string& path) : m_impl(new Impl(mode, level, path)) {}

Logger::~Logger() = default;

void Logger::Log(const char* tag, int level, const char* format, ...) {
  if (level > m_impl->m_level) return;  // skip the formatting cost of filtered lines
  va_list args;
  va_start(args, format);
  const std::string message = VFormat(format, args);
  va_end(args);
  m_impl->Emit(tag, level, message);
}

void Logger::LogText(const char* tag, int level, const std::string& text) { m_impl->Emit(tag, level, text); }

void Logger::Error(const char* file, const char* function, int line, const std::string& message) {
  ErrorEntry entry{Clock::now(), file != nullptr ? file : "", function != nullptr ? function : "", line, message};
  std::lock_guard<std::mutex> lock(m_impl->m_mutex);
  while (m_impl->m_errors.size() >= kErrorHistoryCapacity) m_impl->m_errors.pop_front();
  m_impl->m_errors.push_back(std::move(entry));
}

std::string Logger::GetErrorBacktrace() const {
  std::string text = "kiln error backtrace : \n";
  std::lock_guard<std::mutex> lock(m_impl->m_mutex);
  for (const ErrorEntry& e : m_impl->m_errors) {
    text += "  " + ShortStamp(e.time) + " " + e.function + "[" + e.file + ":" + std::to_string(e.line) +
            "] : " + e.message + "\n";
  }
  return text;
}

size_t Logger::GetErrorCount() const {
  std::lock_guard<std::mutex> lock(m_impl->m_mutex);
  return m_impl->m_errors.size();
}

void Logger::ClearError() {
  std::lock_guard<std::mutex> lock(m_impl->m_mutex);
  m_impl->m_errors.clear();
}

int Logger::GetMode() const { return m_impl->m_mode; }

int Logger::GetLevel() const { return m_impl->m_level; }

bool Logger::HasFile() const { return m_impl->m_file != nullptr; }

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  return text;
}

}  // namespace kiln
