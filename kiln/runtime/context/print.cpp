#include "kiln/runtime/context/print.h"

#include <android/log.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace kiln {

namespace {

int Priority(int level) {
  if (level == 0) return ANDROID_LOG_ERROR;
  if (level == 1) return ANDROID_LOG_INFO;
  return ANDROID_LOG_DEBUG;
}

}  // namespace

void PrintText(const char* tag, int level, const char* text) {
  if (text == nullptr) return;
  const int prio = Priority(level);
  // logcat shows one record per line, so multi-line text is split here.
  const char* begin = text;
  while (*begin != '\0') {
    const char* end = std::strchr(begin, '\n');
    if (end == nullptr) {
      __android_log_print(prio, tag, "%s", begin);
      return;
    }
    __android_log_print(prio, tag, "%.*s", static_cast<int>(end - begin), begin);
    begin = end + 1;
  }
}

void Print(const char* tag, int level, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof(text)) {
    PrintText(tag, level, text);
    return;
  }
  // Rare long message: format again into a buffer of the right size.
  std::string big(static_cast<size_t>(n) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(&big[0], big.size(), format, args);
  va_end(args);
  PrintText(tag, level, big.c_str());
}

}  // namespace kiln
