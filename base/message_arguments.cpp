#include "base/message_arguments.h"

#include <vector>

namespace mailstow {

std::wstring WithArguments(std::wstring text, std::initializer_list<std::wstring> values) {
  const std::vector<std::wstring> arguments(values);
  std::wstring filled;
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] == L'%' && at + 1 < text.size() && text[at + 1] >= L'1' && text[at + 1] <= L'9') {
      const size_t index = static_cast<size_t>(text[at + 1] - L'1');
      if (index < arguments.size()) {
        filled += arguments[index];
        ++at;
        continue;
      }
    }
    filled += text[at];
  }
  return filled;
}

}  // namespace mailstow
