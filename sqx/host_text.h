// Conversion between the texts of the calling interface (the system ANSI code page on
// Windows, UTF-8 elsewhere) and the UTF-8 the archiver core works with.
#pragma once

#include <string>

namespace sqx {

std::string HostToUtf8(const std::string& host);
std::string Utf8ToHost(const std::string& utf8);

#if defined(_WIN32)
std::wstring Utf8ToWide(const std::string& utf8);
#endif

}  // namespace sqx
