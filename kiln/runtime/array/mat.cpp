#include "kiln/runtime/array/mat.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "kiln/runtime/context/context.h"

namespace kiln {

Mat::Mat() : Array(KILN_ARRAY_MAT) {}

Mat::Mat(Context* ctx, ElemType elem_type, const Sizes& sizes, uint32_t mem_type, const Strides& strides)
    : Array(KILN_ARRAY_MAT) {
  m_ctx = ctx;
  m_elem_type = elem_type;
  m_sizes = sizes;
  const bool geometry_ok = ComputeLayout(strides, 0);
  if (!geometry_ok) {
    KILN_RECORD(ctx, "invalid mat");
    MakeEmpty();
    return;
  }
  if (mem_type == KILN_MEM_INVALID) {
    KILN_RECORD(ctx, "mem_type is KILN_MEM_INVALID");
    MakeEmpty();
    return;
  }
  if (InitRefCount() != kStatusOk) {
    KILN_RECORD(ctx, "InitRefCount failed");
    MakeEmpty();
    return;
  }
  std::shared_ptr<MemPool> pool = ctx->GetMemPool();
  void* data = pool != nullptr ? pool->Alloc(mem_type, static_cast<size_t>(m_total), 0, KILN_ALLOC_PARAM) : nullptr;
  if (data != nullptr) m_buffer = pool->GetBuffer(data);
  if (!IsValid()) {
    KILN_RECORD(ctx, "invalid mat");
    Release();
  }
}

Mat::Mat(Context* ctx, ElemType elem_type, const Sizes& sizes, const Buffer& buffer, const Strides& strides)
    : Array(KILN_ARRAY_MAT) {
  m_ctx = ctx;
  m_elem_type = elem_type;
  m_sizes = sizes;
  Wrap(buffer, strides);
}

Mat::Mat(Context* ctx, ElemType elem_type, const Sizes& sizes, void* data, const Strides& strides, int fd)
    : Array(KILN_ARRAY_MAT) {
  m_ctx = ctx;
  m_elem_type = elem_type;
  m_sizes = sizes;
  // Claim only what the h rows need: the memory may end after the last
  // row's pixels.
  Buffer buffer;
  if (ComputeLayout(strides, 0)) {
    const uint64_t need = static_cast<uint64_t>(static_cast<int64_t>(m_sizes.h - 1) * m_strides.row_bytes + RowBytes());
    buffer.type = fd >= 0 ? KILN_MEM_DMA : KILN_MEM_HEAP;
    buffer.capacity = need;
    buffer.size = need;
    buffer.data = data;
    buffer.origin = data;
    buffer.property = fd >= 0 ? static_cast<uint32_t>(fd) : 0;
  }
  Wrap(buffer, strides);
}

void Mat::Wrap(const Buffer& buffer, const Strides& strides) {
  if (m_ctx == nullptr) {
    MakeEmpty();
    return;
  }
  const bool geometry_ok = ComputeLayout(strides, buffer.size);
  if (buffer.type == KILN_MEM_INVALID || buffer.data == nullptr || buffer.origin == nullptr ||
      buffer.capacity < buffer.size || buffer.size < 1) {
    KILN_RECORD(m_ctx, "buffer is invalid");
    MakeEmpty();
    return;
  }
  if (!geometry_ok) {
    KILN_RECORD(m_ctx, "invalid mat");
    MakeEmpty();
    return;
  }
  if (static_cast<uint64_t>(m_total) > buffer.size) {
    KILN_RECORD(m_ctx, "the memory of buffer does not meet the requirements of Mat");
    MakeEmpty();
    return;
  }
  m_buffer = buffer;
  m_buffer.size = static_cast<uint64_t>(m_total);
}

Mat::Mat(const Mat& src, const Rect& rect, const Strides& strides) : Array(KILN_ARRAY_MAT) {
  if (!src.IsValid()) {
    KILN_RECORD(src.m_ctx, "invalid mat");
    return;
  }
  const int64_t right = static_cast<int64_t>(rect.x) + rect.width;
  const int64_t bottom = static_cast<int64_t>(rect.y) + rect.height;
  if (rect.x < 0 || rect.y < 0 || rect.width <= 0 || rect.height <= 0 || right > src.Width() ||
      bottom > src.Height()) {
    KILN_RECORD(src.m_ctx, "rect(%d,%d,%d,%d) is outside the src mat %dx%d(hw)", rect.x, rect.y, rect.width,
                rect.height, src.Height(), src.Width());
    return;
  }
  Mat region(src.m_ctx, src.m_elem_type, Sizes{rect.height, rect.width, src.Channels()}, src.m_buffer.type,
             strides);
  if (!region.IsValid()) return;
  const size_t pixel = static_cast<size_t>(src.Channels()) * static_cast<size_t>(src.ElemSize());
  const size_t bytes = static_cast<size_t>(rect.width) * pixel;
  for (int32_t r = 0; r < rect.height; ++r) {
    std::memcpy(region.GetRowData(r), src.GetRowData(rect.y + r) + static_cast<size_t>(rect.x) * pixel, bytes);
  }
  TakeFrom(region);
}

Mat::Mat(const Mat& other) : Array(KILN_ARRAY_MAT) {
  if (!other.IsValid()) {
    KILN_RECORD(other.m_ctx, "invalid mat");
    return;
  }
  ShareFrom(other);
}

Mat& Mat::operator=(const Mat& other) {
  if (this == &other) return *this;
  Release();
  if (!other.IsValid()) {
    KILN_RECORD(other.m_ctx, "invalid mat");
    return *this;
  }
  ShareFrom(other);
  return *this;
}

Mat::Mat(Mat&& other) noexcept : Array(KILN_ARRAY_MAT) { TakeFrom(other); }

Mat& Mat::operator=(Mat&& other) noexcept {
  if (this == &other) return *this;
  Release();
  TakeFrom(other);
  return *this;
}

Mat::~Mat() { Release(); }

bool Mat::IsValid() const { return m_array_type == KILN_ARRAY_MAT && Array::IsValid(); }

void Mat::MakeEmpty() {
  ResetFields();
  m_array_type = KILN_ARRAY_MAT;
}

std::string Mat::InfoText() const {
  char text[1024];
  std::snprintf(text, sizeof(text),
                "\n"
                "=================== Info Start ===================\n"
                "array type          : %s\n"
                "elem type           : %s\n"
                "sizes               : %dx%dx%d(hwc)\n"
                "strides             : %dx%d(hw)\n"
                "ref count           : %d\n"
                "Total bytes         : %" PRId64 "\n"
                "buffer              : Buffer:\n"
                "  |- type           : %s\n"
                "  |- capacity       : %" PRIu64 "\n"
                "  |- size           : %" PRIu64 "\n"
                "  |- data           : %p\n"
                "  |- origin         : %p\n"
                "  |- property       : %u\n"
                "================= MAT Info End =================\n"
                "\n",
                ArrayTypeName(m_array_type), ElemTypeName(m_elem_type), m_sizes.h, m_sizes.w, m_sizes.c,
                m_strides.rows, m_strides.row_bytes, RefCount(), m_total, BufferTypeName(m_buffer.type),
                m_buffer.capacity, m_buffer.size, m_buffer.data, m_buffer.origin, m_buffer.property);
  return text;
}

void Mat::PrintInfo() const {
  const std::string text = InfoText();
  KILN_LOG(m_ctx, kLogDebug, "%s\n", text.c_str());
}

Status Mat::Dump(const std::string& fname) const {
  if (fname.empty()) {
    KILN_RECORD(m_ctx, "fname is empty");
    return kStatusFail;
  }
  if (!IsValid()) {
    KILN_RECORD(m_ctx, "invalid mat");
    return kStatusFail;
  }
  std::FILE* file = std::fopen(fname.c_str(), "wb");
  if (file == nullptr) {
    KILN_RECORD(m_ctx, "open %s failed", fname.c_str());
    return kStatusFail;
  }
  // Unbuffered, so a full disk shows as a short fwrite of the row at hand.
  std::setvbuf(file, nullptr, _IONBF, 0);
  const size_t row_bytes = static_cast<size_t>(RowBytes());
  Status status = kStatusOk;
  for (int32_t r = 0; r < m_sizes.h; ++r) {
    const size_t written = std::fwrite(GetRowData(r), 1, row_bytes, file);
    if (written != row_bytes) {
      KILN_RECORD(m_ctx, "fwrite size(%zu,%zu) not match", written, row_bytes);
      status = kStatusFail;
      break;
    }
  }
  std::fclose(file);
  return status;
}

Mat Mat::Clone() const {
  if (!IsValid()) {
    KILN_RECORD(m_ctx, "invalid mat");
    return Mat();
  }
  Mat copy(m_ctx, m_elem_type, m_sizes, m_buffer.type, m_strides);
  if (!copy.IsValid()) return Mat();
  std::memcpy(copy.GetData(), GetData(), static_cast<size_t>(m_total));
  return copy;
}

Status Mat::CopyTo(Mat& dst) const {
  if (this == &dst) return kStatusOk;
  if (!IsValid()) {
    KILN_RECORD(m_ctx, "invalid mat");
    return kStatusFail;
  }
  if (!dst.IsValid()) {
    dst = Clone();
    return dst.IsValid() ? kStatusOk : kStatusFail;
  }
  if (!SameShape(dst)) {
    KILN_RECORD(m_ctx, "src(%s %dx%dx%d) and dst(%s %dx%dx%d) shape mismatch", ElemTypeName(m_elem_type), m_sizes.h,
                m_sizes.w, m_sizes.c, ElemTypeName(dst.m_elem_type), dst.m_sizes.h, dst.m_sizes.w, dst.m_sizes.c);
    return kStatusFail;
  }
  const size_t row_bytes = static_cast<size_t>(RowBytes());
  // Copies sharing one buffer: the rows are the same bytes already.
  if (dst.GetData() == GetData() && dst.RowPitch() == RowPitch()) return kStatusOk;
  for (int32_t r = 0; r < m_sizes.h; ++r) std::memmove(dst.GetRowData(r), GetRowData(r), row_bytes);
  return kStatusOk;
}

}  // namespace kiln
