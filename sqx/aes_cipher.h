// Member encryption with AES in counter mode and an HMAC-SHA1 authentication code, keys
// derived from the password by PBKDF2-HMAC-SHA1 with a per-member salt (the AE-x scheme
// of ZIP archives).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sqx/sqx_api.h"

namespace sqx {

// Keys derived from a password and a salt, with the two-byte password verifier.
struct AesKeys {
  int strength = 0;
  unsigned char bytes[2 * 32 + 2] = {};
  const unsigned char* verifier() const { return bytes + 4 * SaltBytes(strength); }
  static size_t SaltBytes(int strength) {
    return strength >= 1 && strength <= 3 ? 4 + 4 * size_t(strength) : 0;
  }
};

// Derives the keys of a key strength (1: 128, 2: 192, 3: 256 bits) from the password. Safe to
// call on several threads at once: it neither allocates nor takes a lock.
Status DeriveAesKeys(const std::string& password, int strength, const unsigned char* salt,
                     AesKeys* keys);

class AesCipher {
 public:
  static constexpr int kStrength256 = 3;
  static constexpr size_t kVerifierSize = 2;
  static constexpr size_t kMacSize = 10;

  AesCipher();
  ~AesCipher();
  AesCipher(const AesCipher&) = delete;
  AesCipher& operator=(const AesCipher&) = delete;

  Status Start(const AesKeys& keys);
  void Encrypt(unsigned char* data, size_t size);
  void Decrypt(unsigned char* data, size_t size);
  void FinishMac(unsigned char mac[kMacSize]);

 private:
  void Crypt(unsigned char* data, size_t size);

  struct Handles;
  Handles* handles_;
  uint64_t counter_ = 0;
  unsigned char keystream_[4096];
  size_t keystream_used_ = sizeof(keystream_);
};

}  // namespace sqx
