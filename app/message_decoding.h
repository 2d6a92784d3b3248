// Multi-line message values of a language file. Every line of such a value ends with a
// double quote followed by seven more characters that are skipped; the usual separator is
// the eight characters  "#13#10"  (a quote, #13#10, a quote). Each line is returned ended
// by CR LF. A value without any double quote is returned unchanged.
#pragma once

#include <string>

namespace mailstow {

// Decodes a value as read from the file (enclosing quotes already removed). Text after the
// last separator is kept as a final line without CR LF rather than dropped.
std::wstring DecodeMessageValue(const std::wstring& value);

}  // namespace mailstow
