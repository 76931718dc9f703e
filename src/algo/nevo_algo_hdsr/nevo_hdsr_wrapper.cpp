#include "algo/nevo_algo_hdsr/nevo_hdsr_wrapper.h"

#include "algo/nevo_algo_hdr/nevo_hdr_wrapper_impl.h"

template class QxHdrWrapper<HdsrLibrary>;

HdsrWrapper::HdsrWrapper(kiln::Context* ctx, const NevoAlgoConfig& config, uint32_t algo_type)
    : QxHdrWrapper<HdsrLibrary>(ctx, config, algo_type, HdrVariant{"hdsr"}) {}
