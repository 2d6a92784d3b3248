// Interface texts in the ANSI code page, converted through UTF-16.
#include <windows.h>

#include "sqx/host_text.h"

namespace sqx {
namespace {

std::wstring ToWide(const std::string& text, UINT code_page) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string FromWide(const std::wstring& wide, UINT code_page) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

}  // namespace

std::string HostToUtf8(const std::string& host) { return FromWide(ToWide(host, CP_ACP), CP_UTF8); }
std::string Utf8ToHost(const std::string& utf8) { return FromWide(ToWide(utf8, CP_UTF8), CP_ACP); }
std::wstring Utf8ToWide(const std::string& utf8) { return ToWide(utf8, CP_UTF8); }

}  // namespace sqx
