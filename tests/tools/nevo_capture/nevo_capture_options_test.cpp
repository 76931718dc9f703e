// nevo-capture's command line, its private sysroot and the HAL records it
// fills from a burst.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/nevo_capture/capture_options.h"
#include "tools/nevo_capture/capture_sysroot.h"
#include "tools/nevo_capture/hal_records.h"

namespace nevo_capture {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

ParseStatus Parse(std::vector<std::string> args, CaptureOptions* o, std::string* error) {
  args.insert(args.begin(), "nevo-capture");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return ParseOptions(static_cast<int>(argv.size()), argv.data(), o, error);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- options ---------------------------------------------------------------

TEST(Options, NoArguments_GiveAnHdrBurstOfThreeSmallTwelveBitFrames) {
  CaptureOptions o;
  std::string error;
  ASSERT_EQ(Parse({}, &o, &error), ParseStatus::kRun) << error;
  EXPECT_EQ(o.algo, 3);
  EXPECT_EQ(o.frames, 3);
  EXPECT_EQ(o.width, 1024);
  EXPECT_EQ(o.height, 768);
  EXPECT_EQ(o.bits, 12);
  EXPECT_EQ(o.iso, 800.0);
  EXPECT_EQ(o.out_dir, "nevo_capture_out");
  const BurstParams p = BurstParamsFrom(o);
  EXPECT_EQ(p.ev, (std::vector<int>{-2, 0, 2}));
  EXPECT_EQ(OutputScale(o), 1);
}

TEST(Options, Values_AreTakenInBothSpellingsAndRepeatedPropsAccumulate) {
  CaptureOptions o;
  std::string error;
  ASSERT_EQ(Parse({"--algo", "nr", "--frames=5", "--width", "640", "--height=480", "--bits", "14", "--iso", "3200",
                   "--seed", "99", "--pattern", "BGGR", "--vendor", "arcsoft", "--sensor", "uw", "--prop",
                   "persist.vendor.camera.nevo.log=1", "--prop", "a.b=x=y", "--out", "/tmp/o", "--select", "--dump",
                   "--log", "2", "--shake", "1.5"},
                  &o, &error),
            ParseStatus::kRun)
      << error;
  EXPECT_EQ(o.algo, 1);
  EXPECT_EQ(o.frames, 5);
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 480);
  EXPECT_EQ(o.bits, 14);
  EXPECT_EQ(o.iso, 3200.0);
  EXPECT_EQ(o.seed, 99u);
  EXPECT_EQ(o.pattern, 2);
  EXPECT_EQ(o.vendor, 1);
  EXPECT_EQ(o.sensor_type, 2);
  ASSERT_EQ(o.props.size(), 2u);
  EXPECT_EQ(o.props[0].first, "persist.vendor.camera.nevo.log");
  EXPECT_EQ(o.props[0].second, "1");
  EXPECT_EQ(o.props[1].first, "a.b");
  EXPECT_EQ(o.props[1].second, "x=y") << "only the first '=' splits";
  EXPECT_EQ(o.out_dir, "/tmp/o");
  EXPECT_TRUE(o.select);
  EXPECT_TRUE(o.dump);
  EXPECT_EQ(o.log_level, 2);
  EXPECT_EQ(o.shake, 1.5);
  EXPECT_EQ(BurstParamsFrom(o).ev, std::vector<int>(5, 0)) << "noise reduction brackets nothing";
}

TEST(Options, AlgoNames_MatchTheAlgorithmTypesInAnyCaseOrAsNumbers) {
  const std::pair<const char*, int> names[] = {{"nr", 1},    {"NR_LL", 2},     {"hdr", 3},      {"hdr_ll", 4},
                                               {"se", 5},    {"sn", 6},        {"sr", 7},       {"HDSR", 8},
                                               {"ell", 9},   {"snsc", 10},     {"nr_50m", 11},  {"nr_ll_50m", 12},
                                               {"sesr", 13}, {"hdr_f", 14},    {"SN_F", 15},    {"snsc_hdr", 16},
                                               {"0", 0},     {"14", 14}};
  for (const auto& n : names) {
    int type = -1;
    EXPECT_TRUE(ParseAlgoType(n.first, &type)) << n.first;
    EXPECT_EQ(type, n.second) << n.first;
  }
  int type = -1;
  EXPECT_FALSE(ParseAlgoType("17", &type));
  EXPECT_FALSE(ParseAlgoType("hdrx", &type));
  EXPECT_FALSE(ParseAlgoType("", &type));
  EXPECT_EQ(AlgoSectionName(3), "NEVO_HDR");
  EXPECT_EQ(AlgoSectionName(0), "NEVO_BYPASS");
  EXPECT_EQ(AlgoSectionName(12), "NEVO_NR_LL_50M");
  EXPECT_STREQ(AlgoShortName(20), "INVALID");
  EXPECT_EQ(ConfigTypeOf(4), 5);
  EXPECT_EQ(ConfigTypeOf(13), 5);
  EXPECT_EQ(ConfigTypeOf(11), 12);
  EXPECT_EQ(ConfigTypeOf(7), 7);
}

TEST(Options, EvList_SetsTheFrameCountAndHdrFamilyGetsTheBracket) {
  CaptureOptions o;
  std::string error;
  ASSERT_EQ(Parse({"--ev", "-1,0,1,3"}, &o, &error), ParseStatus::kRun) << error;
  EXPECT_EQ(o.frames, 4);
  EXPECT_EQ(BurstParamsFrom(o).ev, (std::vector<int>{-1, 0, 1, 3}));
  EXPECT_EQ(DefaultEvList(3, 5), (std::vector<int>{-2, 0, 2, 0, 0}));
  EXPECT_EQ(DefaultEvList(8, 2), (std::vector<int>{-2, 0}));
  EXPECT_EQ(DefaultEvList(14, 1), (std::vector<int>{0}));
  EXPECT_EQ(DefaultEvList(6, 3), (std::vector<int>{0, 0, 0}));
  ASSERT_EQ(Parse({"--algo", "sr"}, &o, &error), ParseStatus::kRun);
  EXPECT_EQ(OutputScale(o), 2) << "super resolution doubles the output";
  ASSERT_EQ(Parse({"--algo", "sr", "--out-scale", "1"}, &o, &error), ParseStatus::kRun);
  EXPECT_EQ(OutputScale(o), 1);
}

TEST(Options, BadInput_IsAnErrorNamingTheOption) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--algo", "17"}, "--algo"},
      {{"--frames", "0"}, "--frames"},
      {{"--frames", "17"}, "--frames"},
      {{"--width", "641"}, "--width"},
      {{"--height", "abc"}, "--height"},
      {{"--bits", "11"}, "--bits"},
      {{"--bits", "16"}, "--bits"},
      {{"--iso", "1e9"}, "--iso"},
      {{"--iso", "nan"}, "--iso"},
      {{"--seed", "-3"}, "--seed"},
      {{"--ev", "0,,2"}, "--ev"},
      {{"--ev", "0,9"}, "--ev"},
      {{"--ev", "0,2,"}, "--ev"},
      {{"--prop", "novalue"}, "--prop"},
      {{"--prop", "=x"}, "--prop"},
      {{"--vendor", "qualcomm"}, "--vendor"},
      {{"--sensor", "x"}, "--sensor"},
      {{"--frobnicate", "1"}, "--frobnicate"},
      {{"--width"}, "--width"},
      {{"stray"}, "stray"},
      {{"--frames", "2", "--ev", "0,0,0"}, "--frames 2"},
  };
  for (const auto& c : cases) {
    CaptureOptions o;
    std::string error;
    EXPECT_EQ(Parse(c.first, &o, &error), ParseStatus::kError) << c.second;
    EXPECT_NE(error.find(c.second), std::string::npos) << error;
  }
}

