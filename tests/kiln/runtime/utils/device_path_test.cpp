#include "kiln/runtime/utils/device_path.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(DevicePath, IsIdentityWithoutSysroot) {
  unsetenv("NEVO_SYSROOT");
  EXPECT_EQ(kiln::DevicePath("/odm/etc/camera/nevo.json"), "/odm/etc/camera/nevo.json");
  setenv("NEVO_SYSROOT", "", 1);
  EXPECT_EQ(kiln::DevicePath("/odm/etc/camera/nevo.json"), "/odm/etc/camera/nevo.json");
}

TEST(DevicePath, PrefixesSysrootOnHost) {
  setenv("NEVO_SYSROOT", "/tmp/root", 1);
  EXPECT_EQ(kiln::DevicePath("/odm/etc/camera/nevo.json"), "/tmp/root/odm/etc/camera/nevo.json");
  setenv("NEVO_SYSROOT", "/tmp/root/", 1);
  EXPECT_EQ(kiln::DevicePath("/sys/kernel/tracing/trace_marker"), "/tmp/root/sys/kernel/tracing/trace_marker");
  unsetenv("NEVO_SYSROOT");
}

}  // namespace
