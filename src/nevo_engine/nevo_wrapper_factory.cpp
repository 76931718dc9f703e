#include "nevo_engine/nevo_wrapper_factory.h"

#include "algo/nevo_algo_hdr/nevo_hdr_wrapper.h"
#include "algo/nevo_algo_hdsr/nevo_hdsr_wrapper.h"

WrapperRow NevoWrapperRow(int t, int vendor) {
  const bool arc = vendor == NEVO_VENDOR_ARCSOFT;
  WrapperRow row;
  row.supported = true;
  row.key = t;
  row.config_type = t;
  switch (t) {
    case NEVO_NR:
    case NEVO_NR_LL:
      row.cls = arc ? WrapperClass::kArcTfNr : WrapperClass::kNrLl;
      break;
    case NEVO_HDR:
      row.cls = arc ? WrapperClass::kArcTfHdr : WrapperClass::kHdr;
      break;
    case NEVO_HDR_LL:
    case NEVO_SE:
    case NEVO_SESR:
      // Served by the super-night wrapper built for SE and stored under SE.
      row.cls = arc ? WrapperClass::kArcTfSn : WrapperClass::kSn;
      row.key = row.config_type = NEVO_SE;
      break;
    case NEVO_SN:
      row.cls = arc ? WrapperClass::kArcTfSn : WrapperClass::kSn;
      break;
    case NEVO_SR:
      row.cls = arc ? WrapperClass::kArcSr : WrapperClass::kSr;
      break;
    case NEVO_HDSR:
      row.cls = arc ? WrapperClass::kArcSr : WrapperClass::kHdsr;
      break;
    case NEVO_ELL:
      row.cls = WrapperClass::kEll;
      break;
    case NEVO_SNSC:
      row.cls = WrapperClass::kSnsc;
      break;
    case NEVO_NR_50M:
    case NEVO_NR_LL_50M:
      row.cls = WrapperClass::kNrLl50M;
      row.key = row.config_type = NEVO_NR_LL_50M;
      break;
    case NEVO_HDR_F:
    case NEVO_SN_F:
      row.cls = arc ? WrapperClass::kNone : WrapperClass::kEmpty;
      break;
    case NEVO_SNSC_HDR:
      row.cls = arc ? WrapperClass::kNone : WrapperClass::kSnsc;
      break;
    default:
      row.cls = WrapperClass::kNone;
      break;
  }
  row.supported = row.cls != WrapperClass::kNone;
  return row;
}

std::shared_ptr<AlgoWrapper> NevoCreateWrapper(const WrapperRow& row, kiln::Context* ctx,
                                               const NevoAlgoConfig& config) {
  const uint32_t type = static_cast<uint32_t>(row.config_type);
  switch (row.cls) {
    case WrapperClass::kEmpty:
      return std::make_shared<EmptyWrapper>(ctx, config, type);
    case WrapperClass::kHdr:
      return std::make_shared<HdrWrapper>(ctx, config, type);
    case WrapperClass::kHdsr:
      return std::make_shared<HdsrWrapper>(ctx, config, type);
    default:
      // Adapters of the vendor libraries join this table as they are built.
      return nullptr;
  }
}
