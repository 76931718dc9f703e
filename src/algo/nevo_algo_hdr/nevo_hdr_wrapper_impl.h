// Body of QxHdrWrapper; included only by the two adapters' sources, which
// instantiate it for their loader.
#ifndef ALGO_NEVO_ALGO_HDR_NEVO_HDR_WRAPPER_IMPL_H_
#define ALGO_NEVO_ALGO_HDR_NEVO_HDR_WRAPPER_IMPL_H_

#include <cstring>

#include "algo/nevo_algo_hdr/nevo_hdr_frame_info.h"
#include "algo/nevo_algo_hdr/nevo_hdr_library.h"
#include "algo/nevo_algo_hdr/nevo_hdr_wrapper.h"
#include "nevo_algo_wrapper/nevo_library_call.h"
#include "nevo_utils/nevo_algo_names.h"
#include "nevo_utils/nevo_log.h"

// Results pass through; a missing entry point reads as 1002904.
constexpr NevoCallPolicy kQxHdrCalls = NevoInHouseCallPolicy("NEVO_HDR", kArcMissingEntryCode);

#define QX_CALL(entry, ...) NevoLibraryCall(ctx_, #entry, kQxHdrCalls, &Library::entry, ##__VA_ARGS__)
#define QX_LOGE(fmt, ...) \
  this->Log(kNevoLogError, "%s[%s:%d] " fmt, __FUNCTION__, __FILE__, __LINE__, ##__VA_ARGS__)

template <typename Library>
QxHdrWrapper<Library>::~QxHdrWrapper() = default;

template <typename Library>
int QxHdrWrapper<Library>::InvalidHandle() {
  QX_LOGE("%s handle is invalid...\n", variant_.word);
  return NEVO_ERR_FAILED;
}

template <typename Library>
int QxHdrWrapper<Library>::AlgoInit(const NevoInitParam&) {
  const char* version = QX_CALL(ZRV_HDR_GetVersion);
  if (version != nullptr) {
    version_ = version;
  } else {
    QX_LOGE("ZRV_HDR_GetVersion failed...\n");
  }
  hdr_param_ = std::make_shared<HdrParam>();
  std::memset(hdr_param_.get(), 0, sizeof(HdrParam));
  if (QX_CALL(ZRV_HDR_SetLogLevel, config_.log, &NevoPrint) != 0) QX_LOGE("ZRV_HDR_SetLogLevel failed...\n");
  void* handle = nullptr;
  const int ret = QX_CALL(ZRV_HDR_RAW_Init, &handle);
  handle_.store(handle);
  if (ret == 0 && handle != nullptr) return 0;
  QX_LOGE("ZRV_HDR_RAW_Init failed, ret = %d, handle = %p\n", ret, handle);
  return ret;
}

template <typename Library>
int QxHdrWrapper<Library>::AlgoUnit() {
  void* handle = handle_.load();
  if (handle != nullptr) {
    QX_CALL(ZRV_HDR_RAW_Uninit, &handle);
    handle_.store(nullptr);
  }
  hdr_param_.reset();
  return 0;
}

template <typename Library>
int QxHdrWrapper<Library>::AlgoStart(const NevoStartParam&, NevoGetAnchorFunc, void*) {
  return handle_.load() == nullptr ? InvalidHandle() : 0;
}

template <typename Library>
int QxHdrWrapper<Library>::AlgoAddFrame(const NevoFrame& frame, NevoOutput*) {
  void* handle = handle_.load();
  if (handle == nullptr || hdr_param_ == nullptr) return InvalidHandle();
  const int slot = added_count_ - 1;
  if (slot < 0 || slot >= ZRV_HDR_MAX_INPUT) {
    QX_LOGE("frame slot %d out of range\n", slot);
    return NEVO_ERR_FAILED;
  }
  HDR_RAW_OFFSCREEN* image = &hdr_param_->images[slot];
  HDR_FRAME_INFO* info = &hdr_param_->infos[slot];
  std::memset(image, 0, sizeof(*image));
  HdrFillImage(frame.img, image);
  const HdrFrameInfoNotes notes = HdrFillFrameInfo(init_param_, start_param_, frame, frames_[0],
                                                   config_.camera_mode, info);
  if (notes.sensor_fallback) QX_LOGE("sensor_type not support for hdr\xEF\xBC\x8C" "fallback to wide\n");
  if (notes.raw_type_unsupported) QX_LOGE("raw_type not support\n");
  int32_t anchor = anchor_.load();
  const int ret = QX_CALL(ZRV_HDR_RAW_PreProcess, handle, image, info, init_param_.ae.ev_value, &anchor);
  anchor_.store(anchor);
  if (ret != 0) {
    QX_LOGE("ZRV_HDR_RAW_PreProcess fail, return=%d\n", ret);
    return ret;
  }
  return 0;
}

template <typename Library>
int QxHdrWrapper<Library>::AlgoRun() {
  void* handle = handle_.load();
  if (handle == nullptr || hdr_param_ == nullptr || output_ == nullptr) return InvalidHandle();
  HdrFillOutput(*output_, config_.camera_mode, start_param_.xdr_light_index, &hdr_param_->output);
  HDR_OUTPUT_INFO info;
  std::memset(&info, 0, sizeof(info));
  info.exif = algo_exif_;
  info.exif_size = static_cast<int32_t>(sizeof(algo_exif_));
  const int ret = QX_CALL(ZRV_HDR_RAW_Process, handle, &hdr_param_->output, &info, &OnAnchor, &OnProgress,
                          static_cast<void*>(this));
  output_->nr_gain_thresh = info.nr_gain_thresh;
  output_->xdr_linear_raw_ratio = info.xdr_linear_raw_ratio;
  output_->aitone_flag = info.aitone_flag;
  output_->rgb_dehaze_saturation_adjust = info.rgb_dehaze_saturation_adjust;
  output_->rgb_dehaze_face_hue = info.rgb_dehaze_face_hue;
  output_->rgb_dehaze_face_hue_after = info.rgb_dehaze_face_hue_after;
  Log(kNevoLogInfo,
      "%s output info: nr_gain_thresh = %f, xdr_linear_raw_ratio = %f, aitone_flag = %d,"
      "rgb_dehaze_saturation_adjust = %f, rgb_dehaze_face_hue = %f, rgb_dehaze_face_hue_after = %f\n",
      variant_.word, info.nr_gain_thresh, info.xdr_linear_raw_ratio, info.aitone_flag,
      info.rgb_dehaze_saturation_adjust, info.rgb_dehaze_face_hue, info.rgb_dehaze_face_hue_after);
  if (ret == 0) return 0;
  QX_LOGE("ZRV_HDR_RAW_Process fail, return=%d\n", ret);
  return ret;
}

template <typename Library>
int QxHdrWrapper<Library>::AlgoTerminate() {
  void* handle = handle_.load();
  if (handle == nullptr) return 0;
  return QX_CALL(ZRV_HDR_RAW_Terminate, handle);
}

template <typename Library>
int QxHdrWrapper<Library>::AlgoSelectAnchor(int* anchor) {
  if (anchor != nullptr) *anchor = -1;
  QX_LOGE("is_anchor_select mode not support in %s scene\n",
          NevoAlgoDisplayName(static_cast<int>(algo_type_)).c_str());
  return NEVO_ERR_FAILED;
}

template <typename Library>
int QxHdrWrapper<Library>::OnAnchor(int* frame_index, void* user_data) {
  if (frame_index == nullptr || user_data == nullptr) return NEVO_ERR_FAILED;
  return static_cast<QxHdrWrapper*>(user_data)->SetAnchor(*frame_index);
}

template <typename Library>
int QxHdrWrapper<Library>::OnProgress(ZRV_HDR_SYNC_PROGRESS_DATA, void*) {
  return 0;
}

#undef QX_CALL
#undef QX_LOGE

#endif  // ALGO_NEVO_ALGO_HDR_NEVO_HDR_WRAPPER_IMPL_H_
