// Operator parameter dumps: the JSON document, the .bin files beside it and
// the error records of the JSON writer.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "kiln/runtime/context/context.h"
#include "kiln/tools/json/json_writer.h"
#include "probe_op.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class OpDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "DUMP";
    ctx_.reset(new kiln::Context(config));
    ASSERT_EQ(ctx_->Initialize(), 0);
    char dir[] = "/tmp/kiln_op_dump_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = dir_ + "/" + name;
        if (rmdir(path.c_str()) != 0) std::remove(path.c_str());
      }
      closedir(d);
    }
    rmdir(dir_.c_str());
  }
  bool Recorded(const std::string& message) const {
    return ctx_->GetLogger()->GetErrorBacktrace().find("] : " + message + "\n") != std::string::npos;
  }

  std::unique_ptr<kiln::Context> ctx_;
  std::string dir_;
};

TEST_F(OpDumpTest, Dump_WritesParamsWithArrayDescriptionsAndBinFiles) {
  kiln::Mat src(ctx_.get(), kiln::QX_U16, {3, 50, 2}, kiln::KILN_MEM_HEAP, {0, 256});
  kiln::Mat dst(ctx_.get(), kiln::QX_U16, {3, 50, 2}, kiln::KILN_MEM_HEAP);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 100; ++x) src.Ptr<uint16_t>(y)[x] = static_cast<uint16_t>(y * 1000 + x);
  }
  probe::Probe op(ctx_.get(), kiln::TargetInfo(kiln::kTargetNeon, false));
  ASSERT_EQ(op.SetArgs(&src, &dst, probe::kFailDeinit), 0);
  ASSERT_EQ(op.Dump(dir_), 0) << ctx_->GetLogger()->GetErrorBacktrace();

  const nlohmann::json doc = nlohmann::json::parse(ReadFile(dir_ + "/Probe.json"));
  ASSERT_TRUE(doc.contains("params"));
  const nlohmann::json& params = doc["params"];
  EXPECT_EQ(params["name"], "Probe");
  EXPECT_EQ(params["m_type"], probe::kFailDeinit);
  const nlohmann::json& s = params["m_src"];
  EXPECT_EQ(s["sizes"], nlohmann::json({3, 50, 2}));
  EXPECT_EQ(s["strides"], nlohmann::json({3, 256}));
  EXPECT_EQ(s["elemtype"], "U16");
  EXPECT_EQ(s["path"], dir_ + "/Probe_m_src.bin");
  EXPECT_EQ(params["m_dst"]["strides"], nlohmann::json({3, 200}));
  EXPECT_EQ(params["m_dst"]["path"], dir_ + "/Probe_m_dst.bin");

  const std::string bin = ReadFile(dir_ + "/Probe_m_src.bin");
  ASSERT_EQ(bin.size(), 3u * 50u * 2u * 2u) << "pixel bytes only, not the 256-byte pitch";
  uint16_t last = 0;
  std::memcpy(&last, bin.data() + bin.size() - 2, 2);
  EXPECT_EQ(last, 2099);
  EXPECT_EQ(ReadFile(dir_ + "/Probe_m_dst.bin").size(), 600u);
}

TEST_F(OpDumpTest, Dump_IntoAMissingFolderRecordsTheFailingArray) {
  kiln::Mat m(ctx_.get(), kiln::QX_U8, {2, 64, 1}, kiln::KILN_MEM_HEAP);
  probe::Probe op(ctx_.get(), kiln::TargetInfo(kiln::kTargetNeon, false));
  ASSERT_EQ(op.SetArgs(&m, &m, probe::kCopy), 0);
  const std::string missing = dir_ + "/not_there";
  EXPECT_EQ(op.Dump(missing), -1);
  EXPECT_TRUE(Recorded("open " + missing + "/Probe_m_src.bin failed"));
  EXPECT_TRUE(Recorded("SetArray src failed"));
}

TEST_F(OpDumpTest, Dump_WhoseJsonCannotBeCreatedRecordsBothWriterAndOperator) {
  kiln::Mat m(ctx_.get(), kiln::QX_U8, {2, 64, 1}, kiln::KILN_MEM_HEAP);
  probe::Probe op(ctx_.get(), kiln::TargetInfo(kiln::kTargetNeon, false));
  ASSERT_EQ(op.SetArgs(&m, &m, probe::kCopy), 0);
  ASSERT_EQ(mkdir((dir_ + "/Probe.json").c_str(), 0755), 0);  // a folder where the file should go
  EXPECT_EQ(op.Dump(dir_), -1);
  EXPECT_TRUE(Recorded("open json file failed"));
  EXPECT_TRUE(Recorded("Write json failed"));
}

TEST_F(OpDumpTest, Dump_OfANullDestinationRecordsTheDstStep) {
  kiln::Mat m(ctx_.get(), kiln::QX_U8, {2, 64, 1}, kiln::KILN_MEM_HEAP);
  // The implementation is handed a null destination directly: the Op's own
  // check would refuse it before.
  probe::ProbeNone impl(ctx_.get(), kiln::TargetInfo(kiln::kTargetNone, false));
  ASSERT_EQ(impl.SetArgs(&m, nullptr, probe::kCopy), 0);
  EXPECT_EQ(impl.Dump(dir_), -1);
  EXPECT_TRUE(Recorded("array:m_dstis null"));
  EXPECT_TRUE(Recorded("SetArray dst failed"));
}

TEST_F(OpDumpTest, JsonWriter_WritesListsAndChecksNames) {
  kiln::Mat a(ctx_.get(), kiln::QX_U8, {2, 3, 1}, kiln::KILN_MEM_HEAP);
  kiln::Mat b(ctx_.get(), kiln::QX_F32, {1, 2, 3}, kiln::KILN_MEM_HEAP);
  kiln::JsonWriter writer(ctx_.get(), dir_, "CvtColor");
  EXPECT_EQ(writer.SetArrays("m_src", {&a, &b}, {"y"}), -1);
  EXPECT_TRUE(Recorded("name's size should equal to arrays"));
  EXPECT_EQ(writer.SetArrays("m_src", {&a, nullptr}, {"y", "uv"}), -1);
  EXPECT_TRUE(Recorded("array:uvis null"));
  ASSERT_EQ(writer.SetArrays("m_src", {&a, &b}, {"y", "uv"}), 0);
  writer.SetValue("m_type", 7);
  ASSERT_EQ(writer.Write(dir_ + "/cvt.json"), 0);
  const nlohmann::json doc = nlohmann::json::parse(ReadFile(dir_ + "/cvt.json"));
  const nlohmann::json& list = doc["params"]["m_src"];
  ASSERT_TRUE(list.is_array());
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["path"], dir_ + "/CvtColor_y.bin");
  EXPECT_EQ(list[1]["elemtype"], "F32");
  EXPECT_EQ(list[1]["sizes"], nlohmann::json({1, 2, 3}));
  EXPECT_EQ(ReadFile(dir_ + "/CvtColor_uv.bin").size(), 24u);
  EXPECT_EQ(doc["params"]["m_type"], 7);
  EXPECT_NE(ReadFile(dir_ + "/cvt.json").find("\n    \"params\""), std::string::npos) << "indent of 4";
}

}  // namespace
