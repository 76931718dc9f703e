// Records to JSON: keys, nesting, value types, clamped counts, defaults.
#include "nevo_utils/nevo_json.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>
#include <string>

#include "json_test_log_capture.h"
#include "nevo_utils/nevo_json_file.h"

namespace {

using Json = nlohmann::json;

// Distinct values for every field, so a field written from the wrong source
// shows. Floats are steps of 0.1, which single precision cannot hold exactly:
// a widened value differs from the decimal text.
class Sequence {
 public:
  int32_t Int() {
    ++n_;
    return (n_ % 2 == 0 ? 1 : -1) * (1000 + n_);
  }
  float Float() { return static_cast<float>(++n_) * 0.1f + 0.3f; }
  uint64_t U64() { return 0xF000000000000000ull + static_cast<uint64_t>(++n_); }

 private:
  int n_ = 0;
};

void Expect(const Json& json, int32_t value) {
  ASSERT_TRUE(json.is_number_integer()) << json;
  EXPECT_EQ(json.get<int64_t>(), value);
}
void Expect(const Json& json, uint32_t value) {
  ASSERT_TRUE(json.is_number_integer()) << json;
  EXPECT_EQ(json.get<int64_t>(), static_cast<int64_t>(value));
}
void Expect(const Json& json, uint64_t value) {
  ASSERT_TRUE(json.is_number_unsigned()) << json;
  EXPECT_EQ(json.get<uint64_t>(), value);
}
void Expect(const Json& json, float value) {
  ASSERT_TRUE(json.is_number_float()) << json;
  EXPECT_EQ(json.get<double>(), static_cast<double>(value));
}
void Expect(const Json& json, bool value) {
  ASSERT_TRUE(json.is_boolean()) << json;
  EXPECT_EQ(json.get<bool>(), value);
}
template <typename T>
void ExpectArray(const Json& json, const T* values, size_t count) {
  ASSERT_TRUE(json.is_array()) << json;
  ASSERT_EQ(json.size(), count);
  for (size_t i = 0; i < count; ++i) Expect(json[i], values[i]);
}
void ExpectKeys(const Json& json, const std::set<std::string>& keys) {
  ASSERT_TRUE(json.is_object()) << json;
  std::set<std::string> actual;
  for (const auto& item : json.items()) actual.insert(item.key());
  EXPECT_EQ(actual, keys);
}
void ExpectRect(Json json, const NevoRect& rect) {
  ExpectKeys(json, {"left", "top", "right", "bottom"});
  Expect(json["left"], rect.left);
  Expect(json["top"], rect.top);
  Expect(json["right"], rect.right);
  Expect(json["bottom"], rect.bottom);
}
void ExpectZoom(Json json, const NevoZoomInfo& zoom) {
  ExpectKeys(json, {"fov", "zoom_ratio", "real_zoom_ratio"});
  ExpectRect(json["fov"], zoom.fov);
  Expect(json["zoom_ratio"], zoom.zoom_ratio);
  Expect(json["real_zoom_ratio"], zoom.real_zoom_ratio);
}
void ExpectFaces(Json json, const NevoFaceInfo& faces, size_t count) {
  ExpectKeys(json, {"face_num", "face_rect", "face_bright", "face_angle"});
  Expect(json["face_num"], faces.face_num);
  ASSERT_EQ(json["face_rect"].size(), count);
  ASSERT_EQ(json["face_angle"].size(), count);
  ExpectArray(json["face_bright"], faces.face_bright, count);
  for (size_t i = 0; i < count; ++i) {
    ExpectRect(json["face_rect"][i], faces.face_rect[i]);
    Json& angle = json["face_angle"][i];
    ExpectKeys(angle, {"pitch", "roll_angle", "pose"});
    Expect(angle["pitch"], faces.face_angle[i].pitch);
    Expect(angle["roll_angle"], faces.face_angle[i].roll_angle);
    Expect(angle["pose"], faces.face_angle[i].pose);
  }
}
void ExpectImage(Json json, const NevoImage& image) {
  ExpectKeys(json, {"format", "pattern", "elem_type", "width", "height", "pitch"});
  Expect(json["format"], image.format);
  Expect(json["pattern"], image.pattern);
  Expect(json["elem_type"], image.elem_type);
  Expect(json["width"], image.width);
  Expect(json["height"], image.height);
  ExpectArray(json["pitch"], image.pitch, NEVO_MAX_PLANES);
}

void Fill(NevoRect& rect, Sequence& s) { rect = {s.Int(), s.Int(), s.Int(), s.Int()}; }
void Fill(NevoZoomInfo& zoom, Sequence& s) {
  Fill(zoom.fov, s);
  zoom.zoom_ratio = s.Float();
  zoom.real_zoom_ratio = s.Float();
}
void Fill(NevoFaceInfo& faces, int32_t face_num, Sequence& s) {
  faces.face_num = face_num;
  for (int i = 0; i < NEVO_MAX_FACES; ++i) {
    Fill(faces.face_rect[i], s);
    faces.face_bright[i] = s.Float();
    faces.face_angle[i] = {s.Int(), s.Int(), s.Int()};
  }
}
void Fill(NevoImage& image, Sequence& s) {
  image.format = s.Int();
  image.pattern = s.Int();
  image.elem_type = s.Int();
  image.width = s.Int();
  image.height = s.Int();
  for (int i = 0; i < NEVO_MAX_PLANES; ++i) {
    image.pitch[i] = s.Int();
    image.fd[i] = s.Int();
  }
  image.plane[0] = &image;  // any non-null address
}

// Every array is filled to capacity so that reading past a count shows.
NevoInitParam MakeInitParam() {
  Sequence s;
  NevoInitParam p{};
  p.ae.algo_type = NEVO_HDR;
  p.ae.ev_num = 5;
  for (int i = 0; i < NEVO_MAX_FRAMES; ++i) {
    p.ae.ev_value[i] = s.Int();
    p.ae.capture_mode[i] = s.Int();
  }
  p.ae.meta = {s.Int(), s.Int(), s.Float(), s.Int(), s.Int(), s.Int(), s.Int(), s.Int()};
  p.ae.is_need_crop_upscale = true;
  p.is_anchor_select = s.Int();
  p.force_algo = s.Int();
  std::strcpy(p.jpg_path, "/sdcard/DCIM/Camera/IMG_0001.jpg");
  for (float& target : p.exp_targets) target = s.Float();
  return p;
}

NevoStartParam MakeStartParam() {
  Sequence s;
  NevoStartParam p{};
  p.direction = s.Int();
  p.frame_num = s.Int();
  p.width = s.Int();
  p.height = s.Int();
  p.stride = s.Int();
  p.bit_width = s.Int();
  p.sensor_type = s.Int();
  p.sensor_mode = s.Int();
  p.ui_ev = s.Int();
  p.input_mode = s.Int();
  p.capture_timestamp = s.U64();
  p.gamma_table.length = 33;
  for (int i = 0; i < NEVO_MAX_GAMMA; ++i) {
    p.gamma_table.table_x[i] = s.Float();
    p.gamma_table.table_y[i] = s.Float();
  }
  p.y_hist_info.buckets = 64;
  for (uint32_t& bucket : p.y_hist_info.hist) bucket = 0x80000000u + static_cast<uint32_t>(s.Int() & 0xFFFF);
  Fill(p.zoom_info, s);
  for (float& c : p.ccm) c = s.Float();
  p.cct = s.Float();
  Fill(p.face_info, 3, s);
  p.ai_scene_result = {s.Int(), s.Float(), s.Int(), s.Float()};
  p.indoor_flag = s.Int();
  p.sunset_result = {s.Int(), s.Float()};
  p.xdr_light_index = s.Int();
  p.raw_type = s.Int();
  p.black_sub_ratio = s.Float();
  p.white_plus_ratio = s.Float();
  p.gtm_table.length = 17;
  for (int i = 0; i < NEVO_MAX_GTM; ++i) {
    p.gtm_table.table_x[i] = s.Int();
    p.gtm_table.table_y[i] = s.Int();
  }
  p.assign_anchor = {true, s.Int()};
  p.is_fs_track = true;
  p.concert_flag = s.Int();
  p.sdsr_flag = s.Int();
  return p;
}

NevoFrame MakeFrame() {
  Sequence s;
  NevoFrame f{};
  f.ev_value = s.Int();
  NevoBurstInfo& b = f.burst_info;
  for (int i = 0; i < 4; ++i) {
    b.bright_level[i] = s.Int();
    b.black_level[i] = s.Int();
    b.wb_gain[i] = s.Float();
  }
  for (float* v : {&b.cur_luma, &b.tar_luma, &b.face_luma, &b.prev_face_luma, &b.shutter,
                   &b.prev_shutter, &b.sensor_gain, &b.hcg_sensor_gain, &b.isp_gain,
                   &b.prev_isp_gain, &b.adrc_gain, &b.prev_adrc_gain, &b.dark_boost_gain,
                   &b.frame_luma}) {
    *v = s.Float();
  }
  b.lux_index = s.Int();
  b.exp_index = s.Int();
  f.sensor_mode = s.Int();
  f.frame_timestamp = s.U64();
  f.focus_status = s.Int();
  for (auto* grid : {&f.lsc.gr, &f.lsc.gb, &f.lsc.r, &f.lsc.b}) {
    for (auto& row : *grid) {
      for (float& v : row) v = s.Float();
    }
  }
  f.is_zsl = s.Int();
  f.is_flash_on = s.Int();
  Fill(f.img, s);
  f.gyro_data.count = 7;
  for (NevoGyroElem& e : f.gyro_data.gyro_elems) e = {s.Float(), s.Float(), s.Float(), {}, s.U64()};
  f.gyro_data.frame_time = {s.U64(), s.U64(), s.U64()};
  Fill(f.face_info, 2, s);
  Fill(f.zoom_info, s);
  f.ae_ratio = s.Float();
  f.anchor_meta.best_moment = {true, s.Float()};
  f.anchor_meta.eye_detect = {true, false, s.Float(), false, true};
  f.fs_track_rect = {s.Float(), s.Float(), s.Float(), s.Float()};
  return f;
}

NevoOutput MakeOutput() {
  Sequence s;
  NevoOutput o{};
  o.img_num = 2;
  for (NevoImage& image : o.img) Fill(image, s);
  o.nr_gain_thresh = s.Float();
  std::strcpy(o.exif_info, "ISO=800;EV=-1.5");
  o.xdr_linear_raw_ratio = s.Float();
  o.aitone_flag = s.Int();
  o.rgb_dehaze_saturation_adjust = s.Float();
  o.rgb_dehaze_face_hue = s.Float();
  o.rgb_dehaze_face_hue_after = s.Float();
  o.bokeh_mask_deghost_flag = s.Int();
  Fill(o.bokeh_mask, s);
  return o;
}

void ExpectInitParam(Json json, const NevoInitParam& p) {
  ExpectKeys(json, {"ae", "is_anchor_select", "force_algo", "jpg_path", "exp_targets"});
  Json& ae = json["ae"];
  ExpectKeys(ae, {"algo_type", "ev_num", "ev_value", "capture_mode", "meta", "is_need_crop_upscale"});
  Expect(ae["algo_type"], p.ae.algo_type);
  Expect(ae["ev_num"], p.ae.ev_num);
  ExpectArray(ae["ev_value"], p.ae.ev_value, 5);
  ExpectArray(ae["capture_mode"], p.ae.capture_mode, 5);
  Json& meta = ae["meta"];
  ExpectKeys(meta, {"is_white_plus", "is_black_sub", "ev_offset", "is_smart_motion", "banding_type",
                    "is_bracket_exposure", "is_scene_bright", "bokeh_setting_type"});
  Expect(meta["is_white_plus"], p.ae.meta.is_white_plus);
  Expect(meta["is_black_sub"], p.ae.meta.is_black_sub);
  Expect(meta["ev_offset"], p.ae.meta.ev_offset);
  Expect(meta["is_smart_motion"], p.ae.meta.is_smart_motion);
  Expect(meta["banding_type"], p.ae.meta.banding_type);
  Expect(meta["is_bracket_exposure"], p.ae.meta.is_bracket_exposure);
  Expect(meta["is_scene_bright"], p.ae.meta.is_scene_bright);
  Expect(meta["bokeh_setting_type"], p.ae.meta.bokeh_setting_type);
  Expect(ae["is_need_crop_upscale"], p.ae.is_need_crop_upscale);
  Expect(json["is_anchor_select"], p.is_anchor_select);
  Expect(json["force_algo"], p.force_algo);
  EXPECT_EQ(json["jpg_path"], std::string(p.jpg_path));
  ExpectArray(json["exp_targets"], p.exp_targets, 3);
}

void ExpectStartParam(Json json, const NevoStartParam& p) {
  ExpectKeys(json, {"direction", "frame_num", "width", "height", "stride", "bit_width", "sensor_type",
                    "sensor_mode", "ui_ev", "input_mode", "capture_timestamp", "gamma_table",
                    "y_hist_info", "zoom_info", "ccm", "cct", "face_info", "ai_scene_result",
                    "indoor_flag", "sunset_result", "xdr_light_index", "raw_type", "black_sub_ratio",
                    "white_plus_ratio", "gtm_table", "assign_anchor", "is_fs_track", "concert_flag",
                    "sdsr_flag"});
  Expect(json["direction"], p.direction);
  Expect(json["frame_num"], p.frame_num);
  Expect(json["width"], p.width);
  Expect(json["height"], p.height);
  Expect(json["stride"], p.stride);
  Expect(json["bit_width"], p.bit_width);
  Expect(json["sensor_type"], p.sensor_type);
  Expect(json["sensor_mode"], p.sensor_mode);
  Expect(json["ui_ev"], p.ui_ev);
  Expect(json["input_mode"], p.input_mode);
  Expect(json["capture_timestamp"], p.capture_timestamp);
  ExpectKeys(json["gamma_table"], {"length", "table_x", "table_y"});
  Expect(json["gamma_table"]["length"], p.gamma_table.length);
  ExpectArray(json["gamma_table"]["table_x"], p.gamma_table.table_x, 33);
  ExpectArray(json["gamma_table"]["table_y"], p.gamma_table.table_y, 33);
  ExpectKeys(json["y_hist_info"], {"buckets", "hist"});
  Expect(json["y_hist_info"]["buckets"], p.y_hist_info.buckets);
  ExpectArray(json["y_hist_info"]["hist"], p.y_hist_info.hist, 64);
  ExpectZoom(json["zoom_info"], p.zoom_info);
  ExpectArray(json["ccm"], p.ccm, 9);
  Expect(json["cct"], p.cct);
  ExpectFaces(json["face_info"], p.face_info, 3);
  Json& scene = json["ai_scene_result"];
  ExpectKeys(scene, {"first_result", "first_confidence", "second_result", "second_confidence"});
  Expect(scene["first_result"], p.ai_scene_result.first_result);
  Expect(scene["first_confidence"], p.ai_scene_result.first_confidence);
  Expect(scene["second_result"], p.ai_scene_result.second_result);
  Expect(scene["second_confidence"], p.ai_scene_result.second_confidence);
  Expect(json["indoor_flag"], p.indoor_flag);
  ExpectKeys(json["sunset_result"], {"is_sunset", "sunset_confidence"});
  Expect(json["sunset_result"]["is_sunset"], p.sunset_result.is_sunset);
  Expect(json["sunset_result"]["sunset_confidence"], p.sunset_result.sunset_confidence);
  Expect(json["xdr_light_index"], p.xdr_light_index);
  Expect(json["raw_type"], p.raw_type);
  Expect(json["black_sub_ratio"], p.black_sub_ratio);
  Expect(json["white_plus_ratio"], p.white_plus_ratio);
  ExpectKeys(json["gtm_table"], {"length", "table_x", "table_y"});
  Expect(json["gtm_table"]["length"], p.gtm_table.length);
  ExpectArray(json["gtm_table"]["table_x"], p.gtm_table.table_x, 17);
  ExpectArray(json["gtm_table"]["table_y"], p.gtm_table.table_y, 17);
  ExpectKeys(json["assign_anchor"], {"is_assign_anchor", "anchor_order"});
  Expect(json["assign_anchor"]["is_assign_anchor"], p.assign_anchor.is_assign_anchor);
  Expect(json["assign_anchor"]["anchor_order"], p.assign_anchor.anchor_order);
  Expect(json["is_fs_track"], p.is_fs_track);
  Expect(json["concert_flag"], p.concert_flag);
  Expect(json["sdsr_flag"], p.sdsr_flag);
}

void ExpectFrame(Json json, const NevoFrame& f) {
  ExpectKeys(json, {"ev_value", "burst_info", "sensor_mode", "frame_timestamp", "focus_status", "lsc",
                    "is_zsl", "is_flash_on", "img", "gyro_data", "face_info", "zoom_info", "ae_ratio",
                    "anchor_meta", "fs_track_rect"});
  Expect(json["ev_value"], f.ev_value);
  Json& b = json["burst_info"];
  const NevoBurstInfo& r = f.burst_info;
  ExpectKeys(b, {"bright_level", "black_level", "wb_gain", "cur_luma", "tar_luma", "face_luma",
                 "prev_face_luma", "frame_luma", "shutter", "prev_shutter", "sensor_gain",
                 "hcg_sensor_gain", "isp_gain", "prev_isp_gain", "adrc_gain", "prev_adrc_gain",
                 "dark_boost_gain", "lux_index", "exp_index"});
  ExpectArray(b["bright_level"], r.bright_level, 4);
  ExpectArray(b["black_level"], r.black_level, 4);
  ExpectArray(b["wb_gain"], r.wb_gain, 4);
  Expect(b["cur_luma"], r.cur_luma);
  Expect(b["tar_luma"], r.tar_luma);
  Expect(b["face_luma"], r.face_luma);
  Expect(b["prev_face_luma"], r.prev_face_luma);
  Expect(b["frame_luma"], r.frame_luma);
  Expect(b["shutter"], r.shutter);
  Expect(b["prev_shutter"], r.prev_shutter);
  Expect(b["sensor_gain"], r.sensor_gain);
  Expect(b["hcg_sensor_gain"], r.hcg_sensor_gain);
  Expect(b["isp_gain"], r.isp_gain);
  Expect(b["prev_isp_gain"], r.prev_isp_gain);
  Expect(b["adrc_gain"], r.adrc_gain);
  Expect(b["prev_adrc_gain"], r.prev_adrc_gain);
  Expect(b["dark_boost_gain"], r.dark_boost_gain);
  Expect(b["lux_index"], r.lux_index);
  Expect(b["exp_index"], r.exp_index);
  Expect(json["sensor_mode"], f.sensor_mode);
  Expect(json["frame_timestamp"], f.frame_timestamp);
  Expect(json["focus_status"], f.focus_status);
  ExpectKeys(json["lsc"], {"gr", "gb", "r", "b"});
  const std::pair<const char*, const float(*)[NEVO_LSC_COLS]> grids[] = {
      {"gr", f.lsc.gr}, {"gb", f.lsc.gb}, {"r", f.lsc.r}, {"b", f.lsc.b}};
  for (const auto& grid : grids) {
    Json& rows = json["lsc"][grid.first];
    ASSERT_TRUE(rows.is_array());
    ASSERT_EQ(rows.size(), static_cast<size_t>(NEVO_LSC_ROWS));
    for (int row = 0; row < NEVO_LSC_ROWS; ++row) ExpectArray(rows[row], grid.second[row], NEVO_LSC_COLS);
  }
  Expect(json["is_zsl"], f.is_zsl);
  Expect(json["is_flash_on"], f.is_flash_on);
  ExpectImage(json["img"], f.img);
  Json& gyro = json["gyro_data"];
  ExpectKeys(gyro, {"count", "gyro_elems", "frame_time"});
  Expect(gyro["count"], f.gyro_data.count);
  ASSERT_EQ(gyro["gyro_elems"].size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    Json& e = gyro["gyro_elems"][i];
    ExpectKeys(e, {"shift_x", "shift_y", "shift_z", "timestamp"});
    Expect(e["shift_x"], f.gyro_data.gyro_elems[i].shift_x);
    Expect(e["shift_y"], f.gyro_data.gyro_elems[i].shift_y);
    Expect(e["shift_z"], f.gyro_data.gyro_elems[i].shift_z);
    Expect(e["timestamp"], f.gyro_data.gyro_elems[i].timestamp);
  }
  ExpectKeys(gyro["frame_time"], {"exp_beg", "exp_end", "exp_dur"});
  Expect(gyro["frame_time"]["exp_beg"], f.gyro_data.frame_time.exp_beg);
  Expect(gyro["frame_time"]["exp_end"], f.gyro_data.frame_time.exp_end);
  Expect(gyro["frame_time"]["exp_dur"], f.gyro_data.frame_time.exp_dur);
  ExpectFaces(json["face_info"], f.face_info, 2);
  ExpectZoom(json["zoom_info"], f.zoom_info);
  Expect(json["ae_ratio"], f.ae_ratio);
  Json& anchor = json["anchor_meta"];
  ExpectKeys(anchor, {"best_moment", "eye_detect"});
  ExpectKeys(anchor["best_moment"], {"is_best_moment", "best_moment_score"});
  Expect(anchor["best_moment"]["is_best_moment"], f.anchor_meta.best_moment.is_best_moment);
  Expect(anchor["best_moment"]["best_moment_score"], f.anchor_meta.best_moment.best_moment_score);
  Json& eye = anchor["eye_detect"];
  ExpectKeys(eye, {"is_eyes_detected", "is_eyes_open", "eye_open_score", "is_left_eyes_open",
                   "is_right_eyes_open"});
  Expect(eye["is_eyes_detected"], f.anchor_meta.eye_detect.is_eyes_detected);
  Expect(eye["is_eyes_open"], f.anchor_meta.eye_detect.is_eyes_open);
  Expect(eye["eye_open_score"], f.anchor_meta.eye_detect.eye_open_score);
  Expect(eye["is_left_eyes_open"], f.anchor_meta.eye_detect.is_left_eyes_open);
  Expect(eye["is_right_eyes_open"], f.anchor_meta.eye_detect.is_right_eyes_open);
  Json& track = json["fs_track_rect"];
  ExpectKeys(track, {"left", "top", "right", "bottom"});
  Expect(track["left"], f.fs_track_rect.left);
  Expect(track["top"], f.fs_track_rect.top);
  Expect(track["right"], f.fs_track_rect.right);
  Expect(track["bottom"], f.fs_track_rect.bottom);
}

void ExpectOutput(Json json, const NevoOutput& o) {
  ExpectKeys(json, {"img_num", "img", "nr_gain_thresh", "exif_info", "xdr_linear_raw_ratio", "aitone_flag",
                    "rgb_dehaze_saturation_adjust", "rgb_dehaze_face_hue", "rgb_dehaze_face_hue_after",
                    "bokeh_mask_deghost_flag", "bokeh_mask"});
  Expect(json["img_num"], o.img_num);
  ASSERT_TRUE(json["img"].is_array());
  ASSERT_EQ(json["img"].size(), static_cast<size_t>(NEVO_MAX_OUTPUTS));
  for (int i = 0; i < NEVO_MAX_OUTPUTS; ++i) ExpectImage(json["img"][i], o.img[i]);
  Expect(json["nr_gain_thresh"], o.nr_gain_thresh);
  EXPECT_EQ(json["exif_info"], std::string(o.exif_info));
  Expect(json["xdr_linear_raw_ratio"], o.xdr_linear_raw_ratio);
  Expect(json["aitone_flag"], o.aitone_flag);
  Expect(json["rgb_dehaze_saturation_adjust"], o.rgb_dehaze_saturation_adjust);
  Expect(json["rgb_dehaze_face_hue"], o.rgb_dehaze_face_hue);
  Expect(json["rgb_dehaze_face_hue_after"], o.rgb_dehaze_face_hue_after);
  Expect(json["bokeh_mask_deghost_flag"], o.bokeh_mask_deghost_flag);
  ExpectImage(json["bokeh_mask"], o.bokeh_mask);
}

// Through text and back, as a dump file is written and read again.
Json ThroughText(const Json& json) {
  const std::string text = json.dump(4);
  Json back;
  EXPECT_EQ(ParseNevoJson(text.data(), text.size(), back), NEVO_OK);
  return back;
}

TEST(NevoJsonRecords, DumpNevoInitParam_WritesEveryFieldAndSurvivesTheTextRoundTrip) {
  const NevoInitParam param = MakeInitParam();
  Json json = DumpNevoInitParam(param);
  ExpectInitParam(json, param);
  ExpectInitParam(ThroughText(json), param);
}

TEST(NevoJsonRecords, DumpNevoStartParam_WritesEveryFieldAndSurvivesTheTextRoundTrip) {
  const NevoStartParam param = MakeStartParam();
  Json json = DumpNevoStartParam(param);
  ExpectStartParam(json, param);
  ExpectStartParam(ThroughText(json), param);
}

TEST(NevoJsonRecords, DumpNevoFrameParam_WritesEveryFieldAndSurvivesTheTextRoundTrip) {
  const NevoFrame frame = MakeFrame();
  Json json = DumpNevoFrameParam(frame);
  ExpectFrame(json, frame);
  ExpectFrame(ThroughText(json), frame);
}

TEST(NevoJsonRecords, DumpNevoOutputParam_WritesEveryFieldAndSurvivesTheTextRoundTrip) {
  const NevoOutput output = MakeOutput();
  Json json = DumpNevoOutputParam(output);
  ExpectOutput(json, output);
  ExpectOutput(ThroughText(json), output);
}

TEST(NevoJsonRecords, FloatsAreWidenedNotRoundedThroughDecimalText) {
  NevoFrame frame = MakeFrame();
  frame.ae_ratio = 0.1f;
  Json json = DumpNevoFrameParam(frame);
  EXPECT_EQ(json["ae_ratio"].get<double>(), static_cast<double>(0.1f));
  EXPECT_NE(json["ae_ratio"].get<double>(), 0.1);
}

TEST(NevoJsonClamp, DumpNevoInitParam_ClampsEvNumToSixteenAndNegativeToEmpty) {
  NevoInitParam param = MakeInitParam();
  param.ae.ev_num = 40;
  Json json = DumpNevoInitParam(param);
  Expect(json["ae"]["ev_num"], 40);
  ExpectArray(json["ae"]["ev_value"], param.ae.ev_value, NEVO_MAX_FRAMES);
  ExpectArray(json["ae"]["capture_mode"], param.ae.capture_mode, NEVO_MAX_FRAMES);
  param.ae.ev_num = -2;
  json = DumpNevoInitParam(param);
  EXPECT_EQ(json["ae"]["ev_value"], Json::array());
  EXPECT_EQ(json["ae"]["capture_mode"], Json::array());
}

TEST(NevoJsonClamp, DumpNevoStartParam_WritesFiftyFacesWhenFaceNumIsSixty) {
  NevoStartParam param = MakeStartParam();
  param.face_info.face_num = 60;
  Json json = DumpNevoStartParam(param);
  ExpectFaces(json["face_info"], param.face_info, NEVO_MAX_FACES);
}

TEST(NevoJsonClamp, DumpNevoFrameParam_WritesOnlyFaceNumWithoutFaces) {
  NevoFrame frame = MakeFrame();
  for (const int32_t face_num : {0, -7}) {
    frame.face_info.face_num = face_num;
    Json json = DumpNevoFrameParam(frame);
    EXPECT_EQ(json["face_info"], Json({{"face_num", face_num}}));
  }
}

TEST(NevoJsonClamp, DumpNevoFrameParam_ClampsGyroCountTo200) {
  NevoFrame frame = MakeFrame();
  frame.gyro_data.count = 350;
  Json json = DumpNevoFrameParam(frame);
  Expect(json["gyro_data"]["count"], 350);
  ASSERT_EQ(json["gyro_data"]["gyro_elems"].size(), static_cast<size_t>(NEVO_MAX_GYRO));
  Expect(json["gyro_data"]["gyro_elems"][NEVO_MAX_GYRO - 1]["timestamp"],
         frame.gyro_data.gyro_elems[NEVO_MAX_GYRO - 1].timestamp);
  frame.gyro_data.count = -1;
  json = DumpNevoFrameParam(frame);
  EXPECT_EQ(json["gyro_data"]["gyro_elems"], Json::array());
}

TEST(NevoJsonClamp, DumpNevoStartParam_ClampsTablesToCapacityAndNegativeLengthsToEmpty) {
  NevoStartParam param = MakeStartParam();
  param.gamma_table.length = 100000;
  param.y_hist_info.buckets = 0xFFFFFFFFu;
  param.gtm_table.length = 513;
  Json json = DumpNevoStartParam(param);
  ExpectArray(json["gamma_table"]["table_x"], param.gamma_table.table_x, NEVO_MAX_GAMMA);
  ExpectArray(json["gamma_table"]["table_y"], param.gamma_table.table_y, NEVO_MAX_GAMMA);
  Expect(json["y_hist_info"]["buckets"], 0xFFFFFFFFu);
  ExpectArray(json["y_hist_info"]["hist"], param.y_hist_info.hist, NEVO_MAX_HIST);
  ExpectArray(json["gtm_table"]["table_x"], param.gtm_table.table_x, NEVO_MAX_GTM);
  ExpectArray(json["gtm_table"]["table_y"], param.gtm_table.table_y, NEVO_MAX_GTM);

  param.gamma_table.length = -1;
  param.y_hist_info.buckets = 0;
  param.gtm_table.length = -300;
  json = DumpNevoStartParam(param);
  Expect(json["gamma_table"]["length"], -1);
  EXPECT_EQ(json["gamma_table"]["table_x"], Json::array());
  EXPECT_EQ(json["gamma_table"]["table_y"], Json::array());
  EXPECT_EQ(json["y_hist_info"]["hist"], Json::array());
  Expect(json["gtm_table"]["length"], -300);
  EXPECT_EQ(json["gtm_table"]["table_x"], Json::array());
  EXPECT_EQ(json["gtm_table"]["table_y"], Json::array());
}

TEST(NevoJsonDefaults, DumpNevoStartParam_FillsTheDefaultGtmTableAndLogsOnceWhenLengthIsZero) {
  JsonTestLogCapture capture;
  NevoStartParam param = MakeStartParam();
  param.gtm_table.length = 0;
  Json json = DumpNevoStartParam(param);

  Json& gtm = json["gtm_table"];
  Expect(gtm["length"], 257);
  ASSERT_EQ(gtm["table_x"].size(), 257u);
  ASSERT_EQ(gtm["table_y"].size(), 257u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(gtm["table_x"][i], 4 * i) << i;
  EXPECT_EQ(gtm["table_x"][256], 1023);
  // Samples of the shipped curve; it rises from black to the white point.
  const std::pair<int, int> samples[] = {{0, 0},     {1, 16},    {4, 64},    {5, 75},    {100, 583},
                                         {128, 678}, {200, 886}, {255, 1022}, {256, 1023}};
  for (const auto& sample : samples) EXPECT_EQ(gtm["table_y"][sample.first], sample.second) << sample.first;
  for (int i = 1; i < 257; ++i) EXPECT_LT(gtm["table_y"][i - 1], gtm["table_y"][i]) << i;

  const auto logged = JsonTestLogCapture::Matching(
      "DumpNevoStartParam\\[[^\\]]*nevo_json\\.cpp:[0-9]+\\] gtm_table is invalid, fill with default value\n");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].level, 0);
  EXPECT_EQ(logged[0].tag, "NEVO_DUMP");
  EXPECT_EQ(JsonTestLogCapture::Lines().size(), 1u);
}

