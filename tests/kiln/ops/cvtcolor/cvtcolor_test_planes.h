// The planes every CvtColor type takes, as exact-size buffers wrapped in
// Mats, for the operator-level tests.
#ifndef TESTS_KILN_OPS_CVTCOLOR_CVTCOLOR_TEST_PLANES_H_
#define TESTS_KILN_OPS_CVTCOLOR_CVTCOLOR_TEST_PLANES_H_

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kiln/ops/cvtcolor/cvtcolor_types.h"
#include "kiln/runtime/array/mat.h"
#include "kiln/runtime/context/context.h"

namespace cvtcolor_test {

struct PlaneShape {
  int h;
  int w;
  int c;
  kiln::ElemType elem;
};

struct TypeShapes {
  std::vector<PlaneShape> src;
  std::vector<PlaneShape> dst;
};

// The planes of type for an h x w image; Bayer types use bayer_elem.
inline TypeShapes ShapesFor(kiln::CvtColorType type, int h, int w, kiln::ElemType bayer_elem = kiln::QX_U8) {
  using namespace kiln;
  const ElemType u8 = QX_U8;
  const PlaneShape gray{h, w, 1, u8}, bgr{h, w, 3, u8}, bgra{h, w, 4, u8};
  const PlaneShape pairs{h / 2, w / 2, 2, u8}, quarter{h / 2, w / 2, 1, u8};
  switch (type) {
    case BGR2BGRA: return {{bgr}, {bgra}};
    case BGRA2BGR: return {{bgra}, {bgr}};
    case BGR2RGB: return {{bgr}, {bgr}};
    case BGR2GRAY:
    case RGB2GRAY: return {{bgr}, {gray}};
    case BGRA2GRAY:
    case RGBA2GRAY: return {{bgra}, {gray}};
    case GRAY2BGR: return {{gray}, {bgr}};
    case GRAY2BGRA: return {{gray}, {bgra}};
    case RGB2YUV_NV12:
    case RGB2YUV_NV21:
    case RGB2YUV_NV12_601:
    case RGB2YUV_NV21_601: return {{bgr}, {gray, pairs}};
    case RGB2YUV_YU12:
    case RGB2YUV_YV12:
    case RGB2YUV_YU12_601:
    case RGB2YUV_YV12_601: return {{bgr}, {gray, quarter, quarter}};
    case RGB2YUV_Y444:
    case RGB2YUV_Y444_601: return {{bgr}, {gray, gray, gray}};
    case RGB2YUV_NV12_P010:
    case RGB2YUV_NV21_P010: return {{{h, w, 3, QX_U16}}, {{h, w, 1, QX_U16}, {h / 2, w / 2, 2, QX_U16}}};
    case YUV2RGB_NV12:
    case YUV2RGB_NV21:
    case YUV2RGB_NV12_601:
    case YUV2RGB_NV21_601: return {{gray, pairs}, {bgr}};
    case YUV2RGB_YU12:
    case YUV2RGB_YV12:
    case YUV2RGB_YU12_601:
    case YUV2RGB_YV12_601: return {{gray, quarter, quarter}, {bgr}};
    case YUV2RGB_Y422:
    case YUV2RGB_YUYV:
    case YUV2RGB_YVYU:
    case YUV2RGB_Y422_601:
    case YUV2RGB_YUYV_601:
    case YUV2RGB_YVYU_601: return {{{h, w, 2, u8}}, {bgr}};
    case YUV2RGB_Y444:
    case YUV2RGB_Y444_601: return {{gray, gray, gray}, {bgr}};
    case BAYERBG2BGR:
    case BAYERGB2BGR:
    case BAYERRG2BGR:
    case BAYERGR2BGR: return {{{h, w, 1, bayer_elem}}, {{h, w, 3, bayer_elem}}};
    default: return {};
  }
}

// One plane in a heap block that ends right after its last pixel; rows are
// padded by pad_elems elements.
class Plane {
 public:
  Plane(kiln::Context* ctx, const PlaneShape& shape, int pad_elems)
      : shape_(shape), row_bytes_(static_cast<int64_t>(shape.w) * shape.c * kiln::ElemTypeSize(shape.elem)),
        pitch_(row_bytes_ + static_cast<int64_t>(pad_elems) * kiln::ElemTypeSize(shape.elem)) {
    const int64_t bytes = (shape.h - 1) * pitch_ + row_bytes_;
    data_.reset(new uint8_t[bytes]);
    std::memset(data_.get(), 0xA5, static_cast<size_t>(bytes));
    mat_ = kiln::Mat(ctx, shape.elem, kiln::Sizes{shape.h, shape.w, shape.c}, data_.get(),
                     kiln::Strides{0, static_cast<int32_t>(pitch_)});
  }

