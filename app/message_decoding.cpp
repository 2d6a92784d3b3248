#include "app/message_decoding.h"

namespace mailstow {
namespace {

// The double quote that ends a line and the seven characters after it.
constexpr size_t kLineEndLength = 8;

}  // namespace

std::wstring DecodeMessageValue(const std::wstring& value) {
  if (value.find(L'"') == std::wstring::npos) return value;
  std::wstring result;
  size_t start = 0;
  while (start < value.size()) {
    const size_t quote = value.find(L'"', start);
    if (quote == std::wstring::npos) {
      result.append(value, start);
      break;
    }
    result.append(value, start, quote - start);
    result.append(L"\r\n");
    start = quote + kLineEndLength;
  }
  return result;
}

}  // namespace mailstow