TEST(Options, Help_IsRecognisedAndDocumentsEveryOptionAndTheNoiseModel) {
  CaptureOptions o;
  std::string error;
  EXPECT_EQ(Parse({"--width", "640", "--help"}, &o, &error), ParseStatus::kHelp);
  EXPECT_EQ(Parse({"-h"}, &o, &error), ParseStatus::kHelp);
  const std::string help = HelpText();
  for (const char* option : {"--algo", "--vendor", "--frames", "--ev", "--select", "--sensor", "--out-scale",
                             "--width", "--height", "--bits", "--pattern", "--iso", "--shake", "--seed", "--prop",
                             "--config", "--dump", "--log", "--out", "--help"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  for (const char* fact : {"1.807e-4", "3.19e-6", "64/1023", "256/4095", "512/16383", "1/(1 + k r^2)"}) {
    EXPECT_NE(help.find(fact), std::string::npos) << fact;
  }
}

// ---- private sysroot -----------------------------------------------------

TEST(Sysroot, GeneratedConfig_EnablesTheChosenAlgorithmSection) {
  CaptureOptions o;
  o.algo = 4;  // HDR_LL is built from SE's section
  o.vendor = 1;
  o.select = true;
  const json doc = json::parse(CaptureSysroot::GenerateNevoJson(o));
  for (const char* section : {"NEVO_HDR_LL", "NEVO_SE"}) {
    const json& s = doc["nevo"]["algo"][section];
    EXPECT_EQ(s["enable"], 1) << section;
    EXPECT_EQ(s["bypass"], 0) << section;
    EXPECT_EQ(s["input_format"], 0) << section;
    EXPECT_EQ(s["output_format"], 1) << section;
    EXPECT_EQ(s["vendor_type"], 1) << section;
    EXPECT_EQ(s["enable_anchor"], 1) << section;
  }
  EXPECT_EQ(CaptureSysroot::OutputFormatOf(CaptureSysroot::GenerateNevoJson(o), o.algo), 1);
}

TEST(Sysroot, OutputFormat_ComesFromTheSectionTheEngineUses) {
  EXPECT_EQ(CaptureSysroot::OutputFormatOf(R"({"nevo":{"algo":{"NEVO_HDR":{"output_format":0}}}})", 3), 0);
  EXPECT_EQ(CaptureSysroot::OutputFormatOf(R"({"nevo":{"algo":{"NEVO_SE":{"output_format":2}}}})", 13), 2);
  EXPECT_EQ(CaptureSysroot::OutputFormatOf(R"({"nevo":{"algo":{"NEVO_HDR":{}}}})", 3), 1) << "engine default";
  EXPECT_EQ(CaptureSysroot::OutputFormatOf(R"({"nevo":{"algo":{"NEVO_HDR":{"output_format":"0"}}}})", 3), 1);
  EXPECT_EQ(CaptureSysroot::OutputFormatOf("{not json", 3), 1);
  EXPECT_EQ(CaptureSysroot::OutputFormatOf("[]", 3), 1);
}

TEST(Sysroot, Create_BuildsTheDeviceTreeAndRemovesItAndRestoresTheEnvironment) {
  const fs::path scratch = fs::temp_directory_path() / ("nevo_capture_sysroot_test_" + std::to_string(getpid()));
  fs::create_directories(scratch);
  const std::string config_text = R"({"nevo":{"algo":{"NEVO_HDR":{"enable":1,"output_format":0}}}})";
  std::ofstream(scratch / "mine.json") << config_text;
  setenv("NEVO_SYSROOT", "/previous/root", 1);
  std::string root;
  {
    CaptureOptions o;
    o.config_path = (scratch / "mine.json").string();
    CaptureSysroot sysroot;
    std::string error;
    ASSERT_TRUE(sysroot.Create(o, &error)) << error;
    root = sysroot.root();
    ASSERT_FALSE(root.empty());
    EXPECT_STREQ(std::getenv("NEVO_SYSROOT"), root.c_str());
    EXPECT_EQ(ReadFile(root + "/odm/etc/camera/nevo.json"), config_text);
    EXPECT_EQ(sysroot.output_format(), 0);
    const json correct = json::parse(ReadFile(root + "/odm/etc/camera/nevo_correct_image.json"));
    EXPECT_EQ(correct["3"]["output_fmt"], 0) << "the fallback writes what the output buffer holds";
    EXPECT_EQ(correct["0"]["lsc_enable"], 1);
    EXPECT_TRUE(fs::exists(root + "/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"));
    EXPECT_TRUE(fs::exists(root + "/sys/kernel/tracing/trace_marker"));
    EXPECT_TRUE(fs::is_directory(sysroot.DumpDir()));
  }
  EXPECT_FALSE(fs::exists(root)) << "removed at the end of the run";
  EXPECT_STREQ(std::getenv("NEVO_SYSROOT"), "/previous/root");
  unsetenv("NEVO_SYSROOT");

  CaptureOptions missing;
  missing.config_path = (scratch / "absent.json").string();
  {
    CaptureSysroot sysroot;
    std::string error;
    EXPECT_FALSE(sysroot.Create(missing, &error));
    EXPECT_NE(error.find("absent.json"), std::string::npos) << error;
  }
  EXPECT_EQ(std::getenv("NEVO_SYSROOT"), nullptr) << "a failed Create leaves the environment alone";
  std::error_code ec;
  fs::remove_all(scratch, ec);
}

// ---- HAL records -----------------------------------------------------------

class Records : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.algo = 3;
    options_.sensor_type = 3;
    BurstParams p;
    p.width = 64;
    p.height = 48;
    p.pattern = 1;  // GRBG
    p.iso = 400.0;
    std::string error;
    ASSERT_TRUE(SynthesizeBurst(p, &burst_, &error)) << error;
  }
  CaptureOptions options_;
  Burst burst_;
};

