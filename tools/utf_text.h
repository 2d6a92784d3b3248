// Conversions between wide texts and byte encodings that behave the same in the Windows build
// (16-bit wchar_t) and the native build (32-bit wchar_t).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

std::string ToUtf8(std::wstring_view text);
// Malformed sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);

// Little-endian UTF-16 code units as bytes, without a terminator.
std::vector<uint8_t> ToUtf16Bytes(std::wstring_view text);
// Stops at the first zero code unit; an odd final byte is ignored.
std::wstring FromUtf16Bytes(const std::vector<uint8_t>& bytes);

// Upper case for comparisons in the manner of the Windows registry and file system, for the
// ASCII and Latin-1 letters.
std::wstring FoldCase(std::wstring_view text);

}  // namespace mailstow
