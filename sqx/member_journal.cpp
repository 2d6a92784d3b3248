#include "sqx/member_journal.h"

#include <algorithm>
#include <cstring>

#include "sqx/zip_format.h"

namespace sqx {
namespace {

constexpr size_t kBufferBytes = 64 * 1024;
constexpr unsigned char kFolder = 1;
constexpr unsigned char kEncrypted = 2;
// The fixed part of a central directory header, before the name.
constexpr size_t kHeaderFixed = 46;

}  // namespace

MemberJournal::~MemberJournal() {
  if (output_ != nullptr) output_->Close();
  output_.reset();
  if (created_) files_.Remove(path_);
}

Status MemberJournal::Create(const std::string& path) {
  path_ = path;
  const Status status = files_.Create(path_, &output_);
  created_ = status == kStatusOk;
  return status;
}

Status MemberJournal::Append(const std::string& central_header, const WrittenMember& written) {
  zip::Put32(&pending_, static_cast<uint32_t>(central_header.size()));
  pending_ += central_header;
  pending_.push_back(
      static_cast<char>((written.is_folder ? kFolder : 0) | (written.encrypted ? kEncrypted : 0)));
  zip::Put64(&pending_, written.size);
  zip::Put32(&pending_, written.crc);
  if (written.encrypted) {
    pending_.append(reinterpret_cast<const char*>(written.salt), sizeof(written.salt));
    zip::Put32(&pending_, static_cast<uint32_t>(written.keys.strength));
    pending_.append(reinterpret_cast<const char*>(written.keys.bytes), sizeof(written.keys.bytes));
  }
  ++count_;
  return pending_.size() >= kBufferBytes ? Flush() : kStatusOk;
}

Status MemberJournal::Flush() {
  if (output_ == nullptr) return kStatusIoError;
  const Status status = output_->Write(pending_.data(), pending_.size());
  pending_.clear();
  return status;
}

Status MemberJournal::Finish() {
  Status status = Flush();
  const Status closed = output_->Close();
  output_.reset();
  return status == kStatusOk ? closed : status;
}

Status MemberJournal::Cursor::Read(void* data, size_t size) {
  auto* out = static_cast<unsigned char*>(data);
  while (size > 0) {
    if (buffered_at_ == buffer_.size()) {
      buffer_.resize(kBufferBytes);
      size_t got = 0;
      const Status status = input_->ReadAt(offset_, buffer_.data(), buffer_.size(), &got);
      if (status != kStatusOk) return status;
      if (got == 0) return kStatusIoError;
      buffer_.resize(got);
      offset_ += got;
      buffered_at_ = 0;
    }
    const size_t n = std::min(size, buffer_.size() - buffered_at_);
    std::memcpy(out, buffer_.data() + buffered_at_, n);
    buffered_at_ += n;
    out += n;
    size -= n;
  }
  return kStatusOk;
}

Status MemberJournal::Cursor::Next(WrittenMember* written) {
  if (input_ == nullptr) {
    const Status status = journal_.files_.OpenRead(journal_.path_, &input_);
    if (status != kStatusOk) return status;
  }
  unsigned char fixed[4];
  Status status = Read(fixed, sizeof(fixed));
  if (status != kStatusOk) return status;
  header_.resize(zip::Get32(fixed));
  status = Read(header_.data(), header_.size());
  if (status != kStatusOk) return status;
  if (header_.size() < kHeaderFixed) return kStatusIoError;
  const auto* header = reinterpret_cast<const unsigned char*>(header_.data());
  const size_t name_size = zip::Get16(header + 28);
  if (kHeaderFixed + name_size > header_.size()) return kStatusIoError;
  written->name.assign(header_, kHeaderFixed, name_size);

  unsigned char facts[1 + 8 + 4];
  status = Read(facts, sizeof(facts));
  if (status != kStatusOk) return status;
  written->is_folder = (facts[0] & kFolder) != 0;
  written->encrypted = (facts[0] & kEncrypted) != 0;
  written->size = zip::Get64(facts + 1);
  written->crc = zip::Get32(facts + 9);
  if (!written->encrypted) return kStatusOk;
  unsigned char strength[4];
  status = Read(written->salt, sizeof(written->salt));
  if (status == kStatusOk) status = Read(strength, sizeof(strength));
  if (status == kStatusOk) status = Read(written->keys.bytes, sizeof(written->keys.bytes));
  written->keys.strength = static_cast<int>(zip::Get32(strength));
  return status;
}

}  // namespace sqx
