#include "sqx/name_list.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace sqx {
namespace {

constexpr size_t kBlockBytes = 256 * 1024;
constexpr size_t kMostLengthBytes = 10;

size_t PutLength(unsigned char* out, uint64_t value) {
  size_t n = 0;
  while (value >= 0x80) {
    out[n++] = static_cast<unsigned char>(value | 0x80);
    value >>= 7;
  }
  out[n++] = static_cast<unsigned char>(value);
  return n;
}

uint64_t GetLength(const unsigned char* in, size_t* offset) {
  uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char byte = in[(*offset)++];
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return value;
  }
}

}  // namespace

NameList::NameList(const std::vector<std::string>& names) {
  for (const std::string& name : names) Add(name);
}

NameList::NameList(std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) Add(name);
}

void NameList::Add(std::string_view name) {
  const size_t limit = std::min(name.size(), last_.size());
  size_t shared = 0;
  while (shared < limit && name[shared] == last_[shared]) ++shared;
  const std::string_view rest = name.substr(shared);
  // A name's record never spans two blocks.
  const size_t needed = 2 * kMostLengthBytes + rest.size();
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < needed) {
    Block& block = blocks_.emplace_back();
    block.capacity = std::max(kBlockBytes, needed);
    block.bytes.reset(new unsigned char[block.capacity]);
  }
  Block& block = blocks_.back();
  unsigned char* at = block.bytes.get() + block.used;
  size_t n = PutLength(at, shared);
  n += PutLength(at + n, rest.size());
  if (!rest.empty()) std::memcpy(at + n, rest.data(), rest.size());
  block.used += n + rest.size();
  last_.assign(name);
  ++count_;
}

bool NameList::Cursor::Next(std::string_view* name) {
  while (block_ < list_.blocks_.size() && offset_ >= list_.blocks_[block_].used) {
    ++block_;
    offset_ = 0;
  }
  if (block_ >= list_.blocks_.size()) return false;
  const unsigned char* bytes = list_.blocks_[block_].bytes.get();
  const auto shared = static_cast<size_t>(GetLength(bytes, &offset_));
  const auto rest = static_cast<size_t>(GetLength(bytes, &offset_));
  name_.resize(std::min(shared, name_.size()));
  name_.append(reinterpret_cast<const char*>(bytes + offset_), rest);
  offset_ += rest;
  *name = name_;
  return true;
}

}  // namespace sqx
