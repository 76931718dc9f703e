#include "nevo_dump/nevo_dump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "nevo_algo_wrapper/test_context.h"
#include "nevo_engine/sysroot.h"
#include "nevo_host/properties.h"
#include "nevo_utils/nevo_json_file.h"

namespace {

using ::testing::HasSubstr;

constexpr const char* kFolder = "/data/vendor/camera/nevo_dump/nevo_hdr/";

class NevoDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NevoHostPropertyClear();
    config_.dump = 1;
    std::snprintf(init_.jpg_path, sizeof(init_.jpg_path), "%s", "/sdcard/DCIM/IMG_20260101_101010.jpg");
    start_.sensor_type = 3;
    start_.zoom_info.zoom_ratio = 2.0f;
    start_.frame_num = 1;
    pixels_.assign(4 * 6, 0);
    for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = static_cast<uint16_t>(i * 3);
    frame_.ev_value = -2;
    frame_.img.elem_type = NEVO_ELEM_U16;
    frame_.img.width = 6;
    frame_.img.height = 4;
    frame_.img.pitch[0] = 12;
    frame_.img.plane[0] = pixels_.data();
    output_.img_num = 1;
    output_.img[0] = frame_.img;
  }
  void TearDown() override { NevoHostPropertyClear(); }

  std::string Prefix(const char* suffix = "") const {
    return sysroot_.Path(kFolder) + "IMG_20260101_101010_nevo_hdr_t_2.0X" + suffix;
  }
  void RunAllSteps(NevoDump& dump) {
    dump.InitStep(ctx_.get(), "NEVO_HDR", config_, init_);
    dump.StartStep(start_);
    dump.InputStep(0, frame_);
    dump.OutputStep(output_, 0);
  }

  TestSysroot sysroot_;
  std::shared_ptr<kiln::Context> ctx_ = MakeTestContext();
  NevoAlgoConfig config_{};
  NevoInitParam init_{};
  NevoStartParam start_{};
  NevoFrame frame_{};
  NevoOutput output_{};
  std::vector<uint16_t> pixels_;
};

TEST_F(NevoDumpTest, WritesDescriptionInputAndOutputFiles) {
  NevoDump dump;
  RunAllSteps(dump);
  const std::string input = Prefix("_6x4_input_0_EV-2.RAW");
  const std::string output = Prefix("_6x4_output_0.RAW");
  ASSERT_TRUE(std::filesystem::exists(input));
  EXPECT_EQ(std::filesystem::file_size(input), 48u);
  ASSERT_TRUE(std::filesystem::exists(output));
  std::ifstream raw(input, std::ios::binary);
  std::vector<uint16_t> back(24);
  raw.read(reinterpret_cast<char*>(back.data()), 48);
  EXPECT_EQ(back, pixels_);

  nlohmann::json doc;
  ASSERT_EQ(LoadNevoJson(Prefix("_rawinfo.json").c_str(), doc), 0);
  EXPECT_EQ(doc["dump_version"], "1.0");
  EXPECT_EQ(doc["nevo_version"], "nevo v1.0_20250225094637");
  EXPECT_EQ(doc["ro.product.device"], "unknown");
  EXPECT_EQ(doc["input_files"][0], input);
  EXPECT_EQ(doc["output_files"][0], output);
  EXPECT_EQ(doc["anchor"], 0);
  for (const char* key : {"init_param", "start_param", "frame", "output", "camera_mode"}) {
    EXPECT_TRUE(doc.contains(key)) << key;
  }
  std::ifstream txt(Prefix("_rawinfo.txt"));
  std::string first;
  std::getline(txt, first);
  EXPECT_EQ(first, "[nevo dump]");
}

TEST_F(NevoDumpTest, DumpOffReadsNothingAndWritesNothing) {
  config_.dump = 0;
  NevoDump dump;
  RunAllSteps(dump);
  EXPECT_FALSE(dump.enabled());
  EXPECT_FALSE(std::filesystem::exists(sysroot_.Path("/data")));
}

TEST_F(NevoDumpTest, DebugPropertyRenamesTheCapture) {
  NevoHostPropertySet("persist.vendor.camera.nevo.dump.debug", "1");
  NevoDump dump;
  RunAllSteps(dump);
  EXPECT_STREQ(init_.jpg_path, "IMG_00000000_000000.jpg");
  EXPECT_TRUE(std::filesystem::exists(sysroot_.Path(kFolder) + "IMG_00000000_000000_nevo_hdr_t_2.0X_rawinfo.json"));
}

TEST_F(NevoDumpTest, PortraitNamesEndInBokeh) {
  config_.camera_mode = NEVO_CAMERA_MODE_PORTRAIT;
  NevoDump dump;
  RunAllSteps(dump);
  EXPECT_TRUE(std::filesystem::exists(Prefix("_bokeh_rawinfo.json")));
  EXPECT_TRUE(std::filesystem::exists(Prefix("_bokeh_6x4_input_0_EV-2.RAW")));
}

TEST_F(NevoDumpTest, AnchorSelectDumpsOnlyWithSelectProperty) {
  init_.is_anchor_select = 1;
  NevoHostPropertySet("persist.vendor.camera.nevo.dump.select", "0");
  {
    NevoDump dump;
    RunAllSteps(dump);
  }
  EXPECT_FALSE(std::filesystem::exists(Prefix("_select.json")));
  NevoHostPropertySet("persist.vendor.camera.nevo.dump.select", "1");
  NevoDump dump;
  RunAllSteps(dump);
  EXPECT_TRUE(std::filesystem::exists(Prefix("_select.json")));
  EXPECT_FALSE(std::filesystem::exists(Prefix("_rawinfo.json")));
}

TEST_F(NevoDumpTest, InputSwitchOffKeepsDescriptionOnly) {
  NevoHostPropertySet("persist.vendor.camera.nevo.dump.input", "0");
  NevoHostPropertySet("persist.vendor.camera.nevo.dump.txt", "0");
  NevoDump dump;
  dump.InitStep(ctx_.get(), "NEVO_HDR", config_, init_);
  dump.StartStep(start_);
  dump.InputStep(0, frame_);
  EXPECT_FALSE(std::filesystem::exists(Prefix("_6x4_input_0_EV-2.RAW")));
  EXPECT_TRUE(std::filesystem::exists(Prefix("_rawinfo.json")));
  EXPECT_FALSE(std::filesystem::exists(Prefix("_rawinfo.txt")));
}

TEST_F(NevoDumpTest, UnwritableFolderIsLoggedAndSkipped) {
  sysroot_.Write("/data/vendor/camera/nevo_dump", "a file where the folder should be");
  NevoDump dump;
  ::testing::internal::CaptureStderr();
  RunAllSteps(dump);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(err, HasSubstr("DumpStartParam["));
  EXPECT_THAT(err, HasSubstr("make dump folder /data/vendor/camera/nevo_dump/nevo_hdr/ failed"));
}

}  // namespace
