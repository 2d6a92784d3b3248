// Runs fn(0) ... fn(count - 1) on the machine's cores; returns when all have run.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace sqx {

template <typename Fn>
void ParallelFor(size_t count, Fn fn) {
  const size_t threads =
      std::min<size_t>(count, std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < count; i = next++) fn(i);
  };
  std::vector<std::thread> helpers;
  for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace sqx
