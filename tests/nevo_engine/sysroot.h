// A private device tree in a temporary directory, pointed at by NEVO_SYSROOT.
#ifndef TESTS_NEVO_ENGINE_SYSROOT_H_
#define TESTS_NEVO_ENGINE_SYSROOT_H_

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class TestSysroot {
 public:
  TestSysroot() {
    char tmpl[] = "/tmp/nevo_sysroot_XXXXXX";
    root_ = mkdtemp(tmpl);
    setenv("NEVO_SYSROOT", root_.c_str(), 1);
  }
  ~TestSysroot() {
    unsetenv("NEVO_SYSROOT");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TestSysroot(const TestSysroot&) = delete;
  TestSysroot& operator=(const TestSysroot&) = delete;

  // Writes text to the device path (e.g. "/odm/etc/camera/nevo.json").
  void Write(const std::string& device_path, const std::string& text) const {
    const std::filesystem::path p = root_ + device_path;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p) << text;
  }
  std::string Path(const std::string& device_path) const { return root_ + device_path; }
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};

#endif  // TESTS_NEVO_ENGINE_SYSROOT_H_
