// Device paths (/odm, /data, /sys, /proc) as this build must open them.
#ifndef KILN_RUNTIME_UTILS_DEVICE_PATH_H_
#define KILN_RUNTIME_UTILS_DEVICE_PATH_H_

#include <string>

namespace kiln {

// Every open of a fixed device path goes through here. On the device this is
// the identity; on host builds the directory named by NEVO_SYSROOT, when set,
// is put in front, so tests and tools run against a private sysroot.
std::string DevicePath(const std::string& path);

}  // namespace kiln

#endif  // KILN_RUNTIME_UTILS_DEVICE_PATH_H_
