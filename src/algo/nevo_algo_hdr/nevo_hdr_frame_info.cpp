#include "algo/nevo_algo_hdr/nevo_hdr_frame_info.h"

#include <algorithm>
#include <cstring>

static_assert(sizeof(NevoLsc) == ZRV_HDR_LSC_BYTES, "lens-shading block size");

namespace {

int SensorCode(int sensor_type, bool* fallback) {
  switch (sensor_type) {
    case NEVO_SENSOR_W:
      return ZRV_HDR_SENSOR_WIDE;
    case NEVO_SENSOR_UW:
      return ZRV_HDR_SENSOR_ULTRA_WIDE;
    case NEVO_SENSOR_T:
      return ZRV_HDR_SENSOR_TELE;
    case NEVO_SENSOR_ST:
      return ZRV_HDR_SENSOR_SUPER_TELE;
    default:
      *fallback = true;
      return ZRV_HDR_SENSOR_WIDE;
  }
}

int CaptureModeCode(int camera_mode) {
  if (camera_mode == 2) return 3;
  if (camera_mode == 6) return 5;
  return 0;
}

int SensorModeFlag(int sensor_mode) {
  // Index = sensor mode 1..15.
  static constexpr int kFlags[16] = {0, 5, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 1};
  return (sensor_mode >= 1 && sensor_mode <= 15) ? kFlags[sensor_mode] : 0;
}

}  // namespace

void HdrFillImage(const NevoImage& image, HDR_RAW_OFFSCREEN* out) {
  out->format = image.format;
  out->width = image.width;
  out->height = image.height;
  for (int i = 0; i < ZRV_HDR_MAX_PLANES; ++i) {
    out->plane[i] = image.plane[i];
    out->pitch[i] = image.pitch[i];
    out->fd[i] = image.fd[i];
  }
}

