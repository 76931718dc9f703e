/*
 * Nevo camera post-processing module: the public C interface.
 *
 * Owned by the HAL integration: every record here is a binary contract with
 * the camera HAL, so field order, widths, array capacities and reserved gaps
 * must never change. Compiles as C99 and as C++.
 */
#ifndef NEVO_NEVO_H_
#define NEVO_NEVO_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define NEVO_API __attribute__((visibility("default")))
#else
#define NEVO_API
#endif

/* ---- status codes ------------------------------------------------------ */
#define NEVO_OK 0
#define NEVO_ERR_FAILED 1002300         /* invalid handle/argument/state */
#define NEVO_ERR_BYPASSED 1002301       /* error turned into EV0 bypass */
#define NEVO_ERR_SUBMIT 1002905         /* run task could not be submitted */
#define NEVO_ERR_NOT_INIT 1002906       /* before Init or after Unit */
#define NEVO_ERR_NULL_OUTPUT 1001001    /* output record is null */
#define NEVO_ERR_TOO_MANY_FRAMES 1001002
#define NEVO_ERR_INPUT_FORMAT 1001901
#define NEVO_ERR_OUTPUT_FORMAT 1001902

/* ---- enumerations ------------------------------------------------------ */
typedef enum NevoAlgoType {
  NEVO_INVALID = 0,
  NEVO_NR = 1,
  NEVO_NR_LL = 2,
  NEVO_HDR = 3,
  NEVO_HDR_LL = 4,
  NEVO_SE = 5,
  NEVO_SN = 6,
  NEVO_SR = 7,
  NEVO_HDSR = 8,
  NEVO_ELL = 9,
  NEVO_SNSC = 10,
  NEVO_NR_50M = 11,
  NEVO_NR_LL_50M = 12,
  NEVO_SESR = 13,
  NEVO_HDR_F = 14,
  NEVO_SN_F = 15,
  NEVO_SNSC_HDR = 16,
  NEVO_ALGO_TYPE_NUM = 17
} NevoAlgoType;

typedef enum NevoSensorType {
  NEVO_SENSOR_W = 1,
  NEVO_SENSOR_UW = 2,
  NEVO_SENSOR_T = 3,
  NEVO_SENSOR_ST = 4,
  NEVO_SENSOR_FW = 5,
  NEVO_SENSOR_FUW = 6
} NevoSensorType;

typedef enum NevoVendorType {
  NEVO_VENDOR_INHOUSE = 0,
  NEVO_VENDOR_ARCSOFT = 1
} NevoVendorType;

#define NEVO_CAMERA_MODE_PORTRAIT 2

/* NevoImage.format: 0 raw Bayer, 1 RGB; adapters define further values. */
#define NEVO_FORMAT_RAW 0
#define NEVO_FORMAT_RGB 1

/* NevoImage.pattern */
#define NEVO_PATTERN_RGGB 0
#define NEVO_PATTERN_GRBG 1
#define NEVO_PATTERN_BGGR 2
#define NEVO_PATTERN_GBRG 3

/* NevoImage.elem_type, numbered as kiln's element types */
#define NEVO_ELEM_U8 1
#define NEVO_ELEM_S8 2
#define NEVO_ELEM_U16 3
#define NEVO_ELEM_S16 4
#define NEVO_ELEM_U32 5
#define NEVO_ELEM_S32 6
#define NEVO_ELEM_F32 7
#define NEVO_ELEM_F64 8

#define NEVO_MAX_PLANES 4
#define NEVO_MAX_FRAMES 16
#define NEVO_MAX_OUTPUTS 4
#define NEVO_MAX_FACES 50
#define NEVO_MAX_GAMMA 512
#define NEVO_MAX_HIST 256
#define NEVO_MAX_GTM 512
#define NEVO_MAX_GYRO 200
#define NEVO_LSC_ROWS 13
#define NEVO_LSC_COLS 17
#define NEVO_EXIF_LEN 2048
#define NEVO_PATH_LEN 256
#define NEVO_DEPTH_BLOCK_LEN 32

