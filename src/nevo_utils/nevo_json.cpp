#include "nevo_utils/nevo_json.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "nevo_utils/nevo_log.h"

namespace {

using Json = nlohmann::json;

constexpr const char* kDumpTag = "NEVO_DUMP";

// The tone curve the tuning team ships when the HAL has no GTM table: x runs
// over the 10-bit range in steps of 4 and ends on the white point 1023.
constexpr int kDefaultGtmLength = 257;
constexpr int32_t kDefaultGtmTableY[kDefaultGtmLength] = {
    0, 16, 32, 48, 64, 75, 86, 97, 108, 117, 126, 135, 144, 152, 160, 168,
    176, 183, 190, 198, 205, 212, 218, 225, 232, 238, 245, 251, 258, 264, 270, 276,
    282, 287, 293, 298, 304, 309, 315, 320, 326, 331, 336, 342, 347, 352, 357, 362,
    367, 372, 376, 381, 386, 391, 396, 400, 405, 410, 414, 419, 423, 428, 432, 437,
    441, 445, 450, 454, 458, 462, 467, 471, 475, 479, 483, 487, 491, 495, 499, 503,
    507, 511, 515, 519, 523, 527, 531, 534, 538, 542, 546, 549, 553, 557, 561, 564,
    568, 572, 576, 579, 583, 587, 590, 594, 597, 601, 604, 608, 611, 615, 618, 622,
    625, 628, 632, 635, 638, 642, 645, 648, 651, 655, 658, 662, 665, 669, 672, 675,
    678, 681, 684, 687, 690, 694, 697, 700, 703, 706, 709, 712, 715, 719, 722, 725,
    728, 731, 734, 737, 740, 743, 746, 749, 752, 755, 758, 761, 764, 767, 770, 773,
    775, 778, 781, 784, 787, 790, 793, 796, 798, 801, 804, 807, 810, 813, 816, 819,
    821, 824, 827, 830, 832, 835, 838, 841, 843, 846, 849, 852, 854, 857, 860, 863,
    865, 868, 870, 873, 875, 878, 881, 884, 886, 889, 891, 894, 897, 899, 902, 905,
    908, 910, 913, 915, 918, 920, 923, 925, 928, 930, 933, 935, 938, 940, 943, 945,
    948, 950, 953, 955, 958, 960, 963, 965, 968, 970, 973, 975, 978, 980, 983, 985,
    988, 990, 992, 994, 997, 999, 1002, 1004, 1007, 1009, 1011, 1013, 1016, 1018, 1020, 1022,
    1023,
};

// Number of array entries a count field names, never beyond the capacity.
int UsedCount(int64_t count, int capacity) {
  if (count <= 0) return 0;
  return count > capacity ? capacity : static_cast<int>(count);
}

Json Value(float value) { return static_cast<double>(value); }
Json Value(int32_t value) { return value; }
Json Value(uint32_t value) { return value; }
Json Value(uint64_t value) { return value; }

template <typename T>
Json ArrayOf(const T* values, int count) {
  Json array = Json::array();
  for (int i = 0; i < count; ++i) array.push_back(Value(values[i]));
  return array;
}

// The HAL may fill a text field to the last byte without a terminator.
std::string TextOf(const char* text, size_t capacity) {
  return std::string(text, strnlen(text, capacity));
}

Json RectOf(const NevoRect& rect) {
  Json json;
  json["left"] = rect.left;
  json["top"] = rect.top;
  json["right"] = rect.right;
  json["bottom"] = rect.bottom;
  return json;
}

Json RectOf(const NevoRectF& rect) {
  Json json;
  json["left"] = Value(rect.left);
  json["top"] = Value(rect.top);
  json["right"] = Value(rect.right);
  json["bottom"] = Value(rect.bottom);
  return json;
}

Json ZoomInfoOf(const NevoZoomInfo& zoom) {
  Json json;
  json["fov"] = RectOf(zoom.fov);
  json["zoom_ratio"] = Value(zoom.zoom_ratio);
  json["real_zoom_ratio"] = Value(zoom.real_zoom_ratio);
  return json;
}

// Without faces only face_num is written: the per-face arrays are absent.
Json FaceInfoOf(const NevoFaceInfo& faces) {
  Json json;
  json["face_num"] = faces.face_num;
  const int n = UsedCount(faces.face_num, NEVO_MAX_FACES);
  if (n == 0) return json;
  Json rects = Json::array();
  Json angles = Json::array();
  for (int i = 0; i < n; ++i) {
    rects.push_back(RectOf(faces.face_rect[i]));
    Json angle;
    angle["pitch"] = faces.face_angle[i].pitch;
    angle["roll_angle"] = faces.face_angle[i].roll_angle;
    angle["pose"] = faces.face_angle[i].pose;
    angles.push_back(std::move(angle));
  }
  json["face_rect"] = std::move(rects);
  json["face_bright"] = ArrayOf(faces.face_bright, n);
  json["face_angle"] = std::move(angles);
  return json;
}

Json ImageOf(const NevoImage& image) {
  Json json;
  json["format"] = image.format;
  json["pattern"] = image.pattern;
  json["elem_type"] = image.elem_type;
  json["width"] = image.width;
  json["height"] = image.height;
  json["pitch"] = ArrayOf(image.pitch, NEVO_MAX_PLANES);
  return json;
}

Json LscGridOf(const float (&grid)[NEVO_LSC_ROWS][NEVO_LSC_COLS]) {
  Json rows = Json::array();
  for (const auto& row : grid) rows.push_back(ArrayOf(row, NEVO_LSC_COLS));
  return rows;
}

Json GtmTableOf(const NevoGtmTable& gtm) {
  Json json;
  json["length"] = gtm.length;
  const int n = UsedCount(gtm.length, NEVO_MAX_GTM);
  json["table_x"] = ArrayOf(gtm.table_x, n);
  json["table_y"] = ArrayOf(gtm.table_y, n);
  return json;
}

Json DefaultGtmTable() {
  Json json;
  json["length"] = kDefaultGtmLength;
  Json table_x = Json::array();
  for (int i = 0; i < kDefaultGtmLength - 1; ++i) table_x.push_back(4 * i);
  table_x.push_back(1023);
  json["table_x"] = std::move(table_x);
  json["table_y"] = ArrayOf(kDefaultGtmTableY, kDefaultGtmLength);
  return json;
}

}  // namespace

