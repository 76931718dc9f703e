// Fixed-point constants, coefficient tables and element helpers shared by the
// plain (none/) and the vector (host/neon/) resize kernels.
#ifndef KILN_OPS_RESIZE_SRC_RESIZE_COMMON_H_
#define KILN_OPS_RESIZE_SRC_RESIZE_COMMON_H_

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "kiln/runtime/array/elem_type.h"
#include "kiln/runtime/context/status.h"

namespace kiln {

class Context;
class MemPool;
class WorkerPool;

namespace resize {

// ---- Fixed point -------------------------------------------------------------
// Interpolation weights are 11-bit fractions (1.0 == 2048). A horizontal and a
// vertical weight multiply to 22 fractional bits, removed by (sum + 2^21) >> 22.
constexpr int kCoefBits = 11;
constexpr int32_t kCoefOne = 1 << kCoefBits;
constexpr int kCombineBits = 2 * kCoefBits;
constexpr int32_t kCombineHalf = 1 << (kCombineBits - 1);

// Scale factors closer than this are the same factor.
constexpr float kScaleEps = 1e-5f;
inline bool SameFactor(float a, float b) { return std::fabs(a - b) < kScaleEps; }

// Cubic convolution parameter.
constexpr double kCubicA = -0.75;

// ---- Images ------------------------------------------------------------------
// A borrowed view of one interleaved image. The kernels never touch a byte
// outside the `width x channels` elements of rows 0..height-1.
struct ImagePlane {
  uint8_t* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 1;
  int64_t pitch = 0;  // bytes from one row to the next

