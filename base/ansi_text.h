// Conversion between the program's wide texts and the system ANSI code page that the
// archiver library and the text files of the mail clients use.
#pragma once

#include <string>
#include <string_view>

namespace mailstow {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);
// True when the text survives the trip to the ANSI code page and back unchanged.
bool RepresentableInAnsi(std::wstring_view text);

}  // namespace mailstow
