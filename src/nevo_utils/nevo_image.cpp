#include "nevo_utils/nevo_image.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "kiln/runtime/context/logger.h"
#include "kiln/runtime/context/print.h"
#include "kiln/runtime/memory/buffer.h"

namespace {

constexpr const char* kTag = "NEVO_UTILS";
constexpr int kFail = NEVO_ERR_FAILED;

}  // namespace

kiln::ElemType NevoElemType2KilnElemType(int elem_type) {
  if (elem_type >= NEVO_ELEM_U8 && elem_type <= NEVO_ELEM_F64) return static_cast<kiln::ElemType>(elem_type);
  kiln::Print(kTag, 0, "%s[%s:%d] elem type is invalid\n", __FUNCTION__, __FILE__, __LINE__);
  return kiln::QX_INVALID;
}

kiln::Mat NevoImage2Mat(kiln::Context* ctx, const NevoImage& img) {
  const kiln::ElemType type = NevoElemType2KilnElemType(img.elem_type);
  kiln::Buffer buffer;
  buffer.type = kiln::KILN_MEM_DMA;
  const int64_t bytes = static_cast<int64_t>(img.height) * img.pitch[0];
  buffer.capacity = bytes > 0 ? static_cast<uint64_t>(bytes) : 0;
  buffer.size = buffer.capacity;
  buffer.data = img.plane[0];
  buffer.origin = img.plane[0];
  buffer.property = static_cast<uint32_t>(img.fd[0]);
  const kiln::Sizes sizes{img.height, img.width, img.format == NEVO_FORMAT_RAW ? 1 : 3};
  kiln::Strides strides;
  strides.rows = img.height;
  strides.row_bytes = img.pitch[0];
  return kiln::Mat(ctx, type, sizes, buffer, strides);
}

int NevoCopyImage(kiln::Context* ctx, const NevoImage* src, const NevoImage* dst) {
  if (src == nullptr || dst == nullptr) {
    KILN_RECORD(ctx, "NevoCopyImage: src or dst is NULL");
    return kFail;
  }
  if (src->format != dst->format) {
    KILN_RECORD(ctx, "NevoCopyImage: src and dst format not match");
    return kFail;
  }
  if (src->plane[0] == nullptr || dst->plane[0] == nullptr) {
    KILN_RECORD(ctx, "NevoCopyImage: src or dst plane is NULL");
    return kFail;
  }
  if (src->width != dst->width || src->height != dst->height) {
    KILN_RECORD(ctx, "NevoCopyImage: src and dst size not match");
    return kFail;
  }
  const kiln::Mat from = NevoImage2Mat(ctx, *src);
  kiln::Mat to = NevoImage2Mat(ctx, *dst);
  // An invalid destination would make CopyTo allocate a clone instead of
  // writing the host buffer, so both must describe real images.
  if (!from.IsValid() || !to.IsValid() || from.CopyTo(to) != 0) {
    KILN_RECORD(ctx, "NevoCopyImage: copy image failed");
    return kFail;
  }
  return 0;
}

void NevoPrintImageInfo(kiln::Context* ctx, const NevoImage& img, const std::string& name) {
  const std::string text = NevoFormat(
      "NevoImage info %s:format=%d, pattern=%d, elem_type=%d, width=%d, height=%d, plane=[%p, %p, %p, %p], "
      "pitch=[%d, %d, %d, %d], fd=[%d, %d, %d, %d]\n",
      name.c_str(), img.format, img.pattern, img.elem_type, img.width, img.height, img.plane[0], img.plane[1],
      img.plane[2], img.plane[3], img.pitch[0], img.pitch[1], img.pitch[2], img.pitch[3], img.fd[0], img.fd[1],
      img.fd[2], img.fd[3]);
  const auto logger = ctx != nullptr ? ctx->GetLogger() : nullptr;
  if (logger != nullptr) {
    logger->LogText(kTag, 2, text);
  } else {
    kiln::PrintText(kTag, 2, text.c_str());
  }
}

int NevoMakeDirs(const std::string& path) {
  if (path.empty()) return kFail;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    const size_t next = path.find('/', pos + 1);
    partial = path.substr(0, next);
    pos = next;
    if (partial.empty() || partial == "/") continue;
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return kFail;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : kFail;
}

std::string NevoJoinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string NevoFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (n > 0) {
    text.resize(static_cast<size_t>(n));
    std::vsnprintf(&text[0], text.size() + 1, format, args);
  }
  va_end(args);
  return text;
}

std::string NevoStripExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}