  uint8_t* Row(int32_t y) const { return data + static_cast<int64_t>(y) * pitch; }
  template <typename T>
  T* Row(int32_t y) const {
    return reinterpret_cast<T*>(Row(y));
  }
  int32_t RowElems() const { return width * channels; }
};

// ---- Element types -------------------------------------------------------------
// Storage of QX_F16 (IEEE binary16 bits).
struct Half {
  uint16_t bits;
};
static_assert(sizeof(Half) == 2, "Half must be two bytes");

// binary16 -> binary32, exact. NaNs come back quiet with their payload.
inline float HalfToFloat(uint16_t h) {
  const uint32_t sign = static_cast<uint32_t>(h & 0x8000u) << 16;
  const uint32_t exp = (h >> 10) & 0x1fu;
  const uint32_t mant = h & 0x3ffu;
  uint32_t bits;
  if (exp == 0) {
    // Zero or subnormal: mant * 2^-24 is exact in single precision.
    const float mag = static_cast<float>(mant) * 5.9604644775390625e-8f;
    std::memcpy(&bits, &mag, sizeof(bits));
    bits |= sign;
  } else if (exp == 31) {
    bits = sign | 0x7f800000u | (mant << 13) | (mant != 0 ? 0x00400000u : 0u);
  } else {
    bits = sign | ((exp + 112u) << 23) | (mant << 13);
  }
  float out;
  std::memcpy(&out, &bits, sizeof(out));
  return out;
}

// binary32 -> binary16 rounded to nearest even, as the hardware conversion.
// NaNs stay NaN (quiet); their payload is kept as far as it fits.
inline uint16_t FloatToHalf(float value) {
  uint32_t x;
  std::memcpy(&x, &value, sizeof(x));
  const uint16_t sign = static_cast<uint16_t>((x >> 16) & 0x8000u);
  x &= 0x7fffffffu;
  if (x >= 0x7f800000u) {
    return static_cast<uint16_t>(sign | (x == 0x7f800000u ? 0x7c00u : 0x7e00u | ((x >> 13) & 0x3ffu)));
  }
  if (x >= 0x47800000u) return static_cast<uint16_t>(sign | 0x7c00u);  // >= 65536: infinity
  if (x < 0x38800000u) {
    // Below 2^-14 the result is subnormal: adding 0.5 aligns the ten mantissa
    // bits at the bottom and lets the float adder round to nearest even.
    float mag;
    std::memcpy(&mag, &x, sizeof(mag));
    mag += 0.5f;
    uint32_t r;
    std::memcpy(&r, &mag, sizeof(r));
    return static_cast<uint16_t>(sign | (r - 0x3f000000u));
  }
  const uint32_t odd = (x >> 13) & 1u;
  // Rebias the exponent (127 -> 15) and round the 13 dropped bits to even; a
  // carry out of the mantissa correctly bumps the exponent (up to infinity).
  x += (static_cast<uint32_t>(15 - 127) << 23) + 0xfffu + odd;
  return static_cast<uint16_t>(sign | (x >> 13));
}

template <typename T>
struct ElemLimits;
template <>
struct ElemLimits<uint8_t> {
  static constexpr int32_t kMin = 0, kMax = 255;
};
template <>
struct ElemLimits<int8_t> {
  static constexpr int32_t kMin = -128, kMax = 127;
};
template <>
struct ElemLimits<uint16_t> {
  static constexpr int32_t kMin = 0, kMax = 65535;
};
template <>
struct ElemLimits<int16_t> {
  static constexpr int32_t kMin = -32768, kMax = 32767;
};

template <typename T>
constexpr bool kIsFloatElem = std::is_same<T, float>::value || std::is_same<T, Half>::value;

template <typename T, typename I>
inline T SaturateInt(I v) {
  if (v < ElemLimits<T>::kMin) return static_cast<T>(ElemLimits<T>::kMin);
  if (v > ElemLimits<T>::kMax) return static_cast<T>(ElemLimits<T>::kMax);
  return static_cast<T>(v);
}

// Float element access (F32 and F16 compute in single precision).
inline float LoadFloat(const float* p) { return *p; }
inline float LoadFloat(const Half* p) { return HalfToFloat(p->bits); }
inline void StoreFloat(float* p, float v) { *p = v; }
inline void StoreFloat(Half* p, float v) { p->bits = FloatToHalf(v); }

// Rounds to nearest even (the default rounding mode) and saturates.
template <typename T>
inline T RoundSaturate(float v) {
  return SaturateInt<T>(std::lrintf(v));
}

// ---- Coefficient tables -------------------------------------------------------
// One destination column (or row) of a two-tap filter: taps index and
// index + 1 (index + 0 when the source is one pixel wide).
struct LinearCoef {
  int32_t index;
  int16_t w0;
  int16_t w1;
};
static_assert(sizeof(LinearCoef) == 8, "8 bytes per destination index");

struct LinearCoefF {
  int32_t index;
  float w0;
  float w1;
};

// One destination column (or row) of a four-tap filter: taps index + k,
// each clamped to the last source pixel for sources narrower than four.
struct CubicCoef {
  int32_t index;
  int16_t w[4];
};

struct CubicCoefF {
  int32_t index;
  float w[4];
};

// One source pixel's share of a destination pixel of an area decimation:
// alpha is the covered length in source pixels (a cell's entries sum to its
// size; the destination value is divided by the cell area at the end).
struct AreaDecimateAlpha {
  int32_t di;
  int32_t si;
  float alpha;
};

// The entries [first, first + count) of one destination index, and its cell
// size in source pixels.
struct AreaSpan {
  int32_t first;
  int32_t count;
  float cell;
};

// Bilinear: fx = (d + 0.5) * scale - 0.5. Either table may be null.
void BuildLinearCoefs(int32_t dsize, int32_t ssize, float scale, LinearCoef* coefs, LinearCoefF* fcoefs);
// Area upscale: x0 = floor(d * scale), fx = (d + 1) - (x0 + 1) / scale, taken
// as 0 when <= 0, otherwise its fractional part.
void BuildAreaLinearCoefs(int32_t dsize, int32_t ssize, float scale, LinearCoef* coefs, LinearCoefF* fcoefs);
// Bicubic (a = -0.75) with the outside taps folded onto the edge pixels.
void BuildCubicCoefs(int32_t dsize, int32_t ssize, CubicCoef* coefs, CubicCoefF* fcoefs);
// Nearest: floor(d * ssize / dsize) in double precision, clamped.
void BuildNearestMap(int32_t dsize, int32_t ssize, int32_t* map);
// Area decimation (scale >= 1): number of entries, then the tables.
int32_t CountAreaEntries(int32_t dsize, int32_t ssize, float scale);
void BuildAreaTab(int32_t dsize, int32_t ssize, float scale, AreaDecimateAlpha* entries, AreaSpan* spans);

// ---- Row cache -------------------------------------------------------------------
// Bytes between cached rows of `bytes` each: 64-byte aligned, with one spare
// vector after the row so vector loads of the last elements stay inside.
inline size_t CacheRowStride(size_t bytes) { return (bytes + 64 + 63) / 64 * 64; }

// The last N horizontally filtered source rows of one row block, so that a
// source row is filtered once while consecutive destination rows use it.
// Owned by the row block that made it; the memory is the block's scratch.
template <int N>
class RowCache {
 public:
  RowCache(void* base, size_t row_bytes) : m_base(static_cast<uint8_t*>(base)), m_stride(CacheRowStride(row_bytes)) {
    for (int j = 0; j < N; ++j) m_tag[j] = -1;
  }
  static size_t Bytes(size_t row_bytes) { return N * CacheRowStride(row_bytes); }

