// End to end: the built nevo-capture against the built libnevo.so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kTool = NEVO_TEST_BINARY_DIR "/nevo-capture";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ToolRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// One scratch folder per test; the tool writes to <scratch>/out.
class CaptureRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kTool)) << kTool;
    char pattern[] = "/tmp/nevo_capture_run_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch_ = pattern;
    out_ = scratch_ / "out";
  }
  void TearDown() override {
    std::error_code ec;
    if (!scratch_.empty()) fs::remove_all(scratch_, ec);
  }

  ToolRun Run(const std::string& args, const fs::path& out_dir) const {
    const fs::path out_file = scratch_ / "stdout.txt";
    const fs::path err_file = scratch_ / "stderr.txt";
    const std::string cmd = "'" + kTool + "' " + args + " --out '" + out_dir.string() + "' > '" +
                            out_file.string() + "' 2> '" + err_file.string() + "'";
    const int rc = std::system(cmd.c_str());
    ToolRun run;
    run.exit_code = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    run.out = ReadFile(out_file);
    run.err = ReadFile(err_file);
    return run;
  }
  ToolRun Run(const std::string& args) const { return Run(args, out_); }

  void WriteConfig(const std::string& name, const std::string& text) const {
    std::ofstream(scratch_ / name) << text;
  }

  // Every file of a successful capture, with the output described right.
  void ExpectCaptureFiles(const fs::path& dir, int width, int height, int format) const {
    for (const char* name : {"output.png", "input_ev0.png", "output.raw", "output.json", "status.txt", "timing.txt"}) {
      EXPECT_TRUE(fs::is_regular_file(dir / name)) << name;
    }
    const int channels = format == 0 ? 1 : 3;
    EXPECT_EQ(fs::file_size(dir / "output.raw"), static_cast<uintmax_t>(width) * height * channels * 2);
    const nlohmann::json sidecar = nlohmann::json::parse(ReadFile(dir / "output.json"), nullptr, false);
    ASSERT_TRUE(sidecar.is_object());
    EXPECT_EQ(sidecar["width"], width);
    EXPECT_EQ(sidecar["height"], height);
    EXPECT_EQ(sidecar["format"], format);
    EXPECT_EQ(sidecar["pitch"], width * channels * 2);
    EXPECT_EQ(sidecar["file"], "output.raw");
    for (const char* png : {"output.png", "input_ev0.png"}) {
      EXPECT_EQ(ReadFile(dir / png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << png;
    }
    const std::string status = ReadFile(dir / "status.txt");
    EXPECT_THAT(status, StartsWith("NEVO:"));
    const std::string timing = ReadFile(dir / "timing.txt");
    for (const char* call : {"NevoCreate", "NevoInit", "NevoStart", "NevoAddFrame[0]", "NevoRun", "NevoUnit",
                             "NevoDestroy", "synthesis", "total"}) {
      EXPECT_THAT(timing, HasSubstr(call));
    }
  }

  fs::path scratch_;
  fs::path out_;
};

TEST_F(CaptureRun, DefaultHdrCapture_RunsTheHdrStandInAndWritesEveryFile) {
  const ToolRun run = Run("--width 256 --height 192");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  ExpectCaptureFiles(out_, 256, 192, 1);
  EXPECT_THAT(ReadFile(out_ / "status.txt"), HasSubstr("AlgoBranch=nevo_hdr,"));
  EXPECT_THAT(run.out, HasSubstr((out_ / "output.png").string()));
}

TEST_F(CaptureRun, HdrFCapture_GoesThroughTheBypassWrapperAndWritesEveryFile) {
  const ToolRun run = Run("--algo 14 --width 256 --height 192");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  ExpectCaptureFiles(out_, 256, 192, 1);
  const std::string status = ReadFile(out_ / "status.txt");
  EXPECT_THAT(status, HasSubstr("EvList=[-2,0,2]"));
  EXPECT_THAT(status, HasSubstr("Width=256"));
  EXPECT_THAT(status, HasSubstr("Anchor=1"));
  EXPECT_THAT(run.out, HasSubstr("anchor:         frame 1")) << "the module reported the first EV0 frame";
  EXPECT_THAT(run.out, HasSubstr((out_ / "output.png").string()));
  EXPECT_THAT(run.out, HasSubstr((out_ / "input_ev0.png").string()));
  EXPECT_THAT(run.out, HasSubstr("NevoRun")) << "timing is printed too";
}

TEST_F(CaptureRun, BypassProperty_WritesTheCorrectedEv0FrameDeterministically) {
  const std::string args = "--algo hdr_f --width 128 --height 96 --prop persist.vendor.camera.nevo.bypass=1";
  const ToolRun first = Run(args + " --seed 7", scratch_ / "a");
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  const ToolRun again = Run(args + " --seed 7", scratch_ / "b");
  ASSERT_EQ(again.exit_code, 0) << again.out << again.err;
  const ToolRun other = Run(args + " --seed 8", scratch_ / "c");
  ASSERT_EQ(other.exit_code, 0) << other.out << other.err;
  const std::string raw = ReadFile(scratch_ / "a/output.raw");
  ASSERT_EQ(raw.size(), 128u * 96u * 3u * 2u);
  EXPECT_NE(raw.find_first_not_of('\0'), std::string::npos) << "the EV0 fallback filled the output";
  EXPECT_EQ(raw, ReadFile(scratch_ / "b/output.raw")) << "same seed, same picture";
  EXPECT_NE(raw, ReadFile(scratch_ / "c/output.raw")) << "another seed, other noise";
  EXPECT_THAT(ReadFile(scratch_ / "a/status.txt"), HasSubstr("Bypass=1"));
}

TEST_F(CaptureRun, RawOutputFormat_IsWrittenAsOneChannelMosaic) {
  WriteConfig("raw.json", R"({"nevo":{"algo":{"NEVO_HDR_F":{"enable":1,"bypass":0,"output_format":0}}}})");
  const ToolRun run = Run("--algo hdr_f --width 128 --height 96 --config '" + (scratch_ / "raw.json").string() + "'");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  ExpectCaptureFiles(out_, 128, 96, 0);
}

TEST_F(CaptureRun, SelectAnchor_PrintsTheChosenFrameAndWritesNoOutputImage) {
  const ToolRun run = Run("--algo 14 --select --width 128 --height 96");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("selected anchor: frame 1"));
  EXPECT_THAT(ReadFile(out_ / "timing.txt"), HasSubstr("NevoSelectAnchor"));
  EXPECT_TRUE(fs::exists(out_ / "input_ev0.png"));
  EXPECT_FALSE(fs::exists(out_ / "output.png"));
}

