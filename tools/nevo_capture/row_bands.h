// Splits image rows over a few short-lived threads.
#ifndef TOOLS_NEVO_CAPTURE_ROW_BANDS_H_
#define TOOLS_NEVO_CAPTURE_ROW_BANDS_H_

#include <algorithm>
#include <thread>
#include <vector>

namespace nevo_capture {

// Runs fn(begin, end) over bands of [0, rows) on up to 8 threads and waits
// for all of them; images under 128 rows stay on the calling thread. Bands
// must write disjoint data.
template <typename Fn>
void ForEachRowBand(int rows, Fn fn) {
  const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
  const int threads = std::min<int>(static_cast<int>(std::min(hw, 8u)), std::max(1, rows / 64));
  if (threads <= 1) {
    fn(0, rows);
    return;
  }
  std::vector<std::thread> pool;
  const int band = (rows + threads - 1) / threads;
  for (int t = 0; t < threads; ++t) {
    const int begin = t * band;
    const int end = std::min(rows, begin + band);
    if (begin < end) pool.emplace_back(fn, begin, end);
  }
  for (std::thread& th : pool) th.join();
}

}  // namespace nevo_capture

#endif  // TOOLS_NEVO_CAPTURE_ROW_BANDS_H_
