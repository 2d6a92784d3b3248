#include "sqx/name_list.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace sqx {
namespace {

constexpr size_t kBlockBytes = 256 * 1024;

}  // namespace

NameList::NameList(const std::vector<std::string>& names) {
  for (const std::string& name : names) Add(name);
}

NameList::NameList(std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) Add(name);
}

std::string_view NameList::Add(std::string_view name) {
  const uint32_t size = static_cast<uint32_t>(name.size());
  const size_t needed = sizeof(size) + name.size();
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < needed) {
    Block& block = blocks_.emplace_back();
    block.capacity = std::max(kBlockBytes, needed);
    block.text.reset(new char[block.capacity]);
  }
  Block& block = blocks_.back();
  char* at = block.text.get() + block.used;
  std::memcpy(at, &size, sizeof(size));
  std::memcpy(at + sizeof(size), name.data(), name.size());
  block.used += needed;
  ++count_;
  return std::string_view(at + sizeof(size), name.size());
}

bool NameList::Cursor::Next(std::string_view* name) {
  while (block_ < list_.blocks_.size() && offset_ >= list_.blocks_[block_].used) {
    ++block_;
    offset_ = 0;
  }
  if (block_ >= list_.blocks_.size()) return false;
  const char* at = list_.blocks_[block_].text.get() + offset_;
  uint32_t size = 0;
  std::memcpy(&size, at, sizeof(size));
  *name = std::string_view(at + sizeof(size), size);
  offset_ += sizeof(size) + size;
  return true;
}

}  // namespace sqx
