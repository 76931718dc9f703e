// kiln::Print: logging without a logger, straight to the Android log.
#ifndef KILN_RUNTIME_CONTEXT_PRINT_H_
#define KILN_RUNTIME_CONTEXT_PRINT_H_

namespace kiln {

// Tag used by every message of the runtime itself.
constexpr const char* kKilnTag = "kiln2.0";

// Formats the message and sends it to the Android log, one record per line:
// priority ERROR for level 0, INFO for level 1, DEBUG otherwise.
void Print(const char* tag, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Sends already formatted text to the Android log, one record per line.
void PrintText(const char* tag, int level, const char* text);

}  // namespace kiln

#endif  // KILN_RUNTIME_CONTEXT_PRINT_H_
