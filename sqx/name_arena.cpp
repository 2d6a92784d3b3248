#include "sqx/name_arena.h"

#include <algorithm>
#include <cstring>

namespace sqx {
namespace {

constexpr size_t kBlockBytes = 256 * 1024;

}  // namespace

std::string_view NameArena::Keep(std::string_view name) {
  if (blocks_.empty() || capacity_ - used_ < name.size()) {
    capacity_ = std::max(kBlockBytes, name.size());
    blocks_.emplace_back(new char[capacity_]);
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  if (!name.empty()) std::memcpy(at, name.data(), name.size());
  used_ += name.size();
  return std::string_view(at, name.size());
}

}  // namespace sqx
