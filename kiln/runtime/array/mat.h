// kiln::Mat: the runtime's image container.
#ifndef KILN_RUNTIME_ARRAY_MAT_H_
#define KILN_RUNTIME_ARRAY_MAT_H_

#include <string>

#include "kiln/runtime/array/array.h"

namespace kiln {

// A height x width x channels image of one element type, stored row by row
// with an explicit row pitch (channels interleaved).
//
// Memory. A Mat either allocates its pixels from the context's memory pool
// (heap, type 1, or DMA, type 2) and shares them with its copies through an
// atomic counter, or wraps a buffer owned by someone else (a camera buffer)
// and never frees it. Copying is cheap and shares pixels; Clone copies them.
//
// Layout. row bytes = w x c x element size; pitch = max(requested row
// stride, row bytes); rows per plane = max(requested rows, h); total = rows
// x pitch, except that a wrapped buffer whose size is exactly
// (h - 1) x pitch + row bytes (the last row cut after its pixels) has that
// size as total. Zero strides give a tightly packed image.
//
// Errors. Constructors never throw: a failure leaves the Mat empty (IsValid()
// false) and records the reason in the context's error history.
//
//   kiln::Mat img(ctx, kiln::QX_U8, {h, w, 3}, kiln::KILN_MEM_HEAP);
//   for (int y = 0; y < img.Height(); ++y) { uint8_t* row = img.Ptr<uint8_t>(y); ... }
//   kiln::Mat view(ctx, kiln::QX_U16, {h, w, 1}, plane_ptr, {0, pitch}, fd);
//
// Owned by value by whoever declared it; the context is borrowed and must
// outlive the Mat and all its copies.
// Concurrency: a Mat object is not shared between threads; copies of one Mat
// may be made and released on different threads (the counter is atomic).
// The pixels are not guarded: parallel writers split the rows.
class Mat : public Array {
 public:
  // Empty Mat (array type MAT, channels 1, everything else 0).
  Mat();
  // Allocates the layout's total bytes of mem_type from the context's pool.
  Mat(Context* ctx, ElemType elem_type, const Sizes& sizes, uint32_t mem_type, const Strides& strides = Strides());
  // Describes a foreign buffer; takes no ownership. The buffer must be live
  // and hold at least the layout's total bytes.
  Mat(Context* ctx, ElemType elem_type, const Sizes& sizes, const Buffer& buffer,
      const Strides& strides = Strides());
  // Describes foreign memory at data that holds the h rows of the layout
  // (the last one may end right after its pixels). fd >= 0 marks it as DMA
  // memory with that descriptor; otherwise it is described as heap memory.
  Mat(Context* ctx, ElemType elem_type, const Sizes& sizes, void* data, const Strides& strides = Strides(),
      int fd = -1);
  // A new allocated Mat (source's memory type) holding the rectangle of src.
  // A rectangle not fully inside src gives an empty Mat.
  Mat(const Mat& src, const Rect& rect, const Strides& strides = Strides());

  // Copies share the pixels; copying an invalid Mat records "invalid mat".
  Mat(const Mat& other);
  Mat& operator=(const Mat& other);
  // Moves hand over this share of the pixels; the source becomes empty.
  Mat(Mat&& other) noexcept;
  Mat& operator=(Mat&& other) noexcept;
  ~Mat() override;

  bool IsValid() const override;

  // Logs InfoText() at level 2 with the kiln tag.
  virtual void PrintInfo() const;
  // Writes the h rows (pixel bytes only, no pitch padding) to fname.
  virtual Status Dump(const std::string& fname) const;

  // The multi-line description PrintInfo logs.
  std::string InfoText() const;

  // A deep copy in new memory of the same type and strides; empty when this
  // Mat is invalid.
  Mat Clone() const;
  // Copies the pixels into dst row by row (each with its own pitch). A valid
  // dst must have the same shape (-1 otherwise); an invalid dst becomes a
  // Clone. Copying a Mat onto itself does nothing.
  Status CopyTo(Mat& dst) const;

 private:
  void Wrap(const Buffer& buffer, const Strides& strides);
  void MakeEmpty();
};

}  // namespace kiln

#endif  // KILN_RUNTIME_ARRAY_MAT_H_
