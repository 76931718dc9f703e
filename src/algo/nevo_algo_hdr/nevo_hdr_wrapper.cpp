#include "algo/nevo_algo_hdr/nevo_hdr_wrapper_impl.h"

template class QxHdrWrapper<HdrLibrary>;

HdrWrapper::HdrWrapper(kiln::Context* ctx, const NevoAlgoConfig& config, uint32_t algo_type)
    : QxHdrWrapper<HdrLibrary>(ctx, config, algo_type, HdrVariant{"hdr"}) {}
