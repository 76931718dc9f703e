// Host liblog: one line per record on standard error.
#include <android/log.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::mutex g_log_mutex;

char PriorityLetter(int prio) {
  switch (prio) {
    case ANDROID_LOG_VERBOSE: return 'V';
    case ANDROID_LOG_DEBUG: return 'D';
    case ANDROID_LOG_INFO: return 'I';
    case ANDROID_LOG_WARN: return 'W';
    case ANDROID_LOG_ERROR: return 'E';
    case ANDROID_LOG_FATAL: return 'F';
    default: return 'D';
  }
}

}  // namespace

extern "C" int __android_log_print(int prio, const char* tag, const char* fmt, ...) {
  // liblog caps a record at about 4 KiB; the module never writes more.
  char text[4096];
  va_list args;
  va_start(args, fmt);
  const int n = vsnprintf(text, sizeof(text), fmt ? fmt : "", args);
  va_end(args);
  if (n < 0) return -1;
  std::lock_guard<std::mutex> lock(g_log_mutex);
  std::fprintf(stderr, "%c/%s: %s\n", PriorityLetter(prio), tag ? tag : "", text);
  std::fflush(stderr);
  return n;
}
