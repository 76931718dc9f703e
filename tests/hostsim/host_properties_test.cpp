// The simulated property store and its seed file.
#include <sys/system_properties.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "nevo_host/properties.h"

namespace {

std::string Get(const char* name) {
  char value[PROP_VALUE_MAX];
  const int n = __system_property_get(name, value);
  EXPECT_EQ(n, static_cast<int>(std::string(value).size()));
  return value;
}

// The store reads NEVO_PROPS_FILE once, on first use: this program sets it
// before any property is touched.
class SeedFile : public ::testing::Environment {
 public:
  void SetUp() override {
    path_ = "/tmp/nevo_props_" + std::to_string(getpid()) + ".txt";
    std::ofstream out(path_);
    out << "# comment line\n"
        << "  persist.vendor.camera.nevo.dump = 1  \n"
        << "\n"
        << "persist.vendor.camera.nevo.name=a=b\n"
        << "no_equals_sign\n"
        << "persist.vendor.camera.nevo.long=" << std::string(120, 'z') << "\n";
    out.close();
    setenv("NEVO_PROPS_FILE", path_.c_str(), 1);
  }
  void TearDown() override { std::remove(path_.c_str()); }

 private:
  std::string path_;
};

const auto* const g_seed = ::testing::AddGlobalTestEnvironment(new SeedFile);

TEST(HostProperties, SeedFileIsReadWithBlanksAndCommentsIgnored) {
  EXPECT_EQ(Get("persist.vendor.camera.nevo.dump"), "1");
  EXPECT_EQ(Get("persist.vendor.camera.nevo.name"), "a=b");
  EXPECT_EQ(Get("no_equals_sign"), "");
  EXPECT_EQ(Get("persist.vendor.camera.nevo.long"), std::string(91, 'z'));
}

TEST(HostProperties, SetUnsetAndClearChangeTheStore) {
  EXPECT_EQ(NevoHostPropertySet("a.b", "x"), 0);
  EXPECT_EQ(Get("a.b"), "x");
  EXPECT_EQ(NevoHostPropertySet("a.b", "y"), 0);
  EXPECT_EQ(Get("a.b"), "y");
  EXPECT_EQ(NevoHostPropertyUnset("a.b"), 0);
  EXPECT_EQ(Get("a.b"), "");
  EXPECT_EQ(NevoHostPropertySet("", "x"), -1);
  EXPECT_EQ(NevoHostPropertySet(nullptr, "x"), -1);
  EXPECT_EQ(NevoHostPropertySet("a.c", nullptr), -1);
  NevoHostPropertyClear();
  EXPECT_EQ(Get("persist.vendor.camera.nevo.dump"), "");
}

TEST(HostProperties, NullNameReadsEmpty) {
  char value[PROP_VALUE_MAX] = "junk";
  EXPECT_EQ(__system_property_get(nullptr, value), 0);
  EXPECT_STREQ(value, "");
}

}  // namespace
