// The records are a binary contract with the HAL: every offset is checked.
#include <gtest/gtest.h>

#include <cstddef>

#include "nevo/nevo.h"

#define EXPECT_AT(type, member, offset) EXPECT_EQ(offsetof(type, member), static_cast<size_t>(offset)) << #member

TEST(RecordLayout, ImageMatchesTable) {
  EXPECT_EQ(sizeof(NevoImage), 88u);
  EXPECT_AT(NevoImage, format, 0);
  EXPECT_AT(NevoImage, pattern, 4);
  EXPECT_AT(NevoImage, elem_type, 8);
  EXPECT_AT(NevoImage, width, 12);
  EXPECT_AT(NevoImage, height, 16);
  EXPECT_AT(NevoImage, reserved, 20);
  EXPECT_AT(NevoImage, plane, 24);
  EXPECT_AT(NevoImage, pitch, 56);
  EXPECT_AT(NevoImage, fd, 72);
}

TEST(RecordLayout, SharedGroupsMatchTables) {
  EXPECT_EQ(sizeof(NevoRect), 16u);
  EXPECT_EQ(sizeof(NevoRectF), 16u);
  EXPECT_EQ(sizeof(NevoFaceInfo), 1604u);
  EXPECT_AT(NevoFaceInfo, face_num, 0);
  EXPECT_AT(NevoFaceInfo, face_rect, 4);
  EXPECT_AT(NevoFaceInfo, face_bright, 804);
  EXPECT_AT(NevoFaceInfo, face_angle, 1004);
  EXPECT_EQ(sizeof(NevoFaceAngle), 12u);
  EXPECT_AT(NevoFaceAngle, roll_angle, 4);
  EXPECT_AT(NevoFaceAngle, pose, 8);
  EXPECT_EQ(sizeof(NevoZoomInfo), 24u);
  EXPECT_AT(NevoZoomInfo, fov, 0);
  EXPECT_AT(NevoZoomInfo, zoom_ratio, 16);
  EXPECT_AT(NevoZoomInfo, real_zoom_ratio, 20);
}

TEST(RecordLayout, ConfigMatchesTable) {
  EXPECT_EQ(sizeof(NevoConfig), 140u);
  EXPECT_AT(NevoConfig, reserved0, 0);
  EXPECT_AT(NevoConfig, camera_mode, 100);
  EXPECT_AT(NevoConfig, bokeh_depth_enable, 104);
  EXPECT_AT(NevoConfig, reserved1, 108);
}

TEST(RecordLayout, InitParamMatchesTable) {
  EXPECT_EQ(sizeof(NevoInitParam), 1568u);
  EXPECT_AT(NevoInitParam, ae.algo_type, 0);
  EXPECT_AT(NevoInitParam, ae.ev_num, 4);
  EXPECT_AT(NevoInitParam, ae.ev_value, 8);
  EXPECT_AT(NevoInitParam, ae.capture_mode, 72);
  EXPECT_AT(NevoInitParam, ae.meta.is_white_plus, 136);
  EXPECT_AT(NevoInitParam, ae.meta.is_black_sub, 140);
  EXPECT_AT(NevoInitParam, ae.meta.ev_offset, 144);
  EXPECT_AT(NevoInitParam, ae.meta.is_smart_motion, 148);
  EXPECT_AT(NevoInitParam, ae.meta.banding_type, 152);
  EXPECT_AT(NevoInitParam, ae.meta.is_bracket_exposure, 156);
  EXPECT_AT(NevoInitParam, ae.meta.is_scene_bright, 160);
  EXPECT_AT(NevoInitParam, ae.meta.bokeh_setting_type, 164);
  EXPECT_AT(NevoInitParam, ae.reserved0, 168);
  EXPECT_AT(NevoInitParam, ae.is_need_crop_upscale, 200);
  EXPECT_AT(NevoInitParam, ae.reserved1, 201);
  EXPECT_AT(NevoInitParam, is_anchor_select, 236);
  EXPECT_AT(NevoInitParam, force_algo, 240);
  EXPECT_AT(NevoInitParam, jpg_path, 244);
  EXPECT_AT(NevoInitParam, exp_targets, 500);
  EXPECT_AT(NevoInitParam, reserved, 512);
}

