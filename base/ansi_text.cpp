#include "ansi_text.h"

#include <windows.h>

namespace mailstow {

namespace {

std::string Narrow(std::wstring_view text, UINT code_page) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::wstring Widen(std::string_view text, UINT code_page) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), result.data(),
                      size);
  return result;
}

}  // namespace

std::string ToAnsi(std::wstring_view text) { return Narrow(text, CP_ACP); }
std::wstring FromAnsi(std::string_view text) { return Widen(text, CP_ACP); }
std::string EncodeUtf8(std::wstring_view text) { return Narrow(text, CP_UTF8); }
std::wstring DecodeUtf8(std::string_view text) { return Widen(text, CP_UTF8); }

bool RepresentableInAnsi(std::wstring_view text) { return FromAnsi(ToAnsi(text)) == text; }

}  // namespace mailstow
