// PNG files of 8-bit RGB previews, written with libpng.
#ifndef TOOLS_NEVO_CAPTURE_PNG_WRITER_H_
#define TOOLS_NEVO_CAPTURE_PNG_WRITER_H_

#include <string>

#include "tools/nevo_capture/preview.h"

namespace nevo_capture {

// Writes `image` as an 8-bit RGB PNG. On failure returns false with the
// reason (the file may then be partly written).
bool WritePngRgb8(const std::string& path, const Rgb8Image& image, std::string* error);

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_PNG_WRITER_H_
