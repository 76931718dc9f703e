// Bokeh depth: runs the depth library beside a portrait capture.
#ifndef NEVO_ALGO_DEPTH_NEVO_DEPTH_H_
#define NEVO_ALGO_DEPTH_NEVO_DEPTH_H_

#include "kiln/runtime/context/context.h"
#include "nevo/nevo.h"

// The host's block must be exactly 32 bytes long.
int NevoDepthCheckParam(kiln::Context* ctx, const NevoDepthParam& param);

// Pre-launch, launch, process, then both destroy calls whatever happened.
// Only config.bypass is read. Returns the first failing step's code or 0.
int NevoDepthRun(kiln::Context* ctx, const NevoAlgoConfig& config, const NevoDepthParam& param);

#endif  // NEVO_ALGO_DEPTH_NEVO_DEPTH_H_
