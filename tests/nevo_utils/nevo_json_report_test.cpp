// Text reports of a dump document: layout, values, grids, missing keys.
#include "nevo_utils/nevo_json_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "json_test_log_capture.h"
#include "nevo_utils/nevo_json.h"

namespace {

using Json = nlohmann::json;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

void ExpectSameLines(const std::string& actual, const std::vector<std::string>& expected) {
  const std::vector<std::string> lines = SplitLines(actual);
  for (size_t i = 0; i < std::min(lines.size(), expected.size()); ++i) {
    EXPECT_EQ(lines[i], expected[i]) << "line " << i;
  }
  EXPECT_EQ(lines.size(), expected.size());
  EXPECT_EQ(actual.back(), '\n');
}

// Index of `block` as consecutive lines inside `lines`, or -1.
int FindBlock(const std::vector<std::string>& lines, const std::vector<std::string>& block) {
  for (size_t start = 0; start + block.size() <= lines.size(); ++start) {
    if (std::equal(block.begin(), block.end(), lines.begin() + start)) return static_cast<int>(start);
  }
  return -1;
}

// Not-found line of a report as the log callback receives it.
std::string NotFoundPattern(const std::string& function, const std::string& expression) {
  std::string escaped;
  for (const char c : expression) {
    if (std::string("[]().\\").find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return function + "\\[[^\\]]*nevo_json_report\\.cpp:[0-9]+\\] " + escaped + " not found\n";
}

const char* const kInitDocument = R"({
  "init_param": {
    "ae": {"algo_type": 3, "ev_num": 3, "ev_value": [-12, 0, 6], "capture_mode": [0, 0, 1],
           "meta": {"is_white_plus": 1, "is_black_sub": 0, "ev_offset": 0.5, "is_smart_motion": 0,
                    "banding_type": 2, "is_bracket_exposure": 1, "is_scene_bright": 0,
                    "bokeh_setting_type": 0},
           "is_need_crop_upscale": false},
    "is_anchor_select": 0, "force_algo": 0, "jpg_path": "/sdcard/a.jpg", "exp_targets": [1.5, 2.0, 0.25]}})";

TEST(NevoJsonReportText, NevoInitParam2Str_PrintsHeadingGroupsAndCompactValuesInRecordOrder) {
  JsonTestLogCapture capture;
  ExpectSameLines(NevoInitParam2Str(Json::parse(kInitDocument)),
                  {"[nevo init param]",
                   "",
                   "init_param",
                   "",
                   "ae",
                   "algo_type: 3",
                   "ev_num: 3",
                   "ev_value: [-12,0,6]",
                   "capture_mode: [0,0,1]",
                   "",
                   "meta",
                   "is_white_plus: 1",
                   "is_black_sub: 0",
                   "ev_offset: 0.5",
                   "is_smart_motion: 0",
                   "banding_type: 2",
                   "is_bracket_exposure: 1",
                   "is_scene_bright: 0",
                   "bokeh_setting_type: 0",
                   "is_need_crop_upscale: false",
                   "is_anchor_select: 0",
                   "force_algo: 0",
                   "jpg_path: \"/sdcard/a.jpg\"",
                   "exp_targets: [1.5,2.0,0.25]"});
  EXPECT_TRUE(JsonTestLogCapture::Lines().empty());
}

TEST(NevoJsonReportText, NevoOutputParam2Str_PrintsImagesCompactAndTheBokehMaskAsAGroup) {
  const Json json = Json::parse(R"({"output": {
      "img_num": 1,
      "img": [{"format": 0, "pattern": 2, "elem_type": 3, "width": 4000, "height": 3000,
               "pitch": [8000, 0, 0, 0]}],
      "nr_gain_thresh": 1.25, "exif_info": "ISO=100", "xdr_linear_raw_ratio": 0.5, "aitone_flag": 1,
      "rgb_dehaze_saturation_adjust": 0.0, "rgb_dehaze_face_hue": -0.75,
      "rgb_dehaze_face_hue_after": 0.125, "bokeh_mask_deghost_flag": 0,
      "bokeh_mask": {"format": 1, "pattern": 0, "elem_type": 1, "width": 640, "height": 480,
                     "pitch": [1920, 0, 0, 0]}}})");
  ExpectSameLines(NevoOutputParam2Str(json),
                  {"[nevo output param]",
                   "",
                   "output",
                   "img_num: 1",
                   R"(img: [{"elem_type":3,"format":0,"height":3000,"pattern":2,"pitch":[8000,0,0,0],"width":4000}])",
                   "nr_gain_thresh: 1.25",
                   "exif_info: \"ISO=100\"",
                   "xdr_linear_raw_ratio: 0.5",
                   "aitone_flag: 1",
                   "rgb_dehaze_saturation_adjust: 0.0",
                   "rgb_dehaze_face_hue: -0.75",
                   "rgb_dehaze_face_hue_after: 0.125",
                   "bokeh_mask_deghost_flag: 0",
                   "",
                   "bokeh_mask",
                   "format: 1",
                   "pattern: 0",
                   "elem_type: 1",
                   "width: 640",
                   "height: 480",
                   "pitch: [1920,0,0,0]"});
}

