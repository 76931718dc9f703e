// 8-bit previews of RAW and 16-bit RGB images, for a person to look at.
//
// RAW: black subtraction and scaling to 0..1 by the levels, optional lens
// shading correction from the 13 x 17 grids, white balance, bilinear
// demosaic (own sample kept, missing colours averaged over the 3 x 3
// neighbours of that colour), clip, sRGB gamma.
// RGB16: linear values tone-mapped: scaled so the 99th percentile of the
// brightest channel sits at 0.9, values above a knee at 0.75 rolled off
// smoothly towards 1 (1 - exp), then sRGB gamma.
#ifndef TOOLS_NEVO_CAPTURE_PREVIEW_H_
#define TOOLS_NEVO_CAPTURE_PREVIEW_H_

#include <array>
#include <cstdint>
#include <vector>

#include "tools/nevo_capture/burst_synth.h"

namespace nevo_capture {

struct Rgb8Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3, R G B
};

// A borrowed 16-bit image; pitch in bytes.
struct U16View {
  const uint16_t* data = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;
  int channels = 1;
  const uint16_t* Row(int y) const {
    return reinterpret_cast<const uint16_t*>(reinterpret_cast<const uint8_t*>(data) + static_cast<size_t>(y) * pitch);
  }
};

// Returns an empty image when the view or pattern is unusable.
Rgb8Image PreviewFromRaw(const U16View& raw, int pattern, const SensorLevels& levels,
                         const std::array<float, 4>& cell_wb, const LscGrids* lsc);
Rgb8Image PreviewFromRgb16(const U16View& rgb);

// Levels for a RAW image whose range is not known: black is the lower of
// `nominal.black` and the 0.1th percentile, white the higher of
// `nominal.white` and the maximum sample.
SensorLevels AutoRawLevels(const U16View& raw, const SensorLevels& nominal);

// sRGB transfer of a linear value clipped to 0..1, as an 8-bit code.
uint8_t EncodeSrgb8(double linear);

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_PREVIEW_H_
