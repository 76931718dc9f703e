// Host images as kiln matrices, image copies, and the small path helpers of
// the dump folders. Every routine takes the engine's context (may be null);
// failures are recorded in its error history.
#ifndef NEVO_UTILS_NEVO_IMAGE_H_
#define NEVO_UTILS_NEVO_IMAGE_H_

#include <string>

#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"
#include "nevo/nevo.h"

// NevoImage.elem_type 1..8 is the kiln type of the same number; anything else
// is logged and gives 0 (an empty matrix).
kiln::ElemType NevoElemType2KilnElemType(int elem_type);

// Describes plane 0 of img as a Mat (DMA buffer record with fd[0]); nothing
// is copied or owned. Channels: 1 for raw (format 0), 3 otherwise.
kiln::Mat NevoImage2Mat(kiln::Context* ctx, const NevoImage& img);

// Copies src into dst (same format and size; pitches may differ).
int NevoCopyImage(kiln::Context* ctx, const NevoImage* src, const NevoImage* dst);

// Raw Bayer src (16-bit samples) to 16-bit RGB dst: per-position gains and a
// 1/63 scale to 8 bits, demosaic, then x255.
int NevoBayerToRGB16(kiln::Context* ctx, const NevoImage* src, const NevoImage* dst, const float gains[4]);

// Logs every field of img at level 2 under the given name.
void NevoPrintImageInfo(kiln::Context* ctx, const NevoImage& img, const std::string& name);

// Creates every missing directory of path (0777). 0, or 1002300.
int NevoMakeDirs(const std::string& path);
// dir + "/" (unless dir already ends with one) + name.
std::string NevoJoinPath(const std::string& dir, const std::string& name);
// printf-style formatting into a string of exactly the needed length.
std::string NevoFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// name up to its last '.', or the whole name without one.
std::string NevoStripExtension(const std::string& name);

#endif  // NEVO_UTILS_NEVO_IMAGE_H_
