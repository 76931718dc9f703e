#include "kiln/ops/resize/src/resize_common.h"

#include <algorithm>
#include <new>

#include "kiln/runtime/context/context.h"
#include "kiln/runtime/memory/mem_pool.h"

namespace kiln {
namespace resize {

namespace {

int16_t SaturateCoef(double v) {
  const long r = std::lrint(v);
  return static_cast<int16_t>(std::min<long>(std::max<long>(r, -32768), 32767));
}

// The two-tap border rules shared by bilinear and area upscaling: left of the
// first pair all weight goes to the first tap, right of the last pair all
// weight to the second; the index stays inside [0, ssize - 2].
void StoreLinear(int32_t d, int32_t ssize, int32_t x0, float frac, LinearCoef* coefs, LinearCoefF* fcoefs) {
  if (x0 < 0) frac = 0.f;
  if (x0 > ssize - 2) frac = 1.f;
  const int32_t index = std::max(0, std::min(x0, ssize - 2));
  if (coefs != nullptr) {
    const float beta = frac * static_cast<float>(kCoefOne);
    coefs[d].index = index;
    coefs[d].w0 = SaturateCoef(static_cast<float>(kCoefOne) - beta);
    coefs[d].w1 = SaturateCoef(beta);
  }
  if (fcoefs != nullptr) {
    fcoefs[d].index = index;
    fcoefs[d].w0 = 1.f - frac;
    fcoefs[d].w1 = frac;
  }
}

// Cubic convolution weight of a tap at distance d (0 <= d < 2).
double CubicWeight(double d) {
  if (d <= 1.0) return ((kCubicA + 2.0) * d - (kCubicA + 3.0)) * d * d + 1.0;
  return ((kCubicA * d - 5.0 * kCubicA) * d + 8.0 * kCubicA) * d - 4.0 * kCubicA;
}

}  // namespace

void BuildLinearCoefs(int32_t dsize, int32_t ssize, float scale, LinearCoef* coefs, LinearCoefF* fcoefs) {
  for (int32_t d = 0; d < dsize; ++d) {
    const float fx = static_cast<float>((d + 0.5) * static_cast<double>(scale) - 0.5);
    const int32_t x0 = static_cast<int32_t>(std::floor(fx));
    StoreLinear(d, ssize, x0, fx - static_cast<float>(x0), coefs, fcoefs);
  }
}

void BuildAreaLinearCoefs(int32_t dsize, int32_t ssize, float scale, LinearCoef* coefs, LinearCoefF* fcoefs) {
  for (int32_t d = 0; d < dsize; ++d) {
    const int32_t x0 = static_cast<int32_t>(std::floor(d * static_cast<double>(scale)));
    const float fx = static_cast<float>((d + 1) - (x0 + 1) / static_cast<double>(scale));
    const float frac = fx <= 0.f ? 0.f : fx - std::floor(fx);
    StoreLinear(d, ssize, x0, frac, coefs, fcoefs);
  }
}

void BuildCubicCoefs(int32_t dsize, int32_t ssize, CubicCoef* coefs, CubicCoefF* fcoefs) {
  const double ratio = static_cast<double>(ssize) / dsize;
  for (int32_t d = 0; d < dsize; ++d) {
    const float fx = static_cast<float>((d + 0.5) * ratio - 0.5);
    const int32_t x0 = static_cast<int32_t>(std::floor(fx));
    // Distance from fx to the first of the taps x0 - 1 .. x0 + 2.
    const double t = static_cast<double>(fx) - (x0 - 1);
    double w[4];
    w[0] = CubicWeight(t);
    w[1] = CubicWeight(t - 1.0);
    w[2] = CubicWeight(2.0 - t);
    w[3] = 1.0 - (w[0] + w[1] + w[2]);
    int16_t iw[4];
    for (int k = 0; k < 3; ++k) iw[k] = SaturateCoef(w[k] * kCoefOne);
    iw[3] = SaturateCoef(kCoefOne - kCoefOne * (w[0] + w[1] + w[2]));

    // Taps outside the source fold onto the edge pixel: weights of clamped
    // taps add up at the clamped position relative to the stored index.
    const int32_t index = std::max(0, std::min(x0 - 1, ssize - 4));
    int32_t folded[4] = {0, 0, 0, 0};
    float ffolded[4] = {0.f, 0.f, 0.f, 0.f};
    for (int k = 0; k < 4; ++k) {
      const int32_t tap = std::max(0, std::min(x0 - 1 + k, ssize - 1));
      folded[tap - index] += iw[k];
      ffolded[tap - index] += static_cast<float>(w[k]);
    }
    if (coefs != nullptr) {
      coefs[d].index = index;
      for (int k = 0; k < 4; ++k) coefs[d].w[k] = static_cast<int16_t>(folded[k]);
    }
    if (fcoefs != nullptr) {
      fcoefs[d].index = index;
      for (int k = 0; k < 4; ++k) fcoefs[d].w[k] = ffolded[k];
    }
  }
}

void BuildNearestMap(int32_t dsize, int32_t ssize, int32_t* map) {
  const double scale = static_cast<double>(ssize) / dsize;
  for (int32_t d = 0; d < dsize; ++d) {
    map[d] = std::min(static_cast<int32_t>(std::floor(d * scale)), ssize - 1);
  }
}

namespace {

// Walks the entries of one destination index; emit(si, alpha) per entry.
// Returns the cell size.
template <class Emit>
double AreaCell(int32_t d, int32_t ssize, float scale, Emit&& emit) {
  const double s = scale;
  const double f1 = d * s;
  const double f2 = f1 + s;
  const int32_t i2 = std::min(static_cast<int32_t>(std::floor(f2)), ssize - 1);
  const int32_t i1 = std::min(static_cast<int32_t>(std::ceil(f1)), i2);
  const double cell = std::min(s, ssize - f1);
  int32_t count = 0;
  if (i1 - f1 > 1e-3) {
    emit(i1 - 1, static_cast<float>(i1 - f1));
    ++count;
  }
  for (int32_t i = i1; i < i2; ++i) {
    emit(i, 1.f);
    ++count;
  }
  if (f2 - i2 > 1e-3) {
    emit(i2, static_cast<float>(std::min(std::min(f2 - i2, 1.0), cell)));
    ++count;
  }
  if (count == 0) emit(i2, static_cast<float>(cell));  // never a cell without a pixel
  return cell;
}

}  // namespace

int32_t CountAreaEntries(int32_t dsize, int32_t ssize, float scale) {
  int32_t total = 0;
  for (int32_t d = 0; d < dsize; ++d) AreaCell(d, ssize, scale, [&](int32_t, float) { ++total; });
  return total;
}

void BuildAreaTab(int32_t dsize, int32_t ssize, float scale, AreaDecimateAlpha* entries, AreaSpan* spans) {
  int32_t n = 0;
  for (int32_t d = 0; d < dsize; ++d) {
    const int32_t first = n;
    const double cell = AreaCell(d, ssize, scale, [&](int32_t si, float alpha) { entries[n++] = {d, si, alpha}; });
    spans[d] = {first, n - first, static_cast<float>(cell)};
  }
}

PoolBlock::~PoolBlock() { Free(); }

bool PoolBlock::Allocate(Context* ctx, size_t bytes, const char* file, const char* function, int line) {
  Free();
  if (ctx == nullptr || bytes == 0) return false;
  m_pool = ctx->GetMemPool();
  if (m_pool == nullptr) return false;
  m_data = m_pool->Alloc(KILN_MEM_HEAP, bytes, 0, file, function, line);
  return m_data != nullptr;
}

void PoolBlock::Free() {
  if (m_data != nullptr && m_pool != nullptr) m_pool->Free(m_data);
  m_data = nullptr;
  m_pool.reset();
}

ScratchSlots::~ScratchSlots() = default;

bool ScratchSlots::Allocate(Context* ctx, int32_t slots, size_t bytes) {
  m_slots = 0;
  m_stride = (std::max<size_t>(bytes, 1) + 63) / 64 * 64;
  m_busy.reset(new (std::nothrow) std::atomic<bool>[static_cast<size_t>(slots)]);
  if (m_busy == nullptr) return false;
  if (!m_block.Allocate(ctx, m_stride * slots + 64, __FILE__, __FUNCTION__, __LINE__)) return false;
  for (int32_t i = 0; i < slots; ++i) m_busy[i].store(false);
  m_slots = slots;
  return true;
}

void* ScratchSlots::Acquire() {
  uint8_t* base = m_block.As<uint8_t>();
  for (int32_t i = 0; i < m_slots; ++i) {
    bool expected = false;
    if (m_busy[i].compare_exchange_strong(expected, true)) return base + m_stride * i;
  }
  return nullptr;
}

void ScratchSlots::Release(void* slot) {
  if (slot == nullptr) return;
  const size_t i = static_cast<size_t>(static_cast<uint8_t*>(slot) - m_block.As<uint8_t>()) / m_stride;
  if (i < static_cast<size_t>(m_slots)) m_busy[i].store(false);
}

int32_t ConcurrentBlocks(WorkerPool* pool) { return pool == nullptr ? 1 : pool->ComputeThreadCount() + 1; }

int32_t RowsPerBlock(WorkerPool* pool, int32_t rows) {
  const int32_t blocks = pool == nullptr ? 1 : 4 * ConcurrentBlocks(pool);
  const int32_t per = (rows + blocks - 1) / blocks;
  const int32_t min_rows = 8;
  return std::max(std::min(rows, min_rows), per);
}

}  // namespace resize
}  // namespace kiln
