#include "tools/world_random.h"

namespace mailstow {
namespace {

uint64_t HashName(uint64_t seed, std::string_view name) {
  uint64_t hash = 0xcbf29ce484222325ULL ^ seed;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

}  // namespace

WorldRandom::WorldRandom(uint64_t seed, std::string_view stream)
    : seed_(seed), stream_(stream), state_(HashName(seed, stream)) {}

uint64_t WorldRandom::Next() {
  uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

uint64_t WorldRandom::Below(uint64_t bound) {
  // Rejection keeps the result uniform for every bound.
  const uint64_t limit = ~uint64_t{0} - (~uint64_t{0} % bound);
  uint64_t value;
  do {
    value = Next();
  } while (value >= limit);
  return value % bound;
}

int WorldRandom::Between(int low, int high) {
  return low + static_cast<int>(Below(static_cast<uint64_t>(high - low) + 1));
}

bool WorldRandom::Percent(int chance) { return static_cast<int>(Below(100)) < chance; }

std::wstring WorldRandom::Guid() {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring guid = L"{";
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) guid += L'-';
    guid += kDigits[Below(16)];
  }
  return guid + L"}";
}

WorldRandom WorldRandom::Fork(std::string_view stream) const {
  return WorldRandom(seed_, stream_ + "/" + std::string(stream));
}

}  // namespace mailstow
