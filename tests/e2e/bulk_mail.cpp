#include "tests/e2e/bulk_mail.h"

// psapi.h needs windows.h first.
#include <psapi.h>

#include <cstring>

#include "tools/sha256.h"

namespace mailstow::e2e {

namespace {

constexpr size_t kPiece = 8u << 20;

}  // namespace

void MailGenerator::Text(std::string* out, size_t size) {
  static const char* const kWords[] = {
      "Hello",    "meeting", "tomorrow", "the",  "quarterly", "report",   "please", "find",
      "attached", "invoice", "Regards,", "and",  "project",   "schedule", "review", "customer",
      "order",    "thanks",  "we",       "will", "ship",      "on",       "Monday", "update"};
  while (out->size() < size) {
    *out += "From: user" + std::to_string(Next() % 500) + "@example.com\r\nSubject: Re: ";
    *out += kWords[Next() % 24];
    *out += " #" + std::to_string(++message_) + "\r\n\r\n";
    const int words = 40 + static_cast<int>(Next() % 200);
    for (int w = 0; w < words; ++w) {
      *out += kWords[Next() % 24];
      *out += (w % 12 == 11) ? "\r\n" : " ";
    }
    *out += "\r\n.\r\n";
  }
  out->resize(size);
}

void MailGenerator::Noise(std::string* out, size_t size) {
  out->resize(size);
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t value = Next();
    std::memcpy(out->data() + i, &value, 8);
  }
}

uint64_t MailGenerator::Next() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 7;
  state_ ^= state_ << 17;
  return state_;
}

std::optional<std::string> WriteMailbox(const std::wstring& path, unsigned long long bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  MailGenerator generator;
  Sha256 hash;
  std::string piece;
  bool ok = true;
  for (unsigned long long left = bytes; ok && left > 0;) {
    const size_t size = static_cast<size_t>(std::min<unsigned long long>(left, kPiece));
    piece.clear();
    generator.Text(&piece, size);
    hash.Update(piece.data(), piece.size());
    DWORD written = 0;
    ok = WriteFile(file, piece.data(), static_cast<DWORD>(size), &written, nullptr) &&
         written == size;
    left -= size;
  }
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return hash.FinishHex();
}

std::optional<std::string> FileSha256(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  Sha256 hash;
  std::string piece(kPiece, '\0');
  DWORD read = 0;
  bool ok = true;
  while (
      (ok = ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &read, nullptr) != 0) &&
      read > 0) {
    hash.Update(piece.data(), read);
  }
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return hash.FinishHex();
}

unsigned long long PeakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  if (!GetProcessMemoryInfo(process, &memory, sizeof(memory))) return 0;
  return memory.PeakWorkingSetSize;
}

}  // namespace mailstow::e2e