TEST(NevoJsonDefaults, DumpNevoOutputParam_WritesBokehMaskOnlyWhenItsFirstPlaneIsSet) {
  NevoOutput output = MakeOutput();
  EXPECT_TRUE(DumpNevoOutputParam(output).contains("bokeh_mask"));
  output.bokeh_mask.plane[0] = nullptr;
  output.bokeh_mask.plane[1] = &output;  // only the first plane decides
  EXPECT_FALSE(DumpNevoOutputParam(output).contains("bokeh_mask"));
}

TEST(NevoJsonDefaults, TextsEndAtTheirArrayWhenTheHostLeftNoTerminator) {
  NevoInitParam param = MakeInitParam();
  std::memset(param.jpg_path, 'p', sizeof(param.jpg_path));
  EXPECT_EQ(DumpNevoInitParam(param)["jpg_path"], std::string(NEVO_PATH_LEN, 'p'));

  NevoOutput output = MakeOutput();
  std::memset(output.exif_info, 'e', sizeof(output.exif_info));
  EXPECT_EQ(DumpNevoOutputParam(output)["exif_info"], std::string(NEVO_EXIF_LEN, 'e'));
  output.exif_info[3] = '\0';
  EXPECT_EQ(DumpNevoOutputParam(output)["exif_info"], "eee");
}

}  // namespace
