// The EV0 fallback: what the wrapper writes into the output when a capture
// is bypassed, its algorithm failed, or it produced a black picture.
#ifndef NEVO_ALGO_CORRECT_IMAGE_NEVO_CORRECT_IMAGE_H_
#define NEVO_ALGO_CORRECT_IMAGE_NEVO_CORRECT_IMAGE_H_

#include "kiln/runtime/context/context.h"
#include "nevo/nevo.h"

// Full software RAW correction of the anchor frame into the output(s).
int NevoCorrectImage(kiln::Context* ctx, const NevoFrame& anchor, NevoOutput* output,
                     const NevoStartParam& start_param, const NevoInitParam& init_param, int camera_mode);

// Plain copy (or Bayer to 16-bit RGB) of the anchor image into the output(s).
int NevoConvertOnly(kiln::Context* ctx, const NevoFrame& anchor, NevoOutput* output,
                    const NevoStartParam& start_param, const NevoInitParam& init_param, int camera_mode);

// True when the image's largest sample is exactly 0.
bool NevoIsBlackImage(kiln::Context* ctx, const NevoImage& img);

#endif  // NEVO_ALGO_CORRECT_IMAGE_NEVO_CORRECT_IMAGE_H_
