#include "kiln/runtime/utils/device_path.h"

#include <cstdlib>

namespace kiln {

std::string DevicePath(const std::string& path) {
#if defined(__ANDROID__)
  return path;
#else
  const char* root = std::getenv("NEVO_SYSROOT");
  if (root == nullptr || *root == '\0') return path;
  std::string full(root);
  if (!full.empty() && full.back() == '/' && !path.empty() && path.front() == '/') full.pop_back();
  return full + path;
#endif
}

}  // namespace kiln