TEST(NevoJsonReportText, NevoFrameParam2Str_PrintsLscRowsWithSixDecimalsAndSkipsGyroElems) {
  NevoFrame frame{};
  float(*const grids[])[NEVO_LSC_COLS] = {frame.lsc.gr, frame.lsc.gb, frame.lsc.r, frame.lsc.b};
  for (int g = 0; g < 4; ++g) {
    for (int row = 0; row < NEVO_LSC_ROWS; ++row) {
      for (int col = 0; col < NEVO_LSC_COLS; ++col) grids[g][row][col] = 1.0f + g + row * 0.5f + col / 64.0f;
    }
  }
  frame.gyro_data.count = 2;
  frame.gyro_data.frame_time = {100, 250, 150};
  Json json;
  json["frame"]["4"] = DumpNevoFrameParam(frame);
  const std::vector<std::string> lines = SplitLines(NevoFrameParam2Str(json, 4));

  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "[nevo frame param][4]");
  std::vector<std::string> lsc = {"", "lsc"};
  const char* const names[] = {"gr", "gb", "r", "b"};
  for (int g = 0; g < 4; ++g) {
    lsc.push_back(std::string(names[g]) + ":");
    for (int row = 0; row < NEVO_LSC_ROWS; ++row) {
      std::ostringstream text;
      for (int col = 0; col < NEVO_LSC_COLS; ++col) {
        text << std::fixed << std::setprecision(6) << (1.0 + g + row * 0.5 + col / 64.0) << ", ";
      }
      lsc.push_back(text.str());
    }
  }
  EXPECT_GE(FindBlock(lines, lsc), 0);
  EXPECT_GE(FindBlock(lines, {"", "gyro_data", "count: 2", "gyro_elems is ignored here, please review in json",
                              "", "frame_time", "exp_beg: 100", "exp_end: 250", "exp_dur: 150"}),
            0);
}

TEST(NevoJsonReportText, NevoJson2Str_ChainsTheReportsWithFramesInIndexOrder) {
  Json json = Json::parse(kInitDocument);
  json["camera_mode"] = 2;
  json["start_param"] = DumpNevoStartParam(NevoStartParam{});
  for (const char* index : {"10", "0", "2"}) json["frame"][index] = DumpNevoFrameParam(NevoFrame{});
  json["frame"]["01"] = 1;  // not a frame index
  json["frame"]["x"] = 1;
  json["output"] = DumpNevoOutputParam(NevoOutput{});

  const std::string expected = "[nevo dump]\ncamera_mode: 2\n\n" + NevoInitParam2Str(json) + "\n" +
                               NevoStartParam2Str(json) + "\n" + "frame\n" + NevoFrameParam2Str(json, 0) +
                               "\n" + NevoFrameParam2Str(json, 2) + "\n" + NevoFrameParam2Str(json, 10) +
                               "\n" + NevoOutputParam2Str(json) + "\n";
  EXPECT_EQ(NevoJson2Str(json), expected);
}

TEST(NevoJsonReportText, NevoJson2Str_OfAFullDumpFindsEveryKeyTheRecordsWrite) {
  JsonTestLogCapture capture;
  NevoStartParam start{};
  start.face_info.face_num = 2;
  NevoFrame frame{};
  frame.face_info.face_num = 1;
  NevoOutput output{};
  output.bokeh_mask.plane[0] = &output;
  Json json;
  json["camera_mode"] = 0;
  json["init_param"] = DumpNevoInitParam(NevoInitParam{});
  json["start_param"] = DumpNevoStartParam(start);
  json["frame"]["0"] = DumpNevoFrameParam(frame);
  json["output"] = DumpNevoOutputParam(output);
  const std::string text = NevoJson2Str(json);

  for (const CapturedLine& line : JsonTestLogCapture::Lines()) {
    EXPECT_EQ(line.text.find("not found"), std::string::npos) << line.text;
  }
  const std::vector<std::string> lines = SplitLines(text);
  for (const char* key : {"face_rect: ", "face_bright: ", "face_angle: ", "bokeh_mask"}) {
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [key](const std::string& line) { return line.rfind(key, 0) == 0; }))
        << key;
  }
}