TEST(RecordLayout, StartParamMatchesTable) {
  EXPECT_EQ(sizeof(NevoStartParam), 11040u);
  EXPECT_AT(NevoStartParam, direction, 0);
  EXPECT_AT(NevoStartParam, frame_num, 4);
  EXPECT_AT(NevoStartParam, width, 8);
  EXPECT_AT(NevoStartParam, height, 12);
  EXPECT_AT(NevoStartParam, stride, 16);
  EXPECT_AT(NevoStartParam, bit_width, 20);
  EXPECT_AT(NevoStartParam, sensor_type, 24);
  EXPECT_AT(NevoStartParam, sensor_mode, 28);
  EXPECT_AT(NevoStartParam, ui_ev, 32);
  EXPECT_AT(NevoStartParam, input_mode, 36);
  EXPECT_AT(NevoStartParam, capture_timestamp, 40);
  EXPECT_AT(NevoStartParam, gamma_table.length, 48);
  EXPECT_AT(NevoStartParam, gamma_table.table_x, 52);
  EXPECT_AT(NevoStartParam, gamma_table.table_y, 2100);
  EXPECT_AT(NevoStartParam, y_hist_info.buckets, 4148);
  EXPECT_AT(NevoStartParam, y_hist_info.hist, 4152);
  EXPECT_AT(NevoStartParam, zoom_info, 5176);
  EXPECT_AT(NevoStartParam, ccm, 5200);
  EXPECT_AT(NevoStartParam, cct, 5236);
  EXPECT_AT(NevoStartParam, face_info, 5240);
  EXPECT_AT(NevoStartParam, ai_scene_result.first_result, 6844);
  EXPECT_AT(NevoStartParam, ai_scene_result.first_confidence, 6848);
  EXPECT_AT(NevoStartParam, ai_scene_result.second_result, 6852);
  EXPECT_AT(NevoStartParam, ai_scene_result.second_confidence, 6856);
  EXPECT_AT(NevoStartParam, indoor_flag, 6860);
  EXPECT_AT(NevoStartParam, sunset_result.is_sunset, 6864);
  EXPECT_AT(NevoStartParam, sunset_result.sunset_confidence, 6868);
  EXPECT_AT(NevoStartParam, xdr_light_index, 6872);
  EXPECT_AT(NevoStartParam, raw_type, 6876);
  EXPECT_AT(NevoStartParam, black_sub_ratio, 6880);
  EXPECT_AT(NevoStartParam, white_plus_ratio, 6884);
  EXPECT_AT(NevoStartParam, gtm_table.length, 6888);
  EXPECT_AT(NevoStartParam, gtm_table.table_x, 6892);
  EXPECT_AT(NevoStartParam, gtm_table.table_y, 8940);
  EXPECT_AT(NevoStartParam, assign_anchor.is_assign_anchor, 10988);
  EXPECT_AT(NevoStartParam, assign_anchor.anchor_order, 10992);
  EXPECT_AT(NevoStartParam, is_fs_track, 10996);
  EXPECT_AT(NevoStartParam, concert_flag, 11000);
  EXPECT_AT(NevoStartParam, sdsr_flag, 11004);
  EXPECT_AT(NevoStartParam, reserved, 11008);
}

