#include "tools/nevo_capture/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace nevo_capture {

namespace {

// libpng reports errors by longjmp; the message is kept for the caller.
void OnPngError(png_structp png, png_const_charp message) {
  auto* text = static_cast<std::string*>(png_get_error_ptr(png));
  if (text != nullptr) *text = message != nullptr ? message : "libpng error";
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Everything libpng touches lives outside the setjmp frame, so a longjmp
// skips no destructor.
bool Encode(FILE* file, const Rgb8Image& image, std::vector<png_bytep>& rows, std::string* message) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, message, OnPngError, OnPngWarning);
  if (png == nullptr) {
    *message = "png_create_write_struct failed";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    *message = "png_create_info_struct failed";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Previews are looked at, not archived: one cheap filter and fast
  // compression keep a 12 MP preview around a second.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePngRgb8(const std::string& path, const Rgb8Image& image, std::string* error) {
  std::string message;
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() != static_cast<size_t>(image.width) * image.height * 3) {
    message = "image is empty or its size does not match its pixels";
  } else {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      message = std::string("cannot create file: ") + std::strerror(errno);
    } else {
      std::vector<png_bytep> rows(image.height);
      for (int y = 0; y < image.height; ++y) {
        rows[y] = const_cast<png_bytep>(&image.rgb[static_cast<size_t>(y) * image.width * 3]);
      }
      const bool encoded = Encode(file, image, rows, &message);
      const bool closed = std::fclose(file) == 0;
      if (encoded && !closed) message = std::string("cannot finish file: ") + std::strerror(errno);
      if (encoded && closed) return true;
    }
  }
  if (error != nullptr) *error = path + ": " + message;
  return false;
}

}  // namespace nevo_capture
