// SHA-256 digest, fed in pieces, for the content hashes of snapshots.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mailstow {

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  // Lower-case hexadecimal digest; the object must not be updated afterwards.
  std::string FinishHex();

  static std::string HexOf(std::string_view data);

 private:
  void Compress(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  size_t pending_size_ = 0;
  uint64_t total_bytes_ = 0;
};

}  // namespace mailstow
