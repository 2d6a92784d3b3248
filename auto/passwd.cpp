#include "auto/passwd.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace mailstow {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kKeyStep = 12;
constexpr int kFillerCycle = 30;  // the first password byte modulo this sets the base filler
constexpr int kExtraFiller = 4;   // plus a random 0..3

// Seeded once per process: seeding from the clock on each call would give two saves within
// the same clock tick the same text.
std::mt19937& Generator() {
  thread_local std::mt19937 generator = [] {
    std::random_device device;
    const auto clock = static_cast<std::uint32_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    std::seed_seq seed{device(), device(), clock};
    return std::mt19937(seed);
  }();
  return generator;
}

// A random value 0 .. bound - 1.
int RandomBelow(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(Generator()); }

std::uint8_t RandomByte() { return static_cast<std::uint8_t>(RandomBelow(255)); }

std::string ToHex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

std::optional<int> HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return std::nullopt;
}

std::optional<Bytes> FromHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  Bytes bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const std::optional<int> high = HexDigitValue(text[i]);
    const std::optional<int> low = HexDigitValue(text[i + 1]);
    if (!high || !low) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*high * 16 + *low));
  }
  return bytes;
}

UnscrambledPassword Malformed() { return {std::string(), true}; }

}  // namespace

std::string ScramblePassword(std::string_view password) {
  if (password.empty()) return std::string();
  const std::size_t length = password.size();
  const int filler =
      RandomBelow(kExtraFiller) + static_cast<std::uint8_t>(password.front()) % kFillerCycle;
  Bytes buffer(length + filler + 4);

  std::uint8_t key = RandomByte();
  buffer[length + 1] = key;
  for (std::size_t i = 1; i <= length; ++i) {
    buffer[i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(password[i - 1]) + key);
    key = static_cast<std::uint8_t>(key + kKeyStep);
  }
  for (int i = 0; i < filler; ++i) buffer[length + 2 + i] = RandomByte();
  buffer[length + 2 + filler] = static_cast<std::uint8_t>(filler);
  buffer[0] = static_cast<std::uint8_t>(length + 2 + filler);

  const std::uint8_t mask = RandomByte();
  for (std::size_t i = 0; i + 1 < buffer.size(); ++i) {
    buffer[i] = static_cast<std::uint8_t>(buffer[i] + mask);
  }
  buffer.back() = mask;
  return ToHex(buffer);
}

UnscrambledPassword UnscramblePassword(std::string_view text) {
  if (text.empty()) return {};
  std::optional<Bytes> decoded = FromHex(text);
  // The shortest layout holds the count byte, the key, the filler count and the mask.
  if (!decoded || decoded->size() < 4) return Malformed();
  Bytes& buffer = *decoded;

  const std::uint8_t mask = buffer.back();
  for (std::size_t i = 0; i + 1 < buffer.size(); ++i) {
    buffer[i] = static_cast<std::uint8_t>(buffer[i] - mask);
  }
  const std::size_t filler = buffer[buffer.size() - 2];
  if (filler + 4 > buffer.size()) return Malformed();
  const std::size_t length = buffer.size() - 4 - filler;
  // The count byte holds length + 2 + filler modulo 256; it must agree with the text's size.
  if (static_cast<std::uint8_t>(buffer[0] - filler - 2) != static_cast<std::uint8_t>(length)) {
    return Malformed();
  }

  UnscrambledPassword result;
  result.password.resize(length);
  std::uint8_t key = buffer[length + 1];
  for (std::size_t i = 1; i <= length; ++i) {
    result.password[i - 1] = static_cast<char>(static_cast<std::uint8_t>(buffer[i] - key));
    key = static_cast<std::uint8_t>(key + kKeyStep);
  }
  return result;
}

}  // namespace mailstow