HdrFrameInfoNotes HdrFillFrameInfo(const NevoInitParam& init, const NevoStartParam& start, const NevoFrame& frame,
                                   const NevoFrame& first, int camera_mode, HDR_FRAME_INFO* info) {
  HdrFrameInfoNotes notes;
  std::memset(info, 0, sizeof(*info));
  const NevoAeMeta& meta = init.ae.meta;
  const NevoBurstInfo& burst = frame.burst_info;

  info->smart_motion = meta.is_smart_motion != 0 ? 1 : 0;
  info->banding_type = meta.banding_type;
  info->sensor_code = SensorCode(start.sensor_type, &notes.sensor_fallback);
  info->capture_mode = CaptureModeCode(camera_mode);
  info->sensor_mode_flag = SensorModeFlag(start.sensor_mode);
  switch (first.img.pattern) {
    case NEVO_PATTERN_RGGB:
      info->raw_type = ZRV_HDR_RAW_RGGB;
      break;
    case NEVO_PATTERN_GRBG:
      info->raw_type = ZRV_HDR_RAW_GRBG;
      break;
    case NEVO_PATTERN_BGGR:
      info->raw_type = ZRV_HDR_RAW_BGGR;
      break;
    case NEVO_PATTERN_GBRG:
      info->raw_type = ZRV_HDR_RAW_GBRG;
      break;
    default:
      notes.raw_type_unsupported = true;
      break;
  }
  info->rotation = start.direction / 90;
  info->frame_num = start.frame_num;
  info->width = start.width;
  info->height = start.height;
  info->stride = start.stride;
  info->bit_width = start.bit_width;

  // wb_gain is in the raster order of the Bayer cell; pick R and B by phase.
  static constexpr int kRedIndex[4] = {0, 1, 3, 2};
  static constexpr int kBlueIndex[4] = {3, 2, 0, 1};
  const int pattern = frame.img.pattern;
  if (pattern >= 0 && pattern < 4) {
    info->r_gain = burst.wb_gain[kRedIndex[pattern]];
    info->b_gain = burst.wb_gain[kBlueIndex[pattern]];
  }

  info->lux_index = static_cast<float>(burst.lux_index);
  info->sensor_gain = burst.sensor_gain;
  info->adrc_gain = burst.adrc_gain;
  info->isp_gain = burst.isp_gain;
  info->exposure_s = static_cast<float>(burst.shutter * 1e-9);
  info->cct = start.cct;
  info->ev_value = frame.ev_value;
  info->is_zsl = frame.is_zsl;
  info->ae_ratio = frame.ae_ratio;
  std::memcpy(info->lsc, &frame.lsc, sizeof(info->lsc));
  for (int i = 0; i < 4; ++i) info->black_level[i] = static_cast<float>(burst.black_level[i]);

  const int faces = std::clamp(start.face_info.face_num, 0, ZRV_HDR_MAX_FACES);
  info->face_num = faces;
  for (int i = 0; i < faces; ++i) {
    std::memcpy(&info->face_rect[i], &start.face_info.face_rect[i], sizeof(info->face_rect[i]));
    info->face_bright[i] = start.face_info.face_bright[i];
    info->face_angle[i][0] = start.face_info.face_angle[i].pitch;
    info->face_angle[i][1] = start.face_info.face_angle[i].roll_angle;
    info->face_angle[i][2] = start.face_info.face_angle[i].pose;
  }

  // The host promises at most 256 buckets; never read past the table.
  const uint32_t buckets = std::min<uint32_t>(start.y_hist_info.buckets, ZRV_HDR_MAX_HIST);
  info->hist_buckets = buckets;
  std::copy(start.y_hist_info.hist, start.y_hist_info.hist + buckets, info->hist);

  std::copy(start.ccm, start.ccm + 9, info->ccm);
  info->ui_ev = start.ui_ev;
  info->ai_first_result = start.ai_scene_result.first_result;
  info->ai_first_confidence = start.ai_scene_result.first_confidence;
  info->ai_second_result = start.ai_scene_result.second_result;
  info->ai_second_confidence = start.ai_scene_result.second_confidence;
  info->indoor_flag = start.indoor_flag;
  info->ai_reserved = 0;
  info->input_mode = start.input_mode;

  info->zoom_fov = {frame.zoom_info.fov.left, frame.zoom_info.fov.top, frame.zoom_info.fov.right,
                    frame.zoom_info.fov.bottom};
  info->zoom_ratio = frame.zoom_info.zoom_ratio;
  info->real_zoom_ratio = frame.zoom_info.real_zoom_ratio;
  info->capture_timestamp = start.capture_timestamp;
  info->frame_timestamp = frame.frame_timestamp;
  info->gamma_length = start.gamma_table.length;
  info->gamma_x = start.gamma_table.table_x;
  info->gamma_y = start.gamma_table.table_y;

  const NevoAnchorMeta& anchor = frame.anchor_meta;
  info->is_best_moment = anchor.best_moment.is_best_moment;
  info->best_moment_score = anchor.best_moment.best_moment_score;
  info->is_eyes_detected = anchor.eye_detect.is_eyes_detected;
  info->is_eyes_open = anchor.eye_detect.is_eyes_open;
  info->eye_open_score = anchor.eye_detect.eye_open_score;
  info->is_left_eyes_open = anchor.eye_detect.is_left_eyes_open;
  info->is_right_eyes_open = anchor.eye_detect.is_right_eyes_open;
  info->is_fs_track = start.is_fs_track;
  info->fs_track_rect[0] = frame.fs_track_rect.left;
  info->fs_track_rect[1] = frame.fs_track_rect.top;
  info->fs_track_rect[2] = frame.fs_track_rect.right;
  info->fs_track_rect[3] = frame.fs_track_rect.bottom;

  const bool white_plus = meta.is_white_plus != 0;
  const bool black_sub = meta.is_black_sub != 0;
  if (white_plus && black_sub) {
    info->brighten_mode = 3;
    info->brighten_ratio = start.white_plus_ratio;
  } else if (black_sub) {
    info->brighten_mode = 2;
    info->brighten_ratio = start.black_sub_ratio;
  } else if (white_plus) {
    info->brighten_mode = 1;
    info->brighten_ratio = start.white_plus_ratio;
  } else {
    info->brighten_mode = 0;
    info->brighten_ratio = 0.0f;
  }

  info->xdr_flag = start.xdr_light_index > 0 ? 1 : 0;
  info->hcg_sensor_gain = burst.hcg_sensor_gain;
  info->dark_boost_gain = burst.dark_boost_gain;
  info->is_sunset = start.sunset_result.is_sunset;
  info->sunset_confidence = start.sunset_result.sunset_confidence;
  info->is_assign_anchor = start.assign_anchor.is_assign_anchor;
  info->anchor_order = start.assign_anchor.anchor_order;
  info->concert_flag = start.concert_flag;
  info->is_need_crop_upscale = init.ae.is_need_crop_upscale;
  info->is_anchor_select = init.is_anchor_select;
  info->gyro_count = frame.gyro_data.count;
  info->gyro_elems = frame.gyro_data.gyro_elems;
  info->frame_exp_beg = frame.gyro_data.frame_time.exp_beg;
  info->frame_exp_end = frame.gyro_data.frame_time.exp_end;
  info->frame_exp_dur = frame.gyro_data.frame_time.exp_dur;
  return notes;
}

void HdrFillOutput(const NevoOutput& output, int camera_mode, int xdr_light_index, HDR_RAW_OUTPUTINFO* out) {
  std::memset(out, 0, sizeof(*out));
  out->img_num = output.img_num;
  if (output.img_num >= 1) HdrFillImage(output.img[0], &out->img[0]);
  if (camera_mode == 6) HdrFillImage(output.img[1], &out->img[1]);
  if (xdr_light_index >= 1) HdrFillImage(output.img[2], &out->img[2]);
}
