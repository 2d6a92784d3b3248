// A list of names, such as the paths of a pack's sources, kept small: each name is stored as
// the length it shares with the name before it and the rest, back to back in large blocks.
// Paths listed folder by folder share most of their text, so a list of 100 000 paths takes a
// few megabytes. Names are read in order.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sqx {

class NameList {
 public:
  NameList() = default;
  // For callers that hold their names in a vector.
  NameList(const std::vector<std::string>& names);  // NOLINT(google-explicit-constructor)
  NameList(std::initializer_list<std::string_view> names);
  NameList(NameList&&) = default;
  NameList& operator=(NameList&&) = default;

  // Adds a copy of the name, which may hold any bytes.
  void Add(std::string_view name);
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

  // Reads the names in the order they were added.
  class Cursor {
   public:
    explicit Cursor(const NameList& list) : list_(list) {}
    // The next name, valid until the next call; false after the last one.
    bool Next(std::string_view* name);

   private:
    const NameList& list_;
    size_t block_ = 0;
    size_t offset_ = 0;
    std::string name_;
  };

  template <typename Visit>
  void ForEach(Visit visit) const {
    Cursor cursor(*this);
    std::string_view name;
    while (cursor.Next(&name)) visit(name);
  }

 private:
  struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    size_t used = 0;
    size_t capacity = 0;
  };
  std::vector<Block> blocks_;
  std::string last_;  // the name added last
  size_t count_ = 0;
};

}  // namespace sqx