Json DumpNevoInitParam(const NevoInitParam& param) {
  const NevoAeInfo& ae = param.ae;
  const int ev_count = UsedCount(ae.ev_num, NEVO_MAX_FRAMES);
  Json meta;
  meta["is_white_plus"] = ae.meta.is_white_plus;
  meta["is_black_sub"] = ae.meta.is_black_sub;
  meta["ev_offset"] = Value(ae.meta.ev_offset);
  meta["is_smart_motion"] = ae.meta.is_smart_motion;
  meta["banding_type"] = ae.meta.banding_type;
  meta["is_bracket_exposure"] = ae.meta.is_bracket_exposure;
  meta["is_scene_bright"] = ae.meta.is_scene_bright;
  meta["bokeh_setting_type"] = ae.meta.bokeh_setting_type;

  Json json;
  json["ae"]["algo_type"] = ae.algo_type;
  json["ae"]["ev_num"] = ae.ev_num;
  json["ae"]["ev_value"] = ArrayOf(ae.ev_value, ev_count);
  json["ae"]["capture_mode"] = ArrayOf(ae.capture_mode, ev_count);
  json["ae"]["meta"] = std::move(meta);
  json["ae"]["is_need_crop_upscale"] = ae.is_need_crop_upscale;
  json["is_anchor_select"] = param.is_anchor_select;
  json["force_algo"] = param.force_algo;
  json["jpg_path"] = TextOf(param.jpg_path, sizeof(param.jpg_path));
  json["exp_targets"] = ArrayOf(param.exp_targets, 3);
  return json;
}

