#include "sqx/name_list.h"

#include <algorithm>
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

void NameList::Add(std::string_view name) {
  // A name ends at its first NUL, as the C strings it comes from do.
  name = name.substr(0, std::min(name.size(), name.find('\0')));
  const size_t needed = name.size() + 1;
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < needed) {
    Block& block = blocks_.emplace_back();
    block.capacity = std::max(kBlockBytes, needed);
    block.text.reset(new char[block.capacity]);
  }
  Block& block = blocks_.back();
  std::memcpy(block.text.get() + block.used, name.data(), name.size());
  block.text[block.used + name.size()] = '\0';
  block.used += needed;
  ++count_;
}

bool NameList::Cursor::Next(std::string_view* name) {
  while (block_ < list_.blocks_.size() && offset_ >= list_.blocks_[block_].used) {
    ++block_;
    offset_ = 0;
  }
  if (block_ >= list_.blocks_.size()) return false;
  const char* text = list_.blocks_[block_].text.get() + offset_;
  *name = std::string_view(text, std::strlen(text));
  offset_ += name->size() + 1;
  return true;
}

}  // namespace sqx