TEST_F(CaptureRun, Dump_CopiesTheCaptureDumpsIntoTheOutputFolder) {
  const ToolRun run = Run("--algo 14 --dump --width 128 --height 96");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr((out_ / "nevo_dump").string()));
  int inputs = 0;
  int descriptions = 0;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(out_ / "nevo_dump", ec)) {
    const std::string name = entry.path().filename().string();
    inputs += name.find("_input_") != std::string::npos ? 1 : 0;
    descriptions += name.find("_rawinfo.json") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(inputs, 3) << "one dump per input frame";
  EXPECT_EQ(descriptions, 1);
}

TEST_F(CaptureRun, FailingCall_ExitsNonZeroNamingTheCallAndItsStatus) {
  // Frames are RAW (format 0); a section that expects format 1 refuses them.
  WriteConfig("bad.json", R"({"nevo":{"algo":{"NEVO_HDR_F":{"enable":1,"bypass":0,"input_format":1}}}})");
  const ToolRun run = Run("--algo 14 --width 128 --height 96 --config '" + (scratch_ / "bad.json").string() + "'");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr("NevoAddFrame[0] failed with status 1001901"));
  EXPECT_TRUE(fs::exists(out_ / "timing.txt")) << "timing is kept for the failed capture";
  EXPECT_FALSE(fs::exists(out_ / "output.png"));
}

TEST_F(CaptureRun, BadOptionsOrMissingConfig_ExitWithAClearMessage) {
  ToolRun run = Run("--bits 11");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_THAT(run.err, HasSubstr("--bits"));
  EXPECT_FALSE(fs::exists(out_)) << "nothing is written for bad options";
  run = Run("--config '" + (scratch_ / "absent.json").string() + "' --width 64 --height 48");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr("absent.json"));
  run = Run("--help");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_THAT(run.out, HasSubstr("usage: nevo-capture"));
}

}  // namespace