Json DumpNevoStartParam(const NevoStartParam& param) {
  Json json;
  json["direction"] = param.direction;
  json["frame_num"] = param.frame_num;
  json["width"] = param.width;
  json["height"] = param.height;
  json["stride"] = param.stride;
  json["bit_width"] = param.bit_width;
  json["sensor_type"] = param.sensor_type;
  json["sensor_mode"] = param.sensor_mode;
  json["ui_ev"] = param.ui_ev;
  json["input_mode"] = param.input_mode;
  json["capture_timestamp"] = Value(param.capture_timestamp);

  const int gamma_count = UsedCount(param.gamma_table.length, NEVO_MAX_GAMMA);
  json["gamma_table"]["length"] = param.gamma_table.length;
  json["gamma_table"]["table_x"] = ArrayOf(param.gamma_table.table_x, gamma_count);
  json["gamma_table"]["table_y"] = ArrayOf(param.gamma_table.table_y, gamma_count);

  json["y_hist_info"]["buckets"] = Value(param.y_hist_info.buckets);
  json["y_hist_info"]["hist"] =
      ArrayOf(param.y_hist_info.hist, UsedCount(param.y_hist_info.buckets, NEVO_MAX_HIST));

  json["zoom_info"] = ZoomInfoOf(param.zoom_info);
  json["ccm"] = ArrayOf(param.ccm, 9);
  json["cct"] = Value(param.cct);
  json["face_info"] = FaceInfoOf(param.face_info);

  json["ai_scene_result"]["first_result"] = param.ai_scene_result.first_result;
  json["ai_scene_result"]["first_confidence"] = Value(param.ai_scene_result.first_confidence);
  json["ai_scene_result"]["second_result"] = param.ai_scene_result.second_result;
  json["ai_scene_result"]["second_confidence"] = Value(param.ai_scene_result.second_confidence);
  json["indoor_flag"] = param.indoor_flag;
  json["sunset_result"]["is_sunset"] = param.sunset_result.is_sunset;
  json["sunset_result"]["sunset_confidence"] = Value(param.sunset_result.sunset_confidence);
  json["xdr_light_index"] = param.xdr_light_index;
  json["raw_type"] = param.raw_type;
  json["black_sub_ratio"] = Value(param.black_sub_ratio);
  json["white_plus_ratio"] = Value(param.white_plus_ratio);

  if (param.gtm_table.length == 0) {
    NEVO_LOGE(kDumpTag, "gtm_table is invalid, fill with default value\n");
    json["gtm_table"] = DefaultGtmTable();
  } else {
    json["gtm_table"] = GtmTableOf(param.gtm_table);
  }

  json["assign_anchor"]["is_assign_anchor"] = param.assign_anchor.is_assign_anchor;
  json["assign_anchor"]["anchor_order"] = param.assign_anchor.anchor_order;
  json["is_fs_track"] = param.is_fs_track;
  json["concert_flag"] = param.concert_flag;
  json["sdsr_flag"] = param.sdsr_flag;
  return json;
}

