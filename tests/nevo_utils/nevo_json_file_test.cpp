// Loading and saving JSON files: failure texts, unchanged documents, layout.
#include "nevo_utils/nevo_json_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "json_test_log_capture.h"
#include "nevo_utils/nevo_json.h"
#include "nevo_utils/nevo_json_report.h"

namespace {

using Json = nlohmann::json;

// Owns a private temporary directory, removed after each test.
class NevoJsonFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nevo_json_file_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
    return PathOf(name);
  }
  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
  }
  // Loads a file that must be refused with `message` and leave `json` as it was.
  static void ExpectRefused(const std::string& path, const std::string& message) {
    JsonTestLogCapture capture;
    Json json = {{"kept", true}};
    EXPECT_EQ(LoadNevoJson(path.c_str(), json), NEVO_ERR_FAILED);
    EXPECT_EQ(json, Json({{"kept", true}}));
    const auto lines = JsonTestLogCapture::Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 0);
    EXPECT_EQ(lines[0].tag, "NEVO_DUMP");
    const std::string suffix = "] " + message + "\n";
    ASSERT_GE(lines[0].text.size(), suffix.size());
    EXPECT_EQ(lines[0].text.substr(lines[0].text.size() - suffix.size()), suffix);
    EXPECT_NE(lines[0].text.find("nevo_json_file.cpp:"), std::string::npos) << lines[0].text;
  }

  std::string dir_;
};

const char* const kDocument = R"({"camera_mode": 2, "frame": {"0": {"ev_value": -6}}, "name": "hdr"})";

TEST_F(NevoJsonFile, LoadNevoJson_ReadsAValidFileIntoTheDocument) {
  Json json = {{"old", 1}};
  ASSERT_EQ(LoadNevoJson(Write("ok.json", kDocument).c_str(), json), NEVO_OK);
  EXPECT_EQ(json, Json::parse(kDocument));
}

TEST_F(NevoJsonFile, LoadNevoJson_RefusesMissingEmptyTruncatedAndInvalidFiles) {
  const std::string missing = PathOf("absent.json");
  ExpectRefused(missing, "Open file " + missing + " failed");
  ExpectRefused(Write("empty.json", ""), "json is invalid");
  const std::string text = kDocument;
  ExpectRefused(Write("truncated.json", text.substr(0, text.size() / 2)), "json is invalid");
  ExpectRefused(Write("comma.json", R"({"a": 1,, "b": 2})"), "json is invalid");
  ExpectRefused(Write("trailing.json", std::string(kDocument) + " {}"), "json is invalid");
  ExpectRefused(Write("binary.json", std::string("{\"a\":\0\xff\x01}", 9)), "json is invalid");
  ExpectRefused(dir_, "Read file " + dir_ + " failed");
}

TEST_F(NevoJsonFile, LoadNevoJson_RefusesNestingBeyondTheDepthLimit) {
  const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  Json json;
  EXPECT_EQ(LoadNevoJson(Write("deep_ok.json", nested(kNevoJsonMaxDepth)).c_str(), json), NEVO_OK);
  ExpectRefused(Write("too_deep.json", nested(kNevoJsonMaxDepth + 1)), "json is invalid");
  ExpectRefused(Write("very_deep.json", std::string(200000, '{')), "json is invalid");
}

TEST_F(NevoJsonFile, ParseNevoJson_AcceptsTextInMemoryAndRefusesNull) {
  const std::string text = kDocument;
  Json json;
  ASSERT_EQ(ParseNevoJson(text.data(), text.size(), json), NEVO_OK);
  EXPECT_EQ(json["name"], "hdr");
  JsonTestLogCapture capture;
  EXPECT_EQ(ParseNevoJson(nullptr, 10, json), NEVO_ERR_FAILED);
  EXPECT_EQ(json["name"], "hdr");
  EXPECT_EQ(JsonTestLogCapture::Matching(".*\\] json is invalid\n").size(), 1u);
}

TEST_F(NevoJsonFile, SaveNevoJson_WritesFourSpaceIndentAndAFinalNewline) {
  const std::string path = PathOf("saved.json");
  Write("saved.json", std::string(4096, 'x'));  // longer than the document: must be truncated
  ASSERT_EQ(SaveNevoJson(path.c_str(), Json::parse(R"({"b": [1, 2.5], "a": {"k": "v"}})")), NEVO_OK);
  EXPECT_EQ(Read(path),
            "{\n"
            "    \"a\": {\n"
            "        \"k\": \"v\"\n"
            "    },\n"
            "    \"b\": [\n"
            "        1,\n"
            "        2.5\n"
            "    ]\n"
            "}\n");
}

TEST_F(NevoJsonFile, SaveNevoJson_ThenLoadNevoJsonGivesBackTheDumpedRecords) {
  NevoStartParam start{};
  start.gtm_table.length = 3;
  start.face_info.face_num = 2;
  Json json;
  json["start_param"] = DumpNevoStartParam(start);
  json["frame"]["0"] = DumpNevoFrameParam(NevoFrame{});
  const std::string path = PathOf("dump.json");
  ASSERT_EQ(SaveNevoJson(path.c_str(), json), NEVO_OK);
  Json loaded;
  ASSERT_EQ(LoadNevoJson(path.c_str(), loaded), NEVO_OK);
  EXPECT_EQ(loaded, json);
}

TEST_F(NevoJsonFile, SaveNevoJsonText_WritesTheDumpReportAndANewline) {
  JsonTestLogCapture capture;  // the sparse document logs its missing keys
  const Json json = Json::parse(kDocument);
  const std::string path = PathOf("dump.txt");
  ASSERT_EQ(SaveNevoJsonText(path.c_str(), json), NEVO_OK);
  const std::string text = Read(path);
  EXPECT_EQ(text, NevoJson2Str(json) + "\n");
  EXPECT_EQ(text.rfind("[nevo dump]\ncamera_mode: 2\n", 0), 0u);
}

TEST_F(NevoJsonFile, Save_FailsWithOpenFailedWhenTheFileCannotBeCreated) {
  JsonTestLogCapture capture;
  const std::string path = PathOf("no_such_dir/out.json");
  EXPECT_EQ(SaveNevoJson(path.c_str(), Json::object()), NEVO_ERR_FAILED);
  EXPECT_EQ(SaveNevoJsonText(path.c_str(), Json::object()), NEVO_ERR_FAILED);
  EXPECT_EQ(JsonTestLogCapture::Matching("SaveNevoJson\\[.*\\] Open file .*/no_such_dir/out\\.json failed\n").size(), 1u);
  EXPECT_EQ(JsonTestLogCapture::Matching("SaveNevoJsonText\\[.*\\] Open file .*/no_such_dir/out\\.json failed\n").size(),
            1u);
  EXPECT_FALSE(std::filesystem::exists(PathOf("no_such_dir")));
}

TEST_F(NevoJsonFile, SaveNevoJson_ReportsAFullDevice) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  JsonTestLogCapture capture;
  EXPECT_EQ(SaveNevoJson("/dev/full", Json::object()), NEVO_ERR_FAILED);
  EXPECT_EQ(JsonTestLogCapture::Matching(".*\\] Write file /dev/full failed\n").size(), 1u);
}

}  // namespace
