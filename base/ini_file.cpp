#include "base/ini_file.h"

#include <windows.h>

#include <string_view>

#include "base/ansi_text.h"

namespace mailstow {
namespace {

// Language files and the small files of mail clients read whole are a few kilobytes;
// anything beyond this is not one.
constexpr DWORD kMaxFileSize = 16 * 1024 * 1024;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (ok()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

std::wstring DecodeUtf16(std::string_view bytes, bool big_endian) {
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text.push_back(
        static_cast<wchar_t>(big_endian ? (first << 8 | second) : (second << 8 | first)));
  }
  return text;
}

}  // namespace

std::wstring DecodeFileText(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
  if (bytes.starts_with("\xEF\xBB\xBF")) return DecodeUtf8(bytes.substr(3));
  return FromAnsi(bytes);
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxFileSize) return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::wstring> ReadSystemTextFile(const std::wstring& path) {
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  return DecodeFileText(*bytes);
}

std::optional<IniText> LoadIniFile(const std::wstring& path) {
  const std::optional<std::wstring> text = ReadSystemTextFile(path);
  if (!text) return std::nullopt;
  return IniText::Parse(*text);
}

bool CreateNewFile(const std::wstring& path, std::string_view bytes) {
  bool complete = false;
  {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.ok()) return false;
    DWORD written = 0;
    complete = bytes.empty() || (WriteFile(file.get(), bytes.data(),
                                           static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                 written == bytes.size());
  }
  // Leave no half-written file behind: it would be taken for a complete one.
  if (!complete) DeleteFileW(path.c_str());
  return complete;
}

bool CreateAnsiTextFile(const std::wstring& path, const std::wstring& text) {
  return CreateNewFile(path, ToAnsi(text));
}

bool CreateUtf8TextFile(const std::wstring& path, const std::wstring& text) {
  return CreateNewFile(path, "\xEF\xBB\xBF" + EncodeUtf8(text));
}

}  // namespace mailstow
