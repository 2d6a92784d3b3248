// A list of names kept back to back in large blocks: four bytes per name beside its text,
// instead of a string object and an allocation each, so that a list of many thousands of
// paths stays small. Names are read in order.
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

  // Keeps a copy of the name (which may hold any bytes) and returns it; the copy stays where
  // it is as long as the list.
  std::string_view Add(std::string_view name);
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

  // Reads the names in the order they were added.
  class Cursor {
   public:
    explicit Cursor(const NameList& list) : list_(list) {}
    // The next name, valid as long as the list; false after the last one.
    bool Next(std::string_view* name);

   private:
    const NameList& list_;
    size_t block_ = 0;
    size_t offset_ = 0;
  };

  template <typename Visit>
  void ForEach(Visit visit) const {
    Cursor cursor(*this);
    std::string_view name;
    while (cursor.Next(&name)) visit(name);
  }

 private:
  struct Block {
    std::unique_ptr<char[]> text;  // names, each after its length
    size_t used = 0;
    size_t capacity = 0;
  };
  std::vector<Block> blocks_;
  size_t count_ = 0;
};

}  // namespace sqx
