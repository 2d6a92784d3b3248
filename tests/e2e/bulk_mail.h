// Bulk mail-like data for the scale benchmark and the large round trip: deterministic text and
// noise, a large mailbox written and hashed in pieces (never held whole), and a process's peak
// memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mailstow::e2e {

// Deterministic mail-like text (headers and words of messages) and incompressible noise; every
// generator starts from the same state, so that the same calls give the same data.
class MailGenerator {
 public:
  // Appends text to `out` until it holds `size` bytes.
  void Text(std::string* out, size_t size);
  // Replaces `out` by `size` bytes of noise.
  void Noise(std::string* out, size_t size);

 private:
  uint64_t Next();
  uint64_t state_ = 0x9E3779B97F4A7C15ull;
  uint64_t message_ = 0;
};

// Writes a mailbox file of `bytes` bytes of generated text in pieces; returns the SHA-256 of
// what was written, nothing when writing failed.
std::optional<std::string> WriteMailbox(const std::wstring& path, unsigned long long bytes);

// The SHA-256 of a file, read in pieces; nothing when it cannot be read.
std::optional<std::string> FileSha256(const std::wstring& path);

// The peak working set of a process in bytes (of an ended process too, while its handle is
// open); 0 when it cannot be read.
unsigned long long PeakWorkingSet(HANDLE process);

}  // namespace mailstow::e2e