TEST_F(Records, Frame_CarriesLevelsGainsShadingImageAndExposure) {
  uint16_t pixels[4] = {};
  auto frame = std::make_unique<NevoFrame>();
  FillFrame(burst_, 2, 1000, pixels, 17, frame.get());
  EXPECT_EQ(frame->ev_value, 2);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(frame->burst_info.black_level[i], 256);
    EXPECT_EQ(frame->burst_info.bright_level[i], 4095);
  }
  // GRBG: raster order G R / B G.
  EXPECT_FLOAT_EQ(frame->burst_info.wb_gain[0], 1.0f);
  EXPECT_FLOAT_EQ(frame->burst_info.wb_gain[1], 2.0f);
  EXPECT_FLOAT_EQ(frame->burst_info.wb_gain[2], 1.7f);
  EXPECT_FLOAT_EQ(frame->burst_info.wb_gain[3], 1.0f);
  EXPECT_EQ(std::memcmp(frame->lsc.r, burst_.lsc.r, sizeof(frame->lsc.r)), 0);
  EXPECT_EQ(std::memcmp(frame->lsc.gb, burst_.lsc.gb, sizeof(frame->lsc.gb)), 0);
  EXPECT_FLOAT_EQ(frame->burst_info.shutter, 4.0f * kBaseShutterNs) << "EV+2 exposes four times longer";
  EXPECT_FLOAT_EQ(frame->burst_info.sensor_gain, 4.0f);
  EXPECT_FLOAT_EQ(frame->ae_ratio, 4.0f);
  EXPECT_EQ(frame->frame_timestamp, 1000u + 2u * kFrameIntervalNs);
  EXPECT_EQ(frame->img.format, NEVO_FORMAT_RAW);
  EXPECT_EQ(frame->img.pattern, 1);
  EXPECT_EQ(frame->img.elem_type, NEVO_ELEM_U16);
  EXPECT_EQ(frame->img.width, 64);
  EXPECT_EQ(frame->img.height, 48);
  EXPECT_EQ(frame->img.pitch[0], 128);
  EXPECT_EQ(frame->img.plane[0], pixels);
  EXPECT_EQ(frame->img.fd[0], 17);
  EXPECT_EQ(frame->img.fd[1], -1);
  EXPECT_EQ(frame->zoom_info.fov.right, 64);
  EXPECT_EQ(frame->zoom_info.fov.bottom, 48);
  EXPECT_FLOAT_EQ(frame->zoom_info.zoom_ratio, 1.0f);
  EXPECT_GT(frame->burst_info.cur_luma, 2.0f * FrameLuma(burst_, 0)) << "the EV+2 frame is brighter than EV-2";
}

