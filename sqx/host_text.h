// Conversion between the texts of the calling interface (the system ANSI code page on
// Windows, UTF-8 elsewhere) and the UTF-8 the archiver core works with.
#pragma once

#include <string>

namespace sqx {

std::string HostToUtf8(const std::string& host);
std::string Utf8ToHost(const std::string& utf8);

// The encoding of the texts of one call: the host's (ANSI) or UTF-8 throughout.
struct InterfaceTexts {
  bool utf8 = false;
  std::string ToCore(const std::string& text) const { return utf8 ? text : HostToUtf8(text); }
  std::string FromCore(const std::string& text) const { return utf8 ? text : Utf8ToHost(text); }
};

#if defined(_WIN32)
std::wstring Utf8ToWide(const std::string& utf8);
#endif

}  // namespace sqx
