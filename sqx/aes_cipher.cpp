#include "sqx/aes_cipher.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace sqx {
namespace {

constexpr unsigned long kKeyIterations = 1000;

void InitCrypto() {
  static std::once_flag once;
  std::call_once(once, [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  });
}

int CipherOf(int strength) {
  switch (strength) {
    case 1:
      return GCRY_CIPHER_AES128;
    case 2:
      return GCRY_CIPHER_AES192;
    default:
      return GCRY_CIPHER_AES256;
  }
}

}  // namespace

struct AesCipher::Handles {
  gcry_cipher_hd_t cipher = nullptr;
  gcry_md_hd_t mac = nullptr;
};

AesCipher::AesCipher() : handles_(new Handles) {}

AesCipher::~AesCipher() {
  if (handles_->cipher != nullptr) gcry_cipher_close(handles_->cipher);
  if (handles_->mac != nullptr) gcry_md_close(handles_->mac);
  delete handles_;
}

Status DeriveAesKeys(const std::string& password, int strength, const unsigned char* salt,
                     AesKeys* keys) {
  InitCrypto();
  const size_t salt_size = AesKeys::SaltBytes(strength);
  if (salt_size == 0) return kStatusUnsupported;
  keys->strength = strength;
  const size_t derived_size = 4 * salt_size + AesCipher::kVerifierSize;
  if (gcry_kdf_derive(password.data(), password.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA1, salt,
                      salt_size, kKeyIterations, derived_size, keys->bytes) != 0) {
    return kStatusIoError;
  }
  return kStatusOk;
}

Status AesCipher::Start(const AesKeys& keys) {
  const size_t key_size = 2 * AesKeys::SaltBytes(keys.strength);
  if (key_size == 0) return kStatusUnsupported;
  if (gcry_cipher_open(&handles_->cipher, CipherOf(keys.strength), GCRY_CIPHER_MODE_ECB, 0) != 0 ||
      gcry_cipher_setkey(handles_->cipher, keys.bytes, key_size) != 0 ||
      gcry_md_open(&handles_->mac, GCRY_MD_SHA1, GCRY_MD_FLAG_HMAC) != 0 ||
      gcry_md_setkey(handles_->mac, keys.bytes + key_size, key_size) != 0) {
    return kStatusIoError;
  }
  counter_ = 0;
  keystream_used_ = sizeof(keystream_);
  return kStatusOk;
}

// Counter blocks hold a little-endian block number starting at 1.
void AesCipher::Crypt(unsigned char* data, size_t size) {
  while (size > 0) {
    if (keystream_used_ == sizeof(keystream_)) {
      std::memset(keystream_, 0, sizeof(keystream_));
      for (size_t block = 0; block < sizeof(keystream_); block += 16) {
        ++counter_;
        for (int i = 0; i < 8; ++i) {
          keystream_[block + static_cast<size_t>(i)] =
              static_cast<unsigned char>(counter_ >> (8 * i));
        }
      }
      gcry_cipher_encrypt(handles_->cipher, keystream_, sizeof(keystream_), nullptr, 0);
      keystream_used_ = 0;
    }
    const size_t n = std::min(size, sizeof(keystream_) - keystream_used_);
    for (size_t i = 0; i < n; ++i) data[i] ^= keystream_[keystream_used_ + i];
    keystream_used_ += n;
    data += n;
    size -= n;
  }
}

void AesCipher::Encrypt(unsigned char* data, size_t size) {
  Crypt(data, size);
  gcry_md_write(handles_->mac, data, size);
}

void AesCipher::Decrypt(unsigned char* data, size_t size) {
  gcry_md_write(handles_->mac, data, size);
  Crypt(data, size);
}

void AesCipher::FinishMac(unsigned char mac[kMacSize]) {
  std::memcpy(mac, gcry_md_read(handles_->mac, GCRY_MD_SHA1), kMacSize);
}

Status RandomBytes(unsigned char* data, size_t size) {
  InitCrypto();
  gcry_randomize(data, size, GCRY_STRONG_RANDOM);
  return kStatusOk;
}

}  // namespace sqx
