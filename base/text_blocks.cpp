#include "base/text_blocks.h"

#include <algorithm>
#include <cstring>

namespace mailstow {
namespace {

constexpr size_t kBlockChars = 128 * 1024;

}  // namespace

std::wstring_view TextBlocks::Keep(std::wstring_view text) {
  const size_t needed = text.size() + 1;
  if (blocks_.empty() || capacity_ - used_ < needed) {
    capacity_ = std::max(kBlockChars, needed);
    blocks_.emplace_back(new wchar_t[capacity_]);
    used_ = 0;
  }
  wchar_t* at = blocks_.back().get() + used_;
  std::copy(text.begin(), text.end(), at);
  at[text.size()] = L'\0';
  used_ += needed;
  return std::wstring_view(at, text.size());
}

void TextBlocks::Clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  used_ = 0;
  capacity_ = 0;
}

}  // namespace mailstow
