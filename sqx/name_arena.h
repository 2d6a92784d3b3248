// Names kept back to back in large blocks, so that an index of many thousands of members
// costs little more than their names: no string object and no allocation per name. A kept
// name stays where it is as long as the arena.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace sqx {

class NameArena {
 public:
  std::string_view Keep(std::string_view name);

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t used_ = 0;
  size_t capacity_ = 0;
};

}  // namespace sqx
