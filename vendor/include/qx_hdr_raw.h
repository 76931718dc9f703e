// QX multi-frame RAW HDR SDK interface (libqx_hdr_raw.so), as the module
// calls it: seven entry points, the image, frame-information and output
// records, codes and callback types.
#ifndef VENDOR_INCLUDE_QX_HDR_RAW_H_
#define VENDOR_INCLUDE_QX_HDR_RAW_H_

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Failures end in 9xx: the module's run protection treats them as
 * recoverable and falls back to the EV0 frame. */
#define ZRV_HDR_OK 0
#define ZRV_HDR_ERR_PARAM 1005901
#define ZRV_HDR_ERR_HANDLE 1005902
#define ZRV_HDR_ERR_STATE 1005903
#define ZRV_HDR_ERR_MEMORY 1005904
#define ZRV_HDR_ERR_CANCELLED 1005905
#define ZRV_HDR_ERR_FORMAT 1005906

#define ZRV_HDR_MAX_INPUT 16
#define ZRV_HDR_MAX_OUTPUT 3
#define ZRV_HDR_MAX_PLANES 4
#define ZRV_HDR_MAX_FACES 20
#define ZRV_HDR_MAX_HIST 256
#define ZRV_HDR_LSC_BYTES 3536

// Image formats of __tag_HDR_RAW_OFFSCREEN (the module's NevoImage codes).
#define ZRV_HDR_FORMAT_RAW 0
#define ZRV_HDR_FORMAT_RGB 1

// Sensor codes.
#define ZRV_HDR_SENSOR_WIDE 10
#define ZRV_HDR_SENSOR_TELE 11
#define ZRV_HDR_SENSOR_ULTRA_WIDE 13
#define ZRV_HDR_SENSOR_SUPER_TELE 16

// RAW types (Bayer phase of the top-left cell).
#define ZRV_HDR_RAW_RGGB 5
#define ZRV_HDR_RAW_GRBG 6
#define ZRV_HDR_RAW_GBRG 7
#define ZRV_HDR_RAW_BGGR 8

typedef struct __tag_HDR_RAW_OFFSCREEN {
  int32_t format;
  int32_t width;
  int32_t height;
  int32_t reserved;
  void* plane[ZRV_HDR_MAX_PLANES];
  int32_t pitch[ZRV_HDR_MAX_PLANES];  // bytes
  int32_t fd[ZRV_HDR_MAX_PLANES];
} HDR_RAW_OFFSCREEN;

typedef struct _tag_HDR_RECT {
  int32_t left, top, right, bottom;
} HDR_RECT;

typedef struct _tag_HDR_FRAME_INFO {
  int32_t smart_motion;
  int32_t banding_type;
  int32_t sensor_code;
  int32_t capture_mode;
  int32_t sensor_mode_flag;
  int32_t raw_type;
  int32_t rotation;  // direction / 90
  int32_t frame_num;
  int32_t width;
  int32_t height;
  int32_t stride;
  int32_t bit_width;
  float r_gain;
  float b_gain;
  float lux_index;
  float sensor_gain;
  float adrc_gain;
  float isp_gain;
  float exposure_s;
  float cct;
  int32_t ev_value;
  int32_t is_zsl;
  float ae_ratio;
  uint8_t lsc[ZRV_HDR_LSC_BYTES];  // gr, gb, r, b grids of 13 x 17 floats
  float black_level[4];
  int32_t face_num;
  HDR_RECT face_rect[ZRV_HDR_MAX_FACES];
  float face_bright[ZRV_HDR_MAX_FACES];
  int32_t face_angle[ZRV_HDR_MAX_FACES][3];  // pitch, roll, pose
  uint32_t hist_buckets;
  uint32_t hist[ZRV_HDR_MAX_HIST];
  float ccm[9];
  int32_t ui_ev;
  int32_t ai_first_result;
  float ai_first_confidence;
  int32_t ai_second_result;
  float ai_second_confidence;
  int32_t indoor_flag;
  int32_t ai_reserved;
  int32_t input_mode;
  HDR_RECT zoom_fov;
  float zoom_ratio;
  float real_zoom_ratio;
  uint64_t capture_timestamp;
  uint64_t frame_timestamp;
  int32_t gamma_length;
  const float* gamma_x;
  const float* gamma_y;
  bool is_best_moment;
  float best_moment_score;
  bool is_eyes_detected;
  bool is_eyes_open;
  float eye_open_score;
  bool is_left_eyes_open;
  bool is_right_eyes_open;
  bool is_fs_track;
  float fs_track_rect[4];  // left, top, right, bottom
  int32_t brighten_mode;   // 0 none, 1 white plus, 2 black sub, 3 both
  float brighten_ratio;
  int32_t xdr_flag;
  float hcg_sensor_gain;
  float dark_boost_gain;
  int32_t is_sunset;
  float sunset_confidence;
  bool is_assign_anchor;
  int32_t anchor_order;
  int32_t concert_flag;
  bool is_need_crop_upscale;
  int32_t is_anchor_select;
  int32_t gyro_count;
  const void* gyro_elems;  // the host's gyro samples, gyro_count of them
  uint64_t frame_exp_beg;
  uint64_t frame_exp_end;
  uint64_t frame_exp_dur;
} HDR_FRAME_INFO;

// Image 0 the merged result, 1 the ultra-RAW output, 2 the XDR output; an
// entry whose plane[0] is null is not produced.
typedef struct _tag_HDR_RAW_OUTPUTINFO {
  int32_t img_num;
  int32_t reserved;
  HDR_RAW_OFFSCREEN img[ZRV_HDR_MAX_OUTPUT];
} HDR_RAW_OUTPUTINFO;

typedef struct _tag_HDR_OUTPUT_INFO {
  float nr_gain_thresh;
  float xdr_linear_raw_ratio;
  char* exif;
  int32_t exif_size;
  int32_t aitone_flag;
  float rgb_dehaze_saturation_adjust;
  float rgb_dehaze_face_hue;
  float rgb_dehaze_face_hue_after;
} HDR_OUTPUT_INFO;

typedef struct _tag_ZRV_HDR_SYNC_PROGRESS_DATA {
  int32_t stage;
  int32_t percent;
} ZRV_HDR_SYNC_PROGRESS_DATA;

typedef int (*ZRV_HDR_AnchorCallback)(int* frame_index, void* user_data);
typedef int (*ZRV_HDR_SyncProgressCallback)(ZRV_HDR_SYNC_PROGRESS_DATA data, void* user_data);
typedef int (*ZRV_HDR_LogPrint)(int level, const char* tag, const char* format, ...);

const char* ZRV_HDR_GetVersion(void);
int ZRV_HDR_SetLogLevel(int level, ZRV_HDR_LogPrint print);
int ZRV_HDR_RAW_Init(void** handle);
int ZRV_HDR_RAW_Uninit(void** handle);
// ev_list: the capture's EV list, frame_num entries; anchor may be written.
int ZRV_HDR_RAW_PreProcess(void* handle, const HDR_RAW_OFFSCREEN* image, const HDR_FRAME_INFO* info,
                           const int32_t* ev_list, int32_t* anchor);
int ZRV_HDR_RAW_Process(void* handle, HDR_RAW_OUTPUTINFO* output, HDR_OUTPUT_INFO* output_info,
                        ZRV_HDR_AnchorCallback anchor_callback, ZRV_HDR_SyncProgressCallback progress_callback,
                        void* user_data);
int ZRV_HDR_RAW_Terminate(void* handle);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // VENDOR_INCLUDE_QX_HDR_RAW_H_