/* ---- images ------------------------------------------------------------ */
typedef struct NevoImage {
  int32_t format;
  int32_t pattern;
  int32_t elem_type;
  int32_t width;
  int32_t height;
  uint8_t reserved[4];
  void* plane[NEVO_MAX_PLANES]; /* plane[0] == NULL: no image */
  int32_t pitch[NEVO_MAX_PLANES];
  int32_t fd[NEVO_MAX_PLANES]; /* DMA-BUF/ION descriptor, or negative */
} NevoImage;

/* ---- shared groups ----------------------------------------------------- */
typedef struct NevoRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} NevoRect;

typedef struct NevoRectF {
  float left;
  float top;
  float right;
  float bottom;
} NevoRectF;

typedef struct NevoFaceAngle {
  int32_t pitch;
  int32_t roll_angle;
  int32_t pose;
} NevoFaceAngle;

typedef struct NevoFaceInfo {
  int32_t face_num;
  NevoRect face_rect[NEVO_MAX_FACES];
  float face_bright[NEVO_MAX_FACES];
  NevoFaceAngle face_angle[NEVO_MAX_FACES];
} NevoFaceInfo;

typedef struct NevoZoomInfo {
  NevoRect fov;
  float zoom_ratio;
  float real_zoom_ratio;
} NevoZoomInfo;

/* ---- NevoConfig: given once to NevoCreate ------------------------------ */
typedef struct NevoConfig {
  uint8_t reserved0[100];
  int32_t camera_mode; /* 2 = portrait */
  int32_t bokeh_depth_enable;
  uint8_t reserved1[32];
} NevoConfig;

/* ---- NevoInitParam: once per capture ----------------------------------- */
typedef struct NevoAeMeta {
  int32_t is_white_plus;
  int32_t is_black_sub;
  float ev_offset;
  int32_t is_smart_motion;
  int32_t banding_type;
  int32_t is_bracket_exposure;
  int32_t is_scene_bright;
  int32_t bokeh_setting_type;
} NevoAeMeta;

typedef struct NevoAeInfo {
  int32_t algo_type;
  int32_t ev_num; /* at most 16 */
  int32_t ev_value[NEVO_MAX_FRAMES];
  int32_t capture_mode[NEVO_MAX_FRAMES];
  NevoAeMeta meta;
  uint8_t reserved0[32];
  bool is_need_crop_upscale;
  uint8_t reserved1[35];
} NevoAeInfo;

typedef struct NevoInitParam {
  NevoAeInfo ae;
  int32_t is_anchor_select;
  int32_t force_algo;
  char jpg_path[NEVO_PATH_LEN];
  float exp_targets[3];
  uint8_t reserved[1056];
} NevoInitParam;

/* ---- NevoStartParam ---------------------------------------------------- */
typedef struct NevoGammaTable {
  int32_t length; /* at most 512 */
  float table_x[NEVO_MAX_GAMMA];
  float table_y[NEVO_MAX_GAMMA];
} NevoGammaTable;

typedef struct NevoYHistInfo {
  uint32_t buckets; /* at most 256 */
  uint32_t hist[NEVO_MAX_HIST];
} NevoYHistInfo;

typedef struct NevoAiSceneResult {
  int32_t first_result;
  float first_confidence;
  int32_t second_result;
  float second_confidence;
} NevoAiSceneResult;

typedef struct NevoSunsetResult {
  int32_t is_sunset;
  float sunset_confidence;
} NevoSunsetResult;

typedef struct NevoGtmTable {
  int32_t length; /* at most 512; 0 = no table */
  int32_t table_x[NEVO_MAX_GTM];
  int32_t table_y[NEVO_MAX_GTM];
} NevoGtmTable;

typedef struct NevoAssignAnchor {
  bool is_assign_anchor;
  int32_t anchor_order;
} NevoAssignAnchor;