  // rows[k] = the filtered source row need[k] (repeats allowed); fill(row,
  // out) filters the rows not cached yet into free slots.
  template <typename R, class Fill>
  void Get(const int32_t (&need)[N], R* (&rows)[N], Fill&& fill) {
    bool used[N] = {};
    int slot[N];
    for (int k = 0; k < N; ++k) {
      slot[k] = -1;
      for (int j = 0; j < N; ++j) {
        if (m_tag[j] == need[k]) {
          slot[k] = j;
          used[j] = true;
          break;
        }
      }
    }
    for (int k = 0; k < N; ++k) {
      if (slot[k] >= 0) continue;
      for (int k2 = 0; k2 < k && slot[k] < 0; ++k2) {
        if (need[k2] == need[k]) slot[k] = slot[k2];
      }
      if (slot[k] >= 0) continue;
      int j = 0;
      while (used[j]) ++j;  // N distinct needs at most: a free slot exists
      used[j] = true;
      fill(need[k], reinterpret_cast<R*>(m_base + m_stride * j));
      m_tag[j] = need[k];
      slot[k] = j;
    }
    for (int k = 0; k < N; ++k) rows[k] = reinterpret_cast<R*>(m_base + m_stride * slot[k]);
  }

 private:
  uint8_t* m_base;
  size_t m_stride;
  int32_t m_tag[N];
};

// ---- Memory --------------------------------------------------------------------
// A block of heap memory from the context's pool, returned on destruction.
// Owned by the kernel run that asked for it.
class PoolBlock {
 public:
  PoolBlock() = default;
  ~PoolBlock();
  PoolBlock(const PoolBlock&) = delete;
  PoolBlock& operator=(const PoolBlock&) = delete;

  // Replaces the block with bytes (>= 1) of fresh memory; false on failure.
  bool Allocate(Context* ctx, size_t bytes, const char* file, const char* function, int line);
  void Free();
  template <typename T>
  T* As() const {
    return static_cast<T*>(m_data);
  }

 private:
  std::shared_ptr<MemPool> m_pool;
  void* m_data = nullptr;
};

// Scratch memory for row blocks running at the same time: one slot per
// participant of a ParallelFor (compute threads + the caller), each handed to
// one block at a time. Owned by one kernel run.
// Concurrency: Acquire and Release may be called from any thread; a slot is
// claimed with an atomic flag, so no two blocks share one. At most `slots`
// blocks may hold a slot at once (a ParallelFor never runs more).
class ScratchSlots {
 public:
  ScratchSlots() = default;
  ~ScratchSlots();
  ScratchSlots(const ScratchSlots&) = delete;
  ScratchSlots& operator=(const ScratchSlots&) = delete;

  // slots x bytes (each slot 64-byte aligned); false when the pool fails.
  bool Allocate(Context* ctx, int32_t slots, size_t bytes);
  // A free slot, or null when all are taken.
  void* Acquire();
  void Release(void* slot);

 private:
  PoolBlock m_block;
  std::unique_ptr<std::atomic<bool>[]> m_busy;
  int32_t m_slots = 0;
  size_t m_stride = 0;
};

// Splits destination rows [0, rows) into blocks and calls body(y0, y1) for
// each: on the pool's ParallelFor when pool is set, else once on the calling
// thread. Returns -1 when any call failed.
template <class Body>
Status RunRowBlocks(WorkerPool* pool, int32_t rows, Body&& body);

// How many blocks RunRowBlocks may run at once (scratch slots to allocate).
int32_t ConcurrentBlocks(WorkerPool* pool);

// Rows per block for the given pool: several blocks per participant so the
// work balances, but not so few rows that cached source rows are recomputed
// too often.
int32_t RowsPerBlock(WorkerPool* pool, int32_t rows);

}  // namespace resize
}  // namespace kiln

#include "kiln/runtime/worker_pool/worker_pool.h"

namespace kiln {
namespace resize {

template <class Body>
Status RunRowBlocks(WorkerPool* pool, int32_t rows, Body&& body) {
  if (rows <= 0) return kStatusOk;
  if (pool == nullptr) return body(0, rows) == kStatusOk ? kStatusOk : kStatusFail;
  const int32_t block = RowsPerBlock(pool, rows);
  const int32_t blocks = (rows + block - 1) / block;
  return pool->ParallelFor(0, blocks, [&](int i, int) -> Status {
    const int32_t y0 = i * block;
    const int32_t y1 = y0 + block < rows ? y0 + block : rows;
    return body(y0, y1);
  });
}

}  // namespace resize
}  // namespace kiln

#endif  // KILN_OPS_RESIZE_SRC_RESIZE_COMMON_H_
