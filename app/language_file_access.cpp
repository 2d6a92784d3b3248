#include "app/language_file_access.h"

#include <windows.h>

#include <algorithm>

#include "base/ini_file.h"

namespace mailstow {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool HasByteOrderMark(std::string_view bytes) {
  return bytes.starts_with(kUtf8Mark) || bytes.starts_with("\xFF\xFE") ||
         bytes.starts_with("\xFE\xFF");
}

// Valid UTF-8 with at least one character beyond ASCII. Text in an ANSI code page with
// letters beyond ASCII is practically never valid UTF-8, so this tells the two apart.
bool IsUtf8BeyondAscii(std::string_view bytes) {
  if (std::none_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; })) {
    return false;
  }
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                             static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

}  // namespace

std::wstring DecodeLanguageFileText(std::string_view bytes) {
  if (!HasByteOrderMark(bytes) && IsUtf8BeyondAscii(bytes)) {
    return DecodeFileText(std::string(kUtf8Mark) + std::string(bytes));
  }
  return DecodeFileText(bytes);
}

std::optional<IniText> LoadLanguageFile(const std::wstring& path) {
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  return IniText::Parse(DecodeLanguageFileText(*bytes));
}

bool CreateLanguageFile(const std::wstring& path, const std::wstring& text) {
  return CreateNewFile(path, std::string(kUtf8Mark) + ToUtf8(text));
}

LanguageFile OpenLanguageFile(const std::wstring& file_name, UserPrompts& prompts) {
  LanguageFile file;
  if (file_name.empty()) {
    prompts.Show(PromptKind::kPlain, PromptButtons::kOk, kNoFileNameMessage);
    return file;
  }
  std::optional<IniText> text = LoadLanguageFile(file_name);
  if (!text) {
    prompts.Show(PromptKind::kPlain, PromptButtons::kOk, kUnreadableFileMessage);
    file.state = LanguageFileState::kUnreadable;
    return file;
  }
  file.state = LanguageFileState::kRead;
  file.text = std::move(*text);
  return file;
}

}  // namespace mailstow
