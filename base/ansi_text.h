// Conversion between the program's wide texts and the system ANSI code page that the text
// files of the mail clients use, or UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace mailstow {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);
// UTF-8, the encoding of the archiver's texts and of the files Mailstow writes itself.
std::string EncodeUtf8(std::wstring_view text);
std::wstring DecodeUtf8(std::string_view text);
// True when the text survives the trip to the ANSI code page and back unchanged.
bool RepresentableInAnsi(std::wstring_view text);

}  // namespace mailstow
