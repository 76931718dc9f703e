// The QX RAW HDR library's entry points, listed once for both loaders.
#ifndef ALGO_NEVO_ALGO_HDR_NEVO_HDR_LIBRARY_H_
#define ALGO_NEVO_ALGO_HDR_NEVO_HDR_LIBRARY_H_

#include "nevo_algo_wrapper/nevo_library.h"
#include "qx_hdr_raw.h"

constexpr const char* kHdrLibraryFile = "libqx_hdr_raw.so";

#define QX_HDR_ENTRY_POINTS(X)                                                                            \
  X(ZRV_HDR_GetVersion) X(ZRV_HDR_SetLogLevel) X(ZRV_HDR_RAW_Init) X(ZRV_HDR_RAW_Uninit) \
  X(ZRV_HDR_RAW_PreProcess) X(ZRV_HDR_RAW_Process) X(ZRV_HDR_RAW_Terminate)

// The HDR adapter's loader; owned by NevoLibraryOf::Get.
class HdrLibrary final : public NevoLibraryOf<HdrLibrary> {
  NEVO_LIBRARY_ENTRY_POINTS(QX_HDR_ENTRY_POINTS)

 private:
  friend class NevoLibraryOf<HdrLibrary>;
  HdrLibrary() : NevoLibraryOf(kHdrLibraryFile) {}
};

// The HDSR adapter's loader of the same file; owned by NevoLibraryOf::Get.
class HdsrLibrary final : public NevoLibraryOf<HdsrLibrary> {
  NEVO_LIBRARY_ENTRY_POINTS(QX_HDR_ENTRY_POINTS)

 private:
  friend class NevoLibraryOf<HdsrLibrary>;
  HdsrLibrary() : NevoLibraryOf(kHdrLibraryFile) {}
};

#endif  // ALGO_NEVO_ALGO_HDR_NEVO_HDR_LIBRARY_H_
