// A list of names read in order, such as the member names of an archive, kept small: each
// name is stored as the length it shares with the name before it and the rest, back to back
// in large blocks. Names listed folder by folder share most of their text, so the names of
// 100 000 members take a few megabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mailstow {

class NameSequence {
 public:
  void Add(std::wstring_view name);
  void Clear();
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

  // Goes through the names in order; each is rebuilt in the iterator, valid until it moves.
  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::wstring;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::wstring*;
    using reference = const std::wstring&;

    const_iterator() = default;
    const_iterator(const NameSequence* names, size_t index);
    reference operator*() const { return name_; }
    pointer operator->() const { return &name_; }
    const_iterator& operator++();
    void operator++(int) { ++*this; }
    bool operator==(const const_iterator& other) const { return index_ == other.index_; }

   private:
    void Read();

    const NameSequence* names_ = nullptr;
    size_t index_ = 0;
    size_t block_ = 0;
    size_t offset_ = 0;
    std::wstring name_;
  };

  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, count_); }

 private:
  struct Block {
    std::unique_ptr<wchar_t[]> text;
    size_t used = 0;
    size_t capacity = 0;
  };
  std::vector<Block> blocks_;
  std::wstring last_;
  size_t count_ = 0;
};

}  // namespace mailstow
