// Case-insensitive comparison of names as the language files use them: section and key
// names, and language names such as "Español" or "Româna". Folds ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic letters, independently of the C library's locale.
#pragma once

#include <string_view>

namespace mailstow {

// The lower-case form of one character (unchanged when it has none in the ranges above).
wchar_t FoldCase(wchar_t c);

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b);

}  // namespace mailstow
