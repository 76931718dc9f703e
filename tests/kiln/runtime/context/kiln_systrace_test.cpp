// kiln::Systrace: markers written to the trace marker of a private sysroot.
#include "kiln/runtime/context/systrace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "kiln/runtime/context/context.h"

namespace {

class SystraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kiln_systrace_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root_ = dir;
    ASSERT_EQ(mkdir((root_ + "/sys").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/sys/kernel").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/sys/kernel/tracing").c_str(), 0755), 0);
    marker_ = root_ + kiln::kTraceMarkerPath;
    std::ofstream(marker_).close();
    setenv("NEVO_SYSROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("NEVO_SYSROOT");
    std::remove(marker_.c_str());
    rmdir((root_ + "/sys/kernel/tracing").c_str());
    rmdir((root_ + "/sys/kernel").c_str());
    rmdir((root_ + "/sys").c_str());
    rmdir(root_.c_str());
  }
  std::string Marker() const {
    std::ifstream in(marker_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  std::string root_;
  std::string marker_;
};

TEST_F(SystraceTest, BeginAndEnd_WriteMarkersWithProcessIdAndName) {
  {
    kiln::Systrace trace(true);
    ASSERT_TRUE(trace.IsOpen());
    trace.Begin("NEVO_HDR::NevoRun");
    trace.End("NEVO_HDR::NevoRun");
  }
  const std::string pid = std::to_string(getpid());
  EXPECT_EQ(Marker(), "B|" + pid + "|NEVO_HDR::NevoRun" + "E|" + pid + "|NEVO_HDR::NevoRun");
}

TEST_F(SystraceTest, DisabledWriter_WritesNothing) {
  kiln::Systrace trace(false);
  EXPECT_FALSE(trace.IsOpen());
  trace.Begin("x");
  trace.End("x");
  EXPECT_EQ(Marker(), "");
}

TEST_F(SystraceTest, MissingMarker_LeavesTheWriterClosed) {
  std::remove(marker_.c_str());
  kiln::Systrace trace(true);
  EXPECT_FALSE(trace.IsOpen());
  trace.Begin("x");  // must be harmless
  struct stat st;
  EXPECT_NE(stat(marker_.c_str(), &st), 0) << "a closed writer must not create the marker";
}

TEST_F(SystraceTest, LongName_IsCutToOneMarkerOf255Bytes) {
  {
    kiln::Systrace trace(true);
    trace.Begin(std::string(400, 'n'));
  }
  const std::string text = Marker();
  const std::string head = "B|" + std::to_string(getpid()) + "|";
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(text.substr(0, head.size()), head);
}

TEST_F(SystraceTest, Context_OpensTheMarkerOnlyWhenConfigured) {
  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeNone;
  config.systrace = true;
  kiln::Context traced(config);
  ASSERT_EQ(traced.Initialize(), 0);
  ASSERT_NE(traced.GetSystrace(), nullptr);
  EXPECT_TRUE(traced.GetSystrace()->IsOpen());
  traced.GetSystrace()->Begin("ctx");

  config.systrace = false;
  kiln::Context quiet(config);
  ASSERT_EQ(quiet.Initialize(), 0);
  ASSERT_NE(quiet.GetSystrace(), nullptr);
  EXPECT_FALSE(quiet.GetSystrace()->IsOpen());
  quiet.GetSystrace()->Begin("quiet");
  EXPECT_EQ(Marker(), "B|" + std::to_string(getpid()) + "|ctx");
}

}  // namespace