TEST_F(Records, InitAndStart_DescribeTheBurstAndTheCapture) {
  options_.select = true;
  auto init = std::make_unique<NevoInitParam>();
  auto start = std::make_unique<NevoStartParam>();
  FillInitParam(options_, burst_, "IMG_20250101_120000.jpg", init.get());
  FillStartParam(options_, burst_, 5, start.get());
  EXPECT_EQ(init->ae.algo_type, 3);
  EXPECT_EQ(init->ae.ev_num, 3);
  EXPECT_EQ(init->ae.ev_value[0], -2);
  EXPECT_EQ(init->ae.ev_value[1], 0);
  EXPECT_EQ(init->ae.ev_value[2], 2);
  EXPECT_EQ(init->ae.meta.is_bracket_exposure, 1);
  EXPECT_EQ(init->is_anchor_select, 1);
  EXPECT_STREQ(init->jpg_path, "IMG_20250101_120000.jpg");
  EXPECT_EQ(start->frame_num, 3);
  EXPECT_EQ(start->width, 64);
  EXPECT_EQ(start->height, 48);
  EXPECT_EQ(start->stride, 64);
  EXPECT_EQ(start->bit_width, 12);
  EXPECT_EQ(start->sensor_type, 3);
  EXPECT_EQ(start->raw_type, 1);
  EXPECT_EQ(start->capture_timestamp, 5u);
  EXPECT_FLOAT_EQ(start->zoom_info.zoom_ratio, 1.0f);
  EXPECT_EQ(start->y_hist_info.buckets, 256u);
  uint32_t total = 0;
  for (uint32_t h : start->y_hist_info.hist) total += h;
  EXPECT_EQ(total, (64u / 8u) * (48u / 8u)) << "one green sample per 8 x 8 block";
  EXPECT_GT(start->gamma_table.length, 1);
  EXPECT_FLOAT_EQ(start->gamma_table.table_y[start->gamma_table.length - 1], 1.0f);
}

TEST(RecordsImage, Output_IsPackedSixteenBitOfTheRequestedFormat) {
  const NevoImage rgb = DescribeImage(NEVO_FORMAT_RGB, 0, 10, 4, nullptr, -1);
  EXPECT_EQ(rgb.pitch[0], 60);
  EXPECT_EQ(ImageBytes(NEVO_FORMAT_RGB, 10, 4), 240u);
  const NevoImage raw = DescribeImage(NEVO_FORMAT_RAW, 2, 10, 4, nullptr, -1);
  EXPECT_EQ(raw.pitch[0], 20);
  EXPECT_EQ(raw.pattern, 2);
  EXPECT_EQ(ImageBytes(NEVO_FORMAT_RAW, 10, 4), 80u);
}

}  // namespace
}  // namespace nevo_capture