typedef struct NevoStartParam {
  int32_t direction;
  int32_t frame_num;
  int32_t width;
  int32_t height;
  int32_t stride;
  int32_t bit_width;
  int32_t sensor_type;
  int32_t sensor_mode;
  int32_t ui_ev;
  int32_t input_mode;
  uint64_t capture_timestamp;
  NevoGammaTable gamma_table;
  NevoYHistInfo y_hist_info;
  NevoZoomInfo zoom_info;
  float ccm[9];
  float cct;
  NevoFaceInfo face_info;
  NevoAiSceneResult ai_scene_result;
  int32_t indoor_flag;
  NevoSunsetResult sunset_result;
  int32_t xdr_light_index;
  int32_t raw_type;
  float black_sub_ratio;
  float white_plus_ratio;
  NevoGtmTable gtm_table;
  NevoAssignAnchor assign_anchor;
  bool is_fs_track;
  int32_t concert_flag;
  int32_t sdsr_flag;
  uint8_t reserved[32];
} NevoStartParam;

/* ---- NevoFrame: one input frame ---------------------------------------- */
typedef struct NevoBurstInfo {
  int32_t bright_level[4];
  int32_t black_level[4];
  float wb_gain[4];
  float cur_luma;
  float tar_luma;
  float face_luma;
  float prev_face_luma;
  float shutter;
  float prev_shutter;
  float sensor_gain;
  float hcg_sensor_gain;
  float isp_gain;
  float prev_isp_gain;
  float adrc_gain;
  float prev_adrc_gain;
  float dark_boost_gain;
  int32_t lux_index;
  int32_t exp_index;
  float frame_luma;
} NevoBurstInfo;

typedef struct NevoLsc {
  float gr[NEVO_LSC_ROWS][NEVO_LSC_COLS];
  float gb[NEVO_LSC_ROWS][NEVO_LSC_COLS];
  float r[NEVO_LSC_ROWS][NEVO_LSC_COLS];
  float b[NEVO_LSC_ROWS][NEVO_LSC_COLS];
} NevoLsc;

typedef struct NevoGyroElem {
  float shift_x;
  float shift_y;
  float shift_z;
  uint8_t reserved[4];
  uint64_t timestamp;
} NevoGyroElem;

typedef struct NevoFrameTime {
  uint64_t exp_beg;
  uint64_t exp_end;
  uint64_t exp_dur;
} NevoFrameTime;

typedef struct NevoGyroData {
  int32_t count; /* at most 200 */
  NevoGyroElem gyro_elems[NEVO_MAX_GYRO];
  NevoFrameTime frame_time;
} NevoGyroData;

typedef struct NevoBestMoment {
  bool is_best_moment;
  float best_moment_score;
} NevoBestMoment;

typedef struct NevoEyeDetect {
  bool is_eyes_detected;
  bool is_eyes_open;
  float eye_open_score;
  bool is_left_eyes_open;
  bool is_right_eyes_open;
} NevoEyeDetect;

typedef struct NevoAnchorMeta {
  NevoBestMoment best_moment;
  NevoEyeDetect eye_detect;
} NevoAnchorMeta;

typedef struct NevoFrame {
  int32_t ev_value;
  NevoBurstInfo burst_info;
  uint8_t reserved0[32];
  int32_t sensor_mode;
  uint64_t frame_timestamp;
  int32_t focus_status;
  NevoLsc lsc;
  int32_t is_zsl;
  int32_t is_flash_on;
  uint8_t reserved1[4];
  NevoImage img;
  NevoGyroData gyro_data;
  NevoFaceInfo face_info;
  NevoZoomInfo zoom_info;
  float ae_ratio;
  NevoAnchorMeta anchor_meta;
  NevoRectF fs_track_rect;
  uint8_t reserved2[36];
} NevoFrame;

/* ---- NevoOutput: filled by the module ---------------------------------- */
typedef struct NevoOutput {
  int32_t img_num; /* valid entries of img, at most 4 */
  NevoImage img[NEVO_MAX_OUTPUTS];
  float nr_gain_thresh;
  char exif_info[NEVO_EXIF_LEN];
  float xdr_linear_raw_ratio;
  int32_t aitone_flag;
  float rgb_dehaze_saturation_adjust;
  float rgb_dehaze_face_hue;
  float rgb_dehaze_face_hue_after;
  int32_t bokeh_mask_deghost_flag;
  NevoImage bokeh_mask; /* present when plane[0] != NULL */
} NevoOutput;

