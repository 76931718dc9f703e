// Counter-based random numbers for the synthetic burst: every sample is a
// pure function of (seed, stream, index), so a burst is identical whatever
// the number of threads that render it and on every target.
#ifndef TOOLS_NEVO_CAPTURE_COUNTER_RNG_H_
#define TOOLS_NEVO_CAPTURE_COUNTER_RNG_H_

#include <cmath>
#include <cstdint>
#include <utility>

namespace nevo_capture {

// SplitMix64 finaliser: a bijective 64-bit mix with full avalanche.
inline uint64_t Mix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// 64 random bits for one counter value of one stream.
inline uint64_t CounterBits(uint64_t seed, uint64_t stream, uint64_t counter) {
  return Mix64(Mix64(seed ^ Mix64(stream)) + counter);
}

// Two independent standard normals from 64 random bits (Box-Muller). The
// first uniform is kept inside (0, 1] so the logarithm stays finite.
inline std::pair<double, double> NormalPair(uint64_t bits) {
  constexpr double kInv32 = 1.0 / 4294967296.0;  // 2^-32
  constexpr double kTwoPi = 6.283185307179586;
  const double u1 = (static_cast<double>(bits >> 32) + 1.0) * kInv32;
  const double u2 = static_cast<double>(bits & 0xFFFFFFFFull) * kInv32;
  const double radius = std::sqrt(-2.0 * std::log(u1));
  return {radius * std::cos(kTwoPi * u2), radius * std::sin(kTwoPi * u2)};
}

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_COUNTER_RNG_H_
