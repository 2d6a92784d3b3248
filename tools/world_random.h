// Deterministic pseudo-random numbers for synthetic worlds. A generator is named by a seed and a
// stream name, so that each part of a world draws from its own stream and adding a part leaves
// the others unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace mailstow {

class WorldRandom {
 public:
  WorldRandom(uint64_t seed, std::string_view stream);

  uint64_t Next();
  // Uniform in [0, bound); bound must be positive.
  uint64_t Below(uint64_t bound);
  // Uniform in [low, high].
  int Between(int low, int high);
  bool Percent(int chance);
  template <typename T>
  const T& Pick(std::span<const T> choices) {
    return choices[Below(choices.size())];
  }
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hexadecimal.
  std::wstring Guid();
  // An independent generator for a named sub-stream of the same seed.
  WorldRandom Fork(std::string_view stream) const;

 private:
  uint64_t seed_;
  std::string stream_;
  uint64_t state_;
};

}  // namespace mailstow