TEST(RecordLayout, FrameMatchesTable) {
  EXPECT_EQ(sizeof(NevoFrame), 10336u);
  EXPECT_AT(NevoFrame, ev_value, 0);
  EXPECT_AT(NevoFrame, burst_info.bright_level, 4);
  EXPECT_AT(NevoFrame, burst_info.black_level, 20);
  EXPECT_AT(NevoFrame, burst_info.wb_gain, 36);
  EXPECT_AT(NevoFrame, burst_info.cur_luma, 52);
  EXPECT_AT(NevoFrame, burst_info.tar_luma, 56);
  EXPECT_AT(NevoFrame, burst_info.face_luma, 60);
  EXPECT_AT(NevoFrame, burst_info.prev_face_luma, 64);
  EXPECT_AT(NevoFrame, burst_info.shutter, 68);
  EXPECT_AT(NevoFrame, burst_info.prev_shutter, 72);
  EXPECT_AT(NevoFrame, burst_info.sensor_gain, 76);
  EXPECT_AT(NevoFrame, burst_info.hcg_sensor_gain, 80);
  EXPECT_AT(NevoFrame, burst_info.isp_gain, 84);
  EXPECT_AT(NevoFrame, burst_info.prev_isp_gain, 88);
  EXPECT_AT(NevoFrame, burst_info.adrc_gain, 92);
  EXPECT_AT(NevoFrame, burst_info.prev_adrc_gain, 96);
  EXPECT_AT(NevoFrame, burst_info.dark_boost_gain, 100);
  EXPECT_AT(NevoFrame, burst_info.lux_index, 104);
  EXPECT_AT(NevoFrame, burst_info.exp_index, 108);
  EXPECT_AT(NevoFrame, burst_info.frame_luma, 112);
  EXPECT_AT(NevoFrame, reserved0, 116);
  EXPECT_AT(NevoFrame, sensor_mode, 148);
  EXPECT_AT(NevoFrame, frame_timestamp, 152);
  EXPECT_AT(NevoFrame, focus_status, 160);
  EXPECT_AT(NevoFrame, lsc.gr, 164);
  EXPECT_AT(NevoFrame, lsc.gb, 1048);
  EXPECT_AT(NevoFrame, lsc.r, 1932);
  EXPECT_AT(NevoFrame, lsc.b, 2816);
  EXPECT_AT(NevoFrame, is_zsl, 3700);
  EXPECT_AT(NevoFrame, is_flash_on, 3704);
  EXPECT_AT(NevoFrame, reserved1, 3708);
  EXPECT_AT(NevoFrame, img, 3712);
  EXPECT_AT(NevoFrame, gyro_data.count, 3800);
  EXPECT_AT(NevoFrame, gyro_data.gyro_elems, 3808);
  EXPECT_EQ(sizeof(NevoGyroElem), 24u);
  EXPECT_AT(NevoGyroElem, shift_y, 4);
  EXPECT_AT(NevoGyroElem, shift_z, 8);
  EXPECT_AT(NevoGyroElem, reserved, 12);
  EXPECT_AT(NevoGyroElem, timestamp, 16);
  EXPECT_AT(NevoFrame, gyro_data.frame_time.exp_beg, 8608);
  EXPECT_AT(NevoFrame, gyro_data.frame_time.exp_end, 8616);
  EXPECT_AT(NevoFrame, gyro_data.frame_time.exp_dur, 8624);
  EXPECT_AT(NevoFrame, face_info, 8632);
  EXPECT_AT(NevoFrame, zoom_info, 10236);
  EXPECT_AT(NevoFrame, ae_ratio, 10260);
  EXPECT_AT(NevoFrame, anchor_meta.best_moment.is_best_moment, 10264);
  EXPECT_AT(NevoFrame, anchor_meta.best_moment.best_moment_score, 10268);
  EXPECT_AT(NevoFrame, anchor_meta.eye_detect.is_eyes_detected, 10272);
  EXPECT_AT(NevoFrame, anchor_meta.eye_detect.is_eyes_open, 10273);
  EXPECT_AT(NevoFrame, anchor_meta.eye_detect.eye_open_score, 10276);
  EXPECT_AT(NevoFrame, anchor_meta.eye_detect.is_left_eyes_open, 10280);
  EXPECT_AT(NevoFrame, anchor_meta.eye_detect.is_right_eyes_open, 10281);
  EXPECT_AT(NevoFrame, fs_track_rect.left, 10284);
  EXPECT_AT(NevoFrame, fs_track_rect.bottom, 10296);
  EXPECT_AT(NevoFrame, reserved2, 10300);
}

TEST(RecordLayout, OutputMatchesTable) {
  EXPECT_EQ(sizeof(NevoOutput), 2528u);
  EXPECT_AT(NevoOutput, img_num, 0);
  EXPECT_AT(NevoOutput, img, 8);
  EXPECT_AT(NevoOutput, nr_gain_thresh, 360);
  EXPECT_AT(NevoOutput, exif_info, 364);
  EXPECT_AT(NevoOutput, xdr_linear_raw_ratio, 2412);
  EXPECT_AT(NevoOutput, aitone_flag, 2416);
  EXPECT_AT(NevoOutput, rgb_dehaze_saturation_adjust, 2420);
  EXPECT_AT(NevoOutput, rgb_dehaze_face_hue, 2424);
  EXPECT_AT(NevoOutput, rgb_dehaze_face_hue_after, 2428);
  EXPECT_AT(NevoOutput, bokeh_mask_deghost_flag, 2432);
  EXPECT_AT(NevoOutput, bokeh_mask, 2440);
}

TEST(RecordLayout, DepthParamAndAlgoConfigMatchTables) {
  EXPECT_EQ(sizeof(NevoDepthParam), 16u);
  EXPECT_AT(NevoDepthParam, param, 0);
  EXPECT_AT(NevoDepthParam, length, 8);
  EXPECT_AT(NevoDepthParam, reserved, 12);
  EXPECT_EQ(sizeof(NevoAlgoConfig), 88u);
  EXPECT_AT(NevoAlgoConfig, enable, 0);
  EXPECT_AT(NevoAlgoConfig, bypass, 16);
  EXPECT_AT(NevoAlgoConfig, input_format, 32);
  EXPECT_AT(NevoAlgoConfig, clone_input, 48);
  EXPECT_AT(NevoAlgoConfig, sync_mode, 64);
  EXPECT_AT(NevoAlgoConfig, vendor_type, 72);
  EXPECT_AT(NevoAlgoConfig, camera_mode, 80);
  EXPECT_AT(NevoAlgoConfig, timeout, 84);
}

TEST(RecordLayout, EnumerationsHaveContractValues) {
  EXPECT_EQ(NEVO_NR, 1);
  EXPECT_EQ(NEVO_HDSR, 8);
  EXPECT_EQ(NEVO_ELL, 9);
  EXPECT_EQ(NEVO_SESR, 13);
  EXPECT_EQ(NEVO_SNSC_HDR, 16);
  EXPECT_EQ(sizeof(NevoAlgoType), 4u);
}