Json DumpNevoFrameParam(const NevoFrame& frame) {
  const NevoBurstInfo& burst = frame.burst_info;
  Json burst_info;
  burst_info["bright_level"] = ArrayOf(burst.bright_level, 4);
  burst_info["black_level"] = ArrayOf(burst.black_level, 4);
  burst_info["wb_gain"] = ArrayOf(burst.wb_gain, 4);
  burst_info["cur_luma"] = Value(burst.cur_luma);
  burst_info["tar_luma"] = Value(burst.tar_luma);
  burst_info["face_luma"] = Value(burst.face_luma);
  burst_info["prev_face_luma"] = Value(burst.prev_face_luma);
  burst_info["frame_luma"] = Value(burst.frame_luma);
  burst_info["shutter"] = Value(burst.shutter);
  burst_info["prev_shutter"] = Value(burst.prev_shutter);
  burst_info["sensor_gain"] = Value(burst.sensor_gain);
  burst_info["hcg_sensor_gain"] = Value(burst.hcg_sensor_gain);
  burst_info["isp_gain"] = Value(burst.isp_gain);
  burst_info["prev_isp_gain"] = Value(burst.prev_isp_gain);
  burst_info["adrc_gain"] = Value(burst.adrc_gain);
  burst_info["prev_adrc_gain"] = Value(burst.prev_adrc_gain);
  burst_info["dark_boost_gain"] = Value(burst.dark_boost_gain);
  burst_info["lux_index"] = burst.lux_index;
  burst_info["exp_index"] = burst.exp_index;

  Json json;
  json["ev_value"] = frame.ev_value;
  json["burst_info"] = std::move(burst_info);
  json["sensor_mode"] = frame.sensor_mode;
  json["frame_timestamp"] = Value(frame.frame_timestamp);
  json["focus_status"] = frame.focus_status;
  json["lsc"]["gr"] = LscGridOf(frame.lsc.gr);
  json["lsc"]["gb"] = LscGridOf(frame.lsc.gb);
  json["lsc"]["r"] = LscGridOf(frame.lsc.r);
  json["lsc"]["b"] = LscGridOf(frame.lsc.b);
  json["is_zsl"] = frame.is_zsl;
  json["is_flash_on"] = frame.is_flash_on;
  json["img"] = ImageOf(frame.img);

  const NevoGyroData& gyro = frame.gyro_data;
  Json elems = Json::array();
  const int gyro_count = UsedCount(gyro.count, NEVO_MAX_GYRO);
  for (int i = 0; i < gyro_count; ++i) {
    Json elem;
    elem["shift_x"] = Value(gyro.gyro_elems[i].shift_x);
    elem["shift_y"] = Value(gyro.gyro_elems[i].shift_y);
    elem["shift_z"] = Value(gyro.gyro_elems[i].shift_z);
    elem["timestamp"] = Value(gyro.gyro_elems[i].timestamp);
    elems.push_back(std::move(elem));
  }
  json["gyro_data"]["count"] = gyro.count;
  json["gyro_data"]["gyro_elems"] = std::move(elems);
  json["gyro_data"]["frame_time"]["exp_beg"] = Value(gyro.frame_time.exp_beg);
  json["gyro_data"]["frame_time"]["exp_end"] = Value(gyro.frame_time.exp_end);
  json["gyro_data"]["frame_time"]["exp_dur"] = Value(gyro.frame_time.exp_dur);

  json["face_info"] = FaceInfoOf(frame.face_info);
  json["zoom_info"] = ZoomInfoOf(frame.zoom_info);
  json["ae_ratio"] = Value(frame.ae_ratio);

  const NevoAnchorMeta& anchor = frame.anchor_meta;
  json["anchor_meta"]["best_moment"]["is_best_moment"] = anchor.best_moment.is_best_moment;
  json["anchor_meta"]["best_moment"]["best_moment_score"] = Value(anchor.best_moment.best_moment_score);
  Json& eye = json["anchor_meta"]["eye_detect"];
  eye["is_eyes_detected"] = anchor.eye_detect.is_eyes_detected;
  eye["is_eyes_open"] = anchor.eye_detect.is_eyes_open;
  eye["eye_open_score"] = Value(anchor.eye_detect.eye_open_score);
  eye["is_left_eyes_open"] = anchor.eye_detect.is_left_eyes_open;
  eye["is_right_eyes_open"] = anchor.eye_detect.is_right_eyes_open;
  json["fs_track_rect"] = RectOf(frame.fs_track_rect);
  return json;
}

Json DumpNevoOutputParam(const NevoOutput& output) {
  Json json;
  json["img_num"] = output.img_num;
  Json images = Json::array();
  for (const NevoImage& image : output.img) images.push_back(ImageOf(image));
  json["img"] = std::move(images);
  json["nr_gain_thresh"] = Value(output.nr_gain_thresh);
  json["exif_info"] = TextOf(output.exif_info, sizeof(output.exif_info));
  json["xdr_linear_raw_ratio"] = Value(output.xdr_linear_raw_ratio);
  json["aitone_flag"] = output.aitone_flag;
  json["rgb_dehaze_saturation_adjust"] = Value(output.rgb_dehaze_saturation_adjust);
  json["rgb_dehaze_face_hue"] = Value(output.rgb_dehaze_face_hue);
  json["rgb_dehaze_face_hue_after"] = Value(output.rgb_dehaze_face_hue_after);
  json["bokeh_mask_deghost_flag"] = output.bokeh_mask_deghost_flag;
  if (output.bokeh_mask.plane[0] != nullptr) json["bokeh_mask"] = ImageOf(output.bokeh_mask);
  return json;
}
