// The English language built into the program. It is written out as "English.lng" when
// the program folder has no such file, so that there is always at least one language.
#pragma once

#include <string>

namespace mailstow {

// The whole file text: sections in order, one empty line between sections, every line
// ended by CR LF. Message values are enclosed in double quotes, captions are not; leading
// and trailing blanks of captions are part of the text.
std::wstring BuiltInEnglishText();

}  // namespace mailstow