TEST(NevoJsonReportMissing, NevoInitParam2Str_WithoutInitParamPrintsHeadingAndGroupAndLogsOnce) {
  JsonTestLogCapture capture;
  EXPECT_EQ(NevoInitParam2Str(Json::object()), "[nevo init param]\n\ninit_param\n");
  const auto lines = JsonTestLogCapture::Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, 0);
  EXPECT_EQ(lines[0].tag, "NEVO_DUMP");
  EXPECT_EQ(JsonTestLogCapture::Matching(NotFoundPattern("NevoInitParam2Str", R"(json["init_param"])")).size(), 1u);
}

TEST(NevoJsonReportMissing, NevoInitParam2Str_SkipsAMissingKeyAndNamesItsParentPath) {
  JsonTestLogCapture capture;
  Json json = Json::parse(kInitDocument);
  json["init_param"]["ae"].erase("ev_num");
  json["init_param"]["ae"]["meta"].erase("banding_type");
  const std::vector<std::string> lines = SplitLines(NevoInitParam2Str(json));

  EXPECT_EQ(FindBlock(lines, {"algo_type: 3", "ev_value: [-12,0,6]"}), 5);
  EXPECT_GE(FindBlock(lines, {"is_smart_motion: 0", "is_bracket_exposure: 1"}), 0);
  EXPECT_EQ(lines.size(), 22u);
  EXPECT_EQ(JsonTestLogCapture::Lines().size(), 2u);
  EXPECT_EQ(JsonTestLogCapture::Matching(NotFoundPattern("NevoInitParam2Str", R"(json["init_param"]["ae"]["ev_num"])"))
                .size(),
            1u);
  EXPECT_EQ(JsonTestLogCapture::Matching(
                NotFoundPattern("NevoInitParam2Str", R"(json["init_param"]["ae"]["meta"]["banding_type"])"))
                .size(),
            1u);
}

TEST(NevoJsonReportMissing, NevoFrameParam2Str_LogsAMissingFrameAndMissingFrameKeys) {
  JsonTestLogCapture capture;
  EXPECT_EQ(NevoFrameParam2Str(Json::object(), 0), "[nevo frame param][0]\n");
  EXPECT_EQ(JsonTestLogCapture::Matching(NotFoundPattern("NevoFrameParam2Str", R"(json["frame"])")).size(), 1u);

  Json json;
  json["frame"]["0"] = DumpNevoFrameParam(NevoFrame{});
  json["frame"]["0"]["burst_info"].erase("cur_luma");
  EXPECT_EQ(NevoFrameParam2Str(json, 3), "[nevo frame param][3]\n");
  EXPECT_EQ(JsonTestLogCapture::Matching(
                NotFoundPattern("NevoFrameParam2Str", R"(json["frame"][std::to_string(frame_idx)])"))
                .size(),
            1u);

  const std::string text = NevoFrameParam2Str(json, 0);
  EXPECT_EQ(text.find("cur_luma"), std::string::npos);
  EXPECT_NE(text.find("tar_luma: 0.0"), std::string::npos);
  EXPECT_EQ(JsonTestLogCapture::Matching(
                NotFoundPattern("NevoFrameParam2Str", R"(json_frame["burst_info"]["cur_luma"])"))
                .size(),
            1u);
  EXPECT_EQ(JsonTestLogCapture::Lines().size(), 3u);
}

TEST(NevoJsonReportMissing, Reports_TreatAGroupOfTheWrongTypeAsHoldingNoKeys) {
  JsonTestLogCapture capture;
  EXPECT_EQ(NevoInitParam2Str(Json::parse(R"({"init_param": {"ae": 5}})")),
            "[nevo init param]\n\ninit_param\n\nae\n\nmeta\n");
  // Four ae keys, the meta group and is_need_crop_upscale are missing under
  // ae; the four keys of init_param itself under init_param.
  size_t under_ae = 0;
  for (const CapturedLine& line : JsonTestLogCapture::Lines()) {
    if (line.text.find("json[\"init_param\"][\"ae\"][\"") != std::string::npos) ++under_ae;
  }
  EXPECT_EQ(under_ae, 6u);
  EXPECT_EQ(JsonTestLogCapture::Lines().size(), 10u);
}

TEST(NevoJsonReportMissing, NevoJson2Str_AcceptsDocumentsThatAreNotObjects) {
  JsonTestLogCapture capture;
  for (const Json& json : {Json(), Json(7), Json::array({1, 2}), Json("text")}) {
    const std::string text = NevoJson2Str(json);
    EXPECT_EQ(text.rfind("[nevo dump]\n", 0), 0u);
    EXPECT_NE(text.find("[nevo output param]\n\noutput\n"), std::string::npos);
  }
  EXPECT_EQ(JsonTestLogCapture::Matching(NotFoundPattern("NevoJson2Str", R"(json["camera_mode"])")).size(), 4u);
}

}  // namespace