  kiln::Mat& mat() { return mat_; }
  uint8_t* row(int y) { return data_.get() + y * pitch_; }
  const uint8_t* row(int y) const { return data_.get() + y * pitch_; }
  int64_t row_bytes() const { return row_bytes_; }
  const PlaneShape& shape() const { return shape_; }

  void FillRandom(std::mt19937& rng) {
    std::uniform_int_distribution<int> dist(0, 255);
    for (int y = 0; y < shape_.h; ++y) {
      for (int64_t x = 0; x < row_bytes_; ++x) row(y)[x] = static_cast<uint8_t>(dist(rng));
    }
  }
  bool SamePixels(const Plane& other) const {
    for (int y = 0; y < shape_.h; ++y) {
      if (std::memcmp(row(y), other.row(y), static_cast<size_t>(row_bytes_)) != 0) return false;
    }
    return true;
  }
  // Every byte, padding included, still holds the initial 0xA5.
  bool Untouched() const {
    for (int y = 0; y < shape_.h; ++y) {
      for (int64_t x = 0; x < row_bytes_; ++x) {
        if (row(y)[x] != 0xA5) return false;
      }
    }
    return true;
  }

 private:
  PlaneShape shape_;
  int64_t row_bytes_;
  int64_t pitch_;
  std::unique_ptr<uint8_t[]> data_;
  kiln::Mat mat_;
};

// All planes of one side of a conversion.
class Planes {
 public:
  Planes(kiln::Context* ctx, const std::vector<PlaneShape>& shapes, int pad_elems = 0) {
    for (const PlaneShape& shape : shapes) planes_.emplace_back(new Plane(ctx, shape, pad_elems));
  }
  std::vector<kiln::Array*> Arrays() {
    std::vector<kiln::Array*> out;
    for (auto& p : planes_) out.push_back(&p->mat());
    return out;
  }
  void FillRandom(std::mt19937& rng) {
    for (auto& p : planes_) p->FillRandom(rng);
  }
  bool SamePixels(const Planes& other) const {
    for (size_t i = 0; i < planes_.size(); ++i) {
      if (!planes_[i]->SamePixels(*other.planes_[i])) return false;
    }
    return true;
  }
  bool Untouched() const {
    for (const auto& p : planes_) {
      if (!p->Untouched()) return false;
    }
    return true;
  }
  Plane& operator[](size_t i) { return *planes_[i]; }
  size_t size() const { return planes_.size(); }

 private:
  std::vector<std::unique_ptr<Plane>> planes_;
};

// Every conversion of the table.
inline std::vector<kiln::CvtColorType> AllTypes() {
  std::vector<kiln::CvtColorType> out;
  for (int t = 0; t < 500; ++t) {
    if (kiln::FindCvtColorType(t) != nullptr) out.push_back(static_cast<kiln::CvtColorType>(t));
  }
  return out;
}

}  // namespace cvtcolor_test

#endif  // TESTS_KILN_OPS_CVTCOLOR_CVTCOLOR_TEST_PLANES_H_
