// Fills the placeholders of a language file's message: "%1" to "%9" stand for the values in
// order; a placeholder without a value stays as it is.
#pragma once

#include <initializer_list>
#include <string>

namespace mailstow {

std::wstring WithArguments(std::wstring text, std::initializer_list<std::wstring> values);

}  // namespace mailstow
