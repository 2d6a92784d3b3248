#include "sqx/aes_cipher.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <utility>

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

constexpr size_t kSha1Size = 20;
constexpr size_t kSha1Block = 64;

// SHA-1 of the parts joined, in one call of the library's allocation-free path.
void Sha1(std::initializer_list<std::pair<const void*, size_t>> parts, unsigned char* digest) {
  gcry_buffer_t buffers[4] = {};
  int count = 0;
  for (const auto& [data, size] : parts) {
    buffers[count].size = size;
    buffers[count].len = size;
    buffers[count].data = const_cast<void*>(data);
    ++count;
  }
  gcry_md_hash_buffers(GCRY_MD_SHA1, 0, digest, buffers, count);
}

// PBKDF2 with HMAC-SHA1 (RFC 2898), the HMAC built from plain SHA-1 over the padded keys. The
// library's own key derivation allocates on every iteration, which makes derivations on
// several threads queue on the heap lock; this one runs on each core at full speed.
void Pbkdf2HmacSha1(const std::string& password, const unsigned char* salt, size_t salt_size,
                    size_t size, unsigned char* out) {
  unsigned char key[kSha1Block] = {};
  if (password.size() > kSha1Block) {
    Sha1({{password.data(), password.size()}}, key);
  } else {
    std::memcpy(key, password.data(), password.size());
  }
  unsigned char inner_pad[kSha1Block], outer_pad[kSha1Block];
  for (size_t i = 0; i < kSha1Block; ++i) {
    inner_pad[i] = key[i] ^ 0x36;
    outer_pad[i] = key[i] ^ 0x5c;
  }
  for (uint32_t block = 1; size > 0; ++block) {
    const unsigned char index[4] = {
        static_cast<unsigned char>(block >> 24), static_cast<unsigned char>(block >> 16),
        static_cast<unsigned char>(block >> 8), static_cast<unsigned char>(block)};
    unsigned char inner[kSha1Size], u[kSha1Size], t[kSha1Size];
    Sha1({{inner_pad, kSha1Block}, {salt, salt_size}, {index, sizeof(index)}}, inner);
    Sha1({{outer_pad, kSha1Block}, {inner, kSha1Size}}, u);
    std::memcpy(t, u, kSha1Size);
    for (unsigned long i = 1; i < kKeyIterations; ++i) {
      Sha1({{inner_pad, kSha1Block}, {u, kSha1Size}}, inner);
      Sha1({{outer_pad, kSha1Block}, {inner, kSha1Size}}, u);
      for (size_t j = 0; j < kSha1Size; ++j) t[j] ^= u[j];
    }
    const size_t n = std::min(size, kSha1Size);
    std::memcpy(out, t, n);
    out += n;
    size -= n;
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
  Pbkdf2HmacSha1(password, salt, salt_size, 4 * salt_size + AesCipher::kVerifierSize, keys->bytes);
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

}  // namespace sqx
