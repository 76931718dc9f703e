#include "kiln/runtime/context/systrace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "kiln/runtime/utils/device_path.h"

namespace kiln {

Systrace::Systrace(bool enable) {
  if (!enable) return;
  m_fd = open(DevicePath(kTraceMarkerPath).c_str(), O_WRONLY | O_CLOEXEC);
}

Systrace::~Systrace() {
  if (m_fd >= 0) close(m_fd);
}

void Systrace::Begin(const std::string& name) { Write('B', name); }

void Systrace::End(const std::string& name) { Write('E', name); }

bool Systrace::IsOpen() const { return m_fd >= 0; }

void Systrace::Write(char kind, const std::string& name) {
  if (m_fd < 0) return;
  // The kernel takes one marker per write; longer names are cut to fit.
  char buf[256];
  const int n = std::snprintf(buf, sizeof(buf), "%c|%d|%s", kind, static_cast<int>(getpid()), name.c_str());
  if (n <= 0) return;
  const size_t len = static_cast<size_t>(n) < sizeof(buf) ? static_cast<size_t>(n) : sizeof(buf) - 1;
  std::lock_guard<std::mutex> lock(m_mutex);
  const ssize_t written = write(m_fd, buf, len);
  (void)written;  // a lost marker is not worth failing the caller for
}

}  // namespace kiln
