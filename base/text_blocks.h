// Texts kept back to back in large blocks, each ended by a NUL, so that a list of many
// thousands of paths costs little more than their characters: no string object and no
// allocation per text. A view of a kept text stays valid until Clear.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace mailstow {

class TextBlocks {
 public:
  // A copy of the text; its data() is NUL-terminated.
  std::wstring_view Keep(std::wstring_view text);
  void Clear();

 private:
  std::vector<std::unique_ptr<wchar_t[]>> blocks_;
  size_t used_ = 0;      // characters used in the last block
  size_t capacity_ = 0;  // characters of the last block
};

// A list of texts kept in blocks, read as views.
class TextList {
 public:
  void Add(std::wstring_view text) { views_.push_back(blocks_.Keep(text)); }
  void Clear() {
    views_.clear();
    views_.shrink_to_fit();
    blocks_.Clear();
  }
  size_t size() const { return views_.size(); }
  bool empty() const { return views_.empty(); }
  std::wstring_view operator[](size_t i) const { return views_[i]; }
  std::vector<std::wstring_view>::const_iterator begin() const { return views_.begin(); }
  std::vector<std::wstring_view>::const_iterator end() const { return views_.end(); }

 private:
  TextBlocks blocks_;
  std::vector<std::wstring_view> views_;
};

}  // namespace mailstow
