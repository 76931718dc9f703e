// kiln::Systrace: begin/end markers in the kernel trace buffer.
#ifndef KILN_RUNTIME_CONTEXT_SYSTRACE_H_
#define KILN_RUNTIME_CONTEXT_SYSTRACE_H_

#include <mutex>
#include <string>

namespace kiln {

// Where markers go (through kiln::DevicePath, so host tests can redirect it).
constexpr const char* kTraceMarkerPath = "/sys/kernel/tracing/trace_marker";

// Owned by kiln::Context (shared); borrowed through Context::GetSystrace().
// Concurrency: Begin and End may be called from any thread; each marker is
// written whole under the mutex. Nothing is written when the marker is closed.
class Systrace {
 public:
  // Opens the trace marker for writing when enable is true; a marker that
  // cannot be opened leaves the writer closed (markers are best effort).
  explicit Systrace(bool enable);
  ~Systrace();
  Systrace(const Systrace&) = delete;
  Systrace& operator=(const Systrace&) = delete;

  // Writes "B|<pid>|<name>".
  void Begin(const std::string& name);
  // Writes "E|<pid>|<name>".
  void End(const std::string& name);
  bool IsOpen() const;

 private:
  void Write(char kind, const std::string& name);

  std::mutex m_mutex;
  int m_fd = -1;
};

}  // namespace kiln

#endif  // KILN_RUNTIME_CONTEXT_SYSTRACE_H_