/* ---- NevoDepthParam ---------------------------------------------------- */
typedef struct NevoDepthParam {
  void* param;     /* the depth library's parameter block */
  uint32_t length; /* must equal 32 */
  uint8_t reserved[4];
} NevoDepthParam;

/* ---- NevoAlgoConfig: per-algorithm settings built by the engine -------- */
typedef struct NevoAlgoConfig {
  int32_t enable;
  int32_t enable_anchor;
  int32_t enable_xdr;
  int32_t enable_ur;
  int32_t bypass;
  int32_t bypass_func; /* 1 correct image, 2 convert only */
  int32_t dump;
  int32_t log;
  int32_t input_format;
  int32_t output_format;
  int32_t format_ur;
  int32_t format_xdr;
  int32_t clone_input;
  int32_t init_protect;
  int32_t error_protect;
  int32_t black_protect;
  int32_t sync_mode; /* 1 wait for run, 2 none, 3 condition hand-shake */
  int32_t sync_id;
  int32_t vendor_type;
  int32_t print_status;
  int32_t camera_mode;
  int32_t timeout; /* ms */
} NevoAlgoConfig;

/* ---- handle and callbacks ---------------------------------------------- */
typedef struct NevoHandleRec* NevoHandle;

typedef int (*NevoGetAnchorFunc)(int* frame_index, void* user_data);
typedef int (*NevoLogPrintFunc)(int level, const char* tag, const char* format, ...);

/* ---- the twelve exports ------------------------------------------------- */
NEVO_API NevoHandle NevoCreate(const NevoConfig* config, int* status);
NEVO_API int NevoInit(NevoHandle handle, const NevoInitParam* init_param);
NEVO_API int NevoStart(NevoHandle handle, const NevoStartParam* start_param,
                       NevoGetAnchorFunc get_anchor_func, void* user_data);
NEVO_API int NevoAddFrame(NevoHandle handle, const NevoFrame* frame, NevoOutput* output);
NEVO_API int NevoRun(NevoHandle handle);
NEVO_API int NevoSelectAnchor(NevoHandle handle, int* frame_index);
NEVO_API int NevoTerminate(NevoHandle handle);
NEVO_API int NevoUnit(NevoHandle handle);
NEVO_API int NevoDestroy(NevoHandle* handle_ptr);
NEVO_API int NevoSetDepthParam(NevoHandle handle, const NevoDepthParam* depth_param);
NEVO_API const char* NevoGetVersion(void);
NEVO_API int NevoSetLogPrint(int level, NevoLogPrintFunc log_print);

/* ---- layout checks ------------------------------------------------------ */
#if defined(__cplusplus)
#define NEVO_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define NEVO_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif

#if !defined(__cplusplus) && defined(__STDC_VERSION__) && __STDC_VERSION__ < 201112L && \
    !defined(__GNUC__)
/* No _Static_assert before C11 outside GNU compilers: the layout test covers it. */
#else
NEVO_STATIC_ASSERT(sizeof(NevoImage) == 88, "NevoImage layout");
NEVO_STATIC_ASSERT(sizeof(NevoFaceInfo) == 1604, "face_info layout");
NEVO_STATIC_ASSERT(sizeof(NevoZoomInfo) == 24, "zoom_info layout");
NEVO_STATIC_ASSERT(sizeof(NevoConfig) == 140, "NevoConfig layout");
NEVO_STATIC_ASSERT(sizeof(NevoInitParam) == 1568, "NevoInitParam layout");
NEVO_STATIC_ASSERT(sizeof(NevoStartParam) == 11040, "NevoStartParam layout");
NEVO_STATIC_ASSERT(sizeof(NevoFrame) == 10336, "NevoFrame layout");
NEVO_STATIC_ASSERT(sizeof(NevoOutput) == 2528, "NevoOutput layout");
NEVO_STATIC_ASSERT(sizeof(NevoDepthParam) == 16, "NevoDepthParam layout");
NEVO_STATIC_ASSERT(sizeof(NevoAlgoConfig) == 22 * 4, "NevoAlgoConfig layout");
#endif

#ifdef __cplusplus
}
#endif

#endif /* NEVO_NEVO_H_ */
