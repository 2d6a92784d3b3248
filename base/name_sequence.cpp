#include "base/name_sequence.h"

#include <algorithm>

namespace mailstow {
namespace {

constexpr size_t kBlockChars = 128 * 1024;

// Lengths are written as 15-bit digits, the high bit of each unit saying that more follow.
size_t PutLength(wchar_t* out, size_t value) {
  size_t n = 0;
  while (value >= 0x8000) {
    out[n++] = static_cast<wchar_t>((value & 0x7FFF) | 0x8000);
    value >>= 15;
  }
  out[n++] = static_cast<wchar_t>(value);
  return n;
}

size_t GetLength(const wchar_t* in, size_t* offset) {
  size_t value = 0;
  for (int shift = 0;; shift += 15) {
    const auto unit = static_cast<uint16_t>(in[(*offset)++]);
    value |= static_cast<size_t>(unit & 0x7FFF) << shift;
    if ((unit & 0x8000) == 0) return value;
  }
}

}  // namespace

void NameSequence::Add(std::wstring_view name) {
  const size_t limit = std::min(name.size(), last_.size());
  size_t shared = 0;
  while (shared < limit && name[shared] == last_[shared]) ++shared;
  const std::wstring_view rest = name.substr(shared);
  const size_t needed = 2 * 3 + rest.size();  // a record never spans two blocks
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < needed) {
    Block& block = blocks_.emplace_back();
    block.capacity = std::max(kBlockChars, needed);
    block.text.reset(new wchar_t[block.capacity]);
  }
  Block& block = blocks_.back();
  wchar_t* at = block.text.get() + block.used;
  size_t n = PutLength(at, shared);
  n += PutLength(at + n, rest.size());
  std::copy(rest.begin(), rest.end(), at + n);
  block.used += n + rest.size();
  last_.assign(name);
  ++count_;
}

void NameSequence::Clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  last_.clear();
  count_ = 0;
}

NameSequence::const_iterator::const_iterator(const NameSequence* names, size_t index)
    : names_(names), index_(index) {
  if (index_ < names_->count_) Read();
}

NameSequence::const_iterator& NameSequence::const_iterator::operator++() {
  if (++index_ < names_->count_) Read();
  return *this;
}

void NameSequence::const_iterator::Read() {
  while (offset_ >= names_->blocks_[block_].used) {
    ++block_;
    offset_ = 0;
  }
  const wchar_t* text = names_->blocks_[block_].text.get();
  const size_t shared = GetLength(text, &offset_);
  const size_t rest = GetLength(text, &offset_);
  name_.resize(std::min(shared, name_.size()));
  name_.append(text + offset_, rest);
  offset_ += rest;
}

}  // namespace mailstow
