#include "sqx/central_directory.h"

#include <algorithm>
#include <cstring>

#include "sqx/member_names.h"
#include "sqx/zip_format.h"

namespace sqx {
namespace {

constexpr size_t kMaxComment = 0xFFFF;
constexpr uint32_t kMaxDisks = 100000;

struct EndRecord {
  uint64_t end_offset = 0;  // where the end record starts in the last part
  uint32_t this_disk = 0;
  uint32_t directory_disk = 0;
  uint64_t entries = 0;
  uint64_t directory_size = 0;
  uint64_t directory_offset = 0;
  bool zip64 = false;
};

Status FindEndRecord(InputFile& last, EndRecord* end) {
  const uint64_t size = last.Size();
  if (size < zip::kEndSize) return kStatusNotAnArchive;
  const size_t tail_size =
      static_cast<size_t>(std::min<uint64_t>(size, zip::kEndSize + kMaxComment));
  std::vector<unsigned char> tail(tail_size);
  size_t got = 0;
  Status status = last.ReadAt(size - tail_size, tail.data(), tail_size, &got);
  if (status != kStatusOk) return status;
  if (got != tail_size) return kStatusNotAnArchive;
  for (size_t i = tail_size - zip::kEndSize + 1; i-- > 0;) {
    const unsigned char* p = tail.data() + i;
    if (zip::Get32(p) != zip::kEndSignature) continue;
    if (i + zip::kEndSize + zip::Get16(p + 20) > tail_size) continue;
    end->end_offset = size - tail_size + i;
    end->this_disk = zip::Get16(p + 4);
    end->directory_disk = zip::Get16(p + 6);
    end->entries = zip::Get16(p + 10);
    end->directory_size = zip::Get32(p + 12);
    end->directory_offset = zip::Get32(p + 16);
    return kStatusOk;
  }
  return kStatusNotAnArchive;
}

// Replaces the end record's fields by those of the ZIP64 end record when a locator precedes it.
Status ReadZip64End(VolumeReader& volumes, EndRecord* end) {
  if (end->end_offset < zip::kZip64LocatorSize) return kStatusOk;
  unsigned char locator[zip::kZip64LocatorSize];
  size_t got = 0;
  Status status = volumes.LastPart().ReadAt(end->end_offset - zip::kZip64LocatorSize, locator,
                                            sizeof(locator), &got);
  if (status != kStatusOk) return status;
  if (got != sizeof(locator) || zip::Get32(locator) != zip::kZip64LocatorSignature) {
    return kStatusOk;
  }
  const uint32_t disk_count = zip::Get32(locator + 16);
  if (disk_count == 0 || disk_count > kMaxDisks) return kStatusNotAnArchive;
  volumes.SetDiskCount(disk_count);
  ArchivePosition at{zip::Get32(locator + 4), zip::Get64(locator + 8)};
  unsigned char record[zip::kZip64EndSize];
  status = volumes.Read(&at, record, sizeof(record));
  if (status != kStatusOk) return status;
  if (zip::Get32(record) != zip::kZip64EndSignature) return kStatusNotAnArchive;
  end->this_disk = zip::Get32(record + 16);
  end->directory_disk = zip::Get32(record + 20);
  end->entries = zip::Get64(record + 32);
  end->directory_size = zip::Get64(record + 40);
  end->directory_offset = zip::Get64(record + 48);
  end->zip64 = true;
  return kStatusOk;
}

// Applies the ZIP64 extra field: 64-bit values for exactly the fields that hold their maximum.
bool ApplyZip64(const unsigned char* p, size_t size, Member* member, uint32_t* disk) {
  size_t at = 0;
  const auto take64 = [&](uint64_t* value) {
    if (at + 8 > size) return false;
    *value = zip::Get64(p + at);
    at += 8;
    return true;
  };
  if (member->uncompressed == zip::kMax32 && !take64(&member->uncompressed)) return false;
  if (member->compressed == zip::kMax32 && !take64(&member->compressed)) return false;
  if (member->local.offset == zip::kMax32 && !take64(&member->local.offset)) return false;
  if (*disk == zip::kMax16) {
    if (at + 4 > size) return false;
    *disk = zip::Get32(p + at);
  }
  return true;
}

bool ParseExtras(const unsigned char* p, size_t size, Member* member, uint32_t* disk) {
  size_t at = 0;
  while (at + 4 <= size) {
    const uint16_t id = zip::Get16(p + at);
    const uint16_t length = zip::Get16(p + at + 2);
    at += 4;
    if (at + length > size) return false;
    if (id == zip::kExtraZip64 && !ApplyZip64(p + at, length, member, disk)) return false;
    if (id == zip::kExtraAes && length >= 7 && member->method == zip::kMethodAes) {
      member->aes = true;
      member->aes_version = zip::Get16(p + at);
      member->aes_strength = p[at + 4];
      member->method = zip::Get16(p + at + 5);
    }
    at += length;
  }
  return true;
}

// Hands out the central directory's bytes in order, read from the parts in large blocks: one
// host read per block instead of two per entry.
class DirectoryBytes {
 public:
  DirectoryBytes(VolumeReader& volumes, ArchivePosition start, uint64_t size)
      : volumes_(volumes), at_(start), unread_(size) {}

  // Points `*data` at the next `size` bytes of the directory.
  Status Take(size_t size, const unsigned char** data) {
    if (buffer_.size() - used_ < size) {
      buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
      used_ = 0;
      const size_t have = buffer_.size();
      const size_t wanted = std::max(size - have, kBlock);
      const size_t more = static_cast<size_t>(std::min<uint64_t>(unread_, wanted));
      if (have + more < size) return kStatusNotAnArchive;
      buffer_.resize(have + more);
      const Status status = volumes_.Read(&at_, buffer_.data() + have, more);
      if (status != kStatusOk) return status;
      unread_ -= more;
    }
    *data = buffer_.data() + used_;
    used_ += size;
    return kStatusOk;
  }

 private:
  static constexpr size_t kBlock = 256 * 1024;
  VolumeReader& volumes_;
  ArchivePosition at_;
  uint64_t unread_;
  std::vector<unsigned char> buffer_;
  size_t used_ = 0;
};

}  // namespace

struct DirectoryCursor::Directory {
  Directory(VolumeReader& volumes, ArchivePosition start, uint64_t size)
      : bytes(volumes, start, size), left(size) {}
  DirectoryBytes bytes;
  uint64_t left;
  uint32_t last_disk = 0;
  uint64_t bias = 0;
};

DirectoryCursor::DirectoryCursor(VolumeReader& volumes) : volumes_(volumes) {}
DirectoryCursor::~DirectoryCursor() = default;

Status DirectoryCursor::Open() {
  EndRecord end;
  Status status = FindEndRecord(volumes_.LastPart(), &end);
  if (status != kStatusOk) return status;
  volumes_.SetDiskCount(end.this_disk + 1);
  if (end.this_disk == zip::kMax16 || end.entries == zip::kMax16 ||
      end.directory_size == zip::kMax32 || end.directory_offset == zip::kMax32 ||
      end.end_offset >= zip::kZip64LocatorSize) {
    status = ReadZip64End(volumes_, &end);
    if (status != kStatusOk) return status;
  }
  if (end.this_disk >= kMaxDisks || end.directory_disk > end.this_disk) {
    return kStatusNotAnArchive;
  }
  volumes_.SetDiskCount(end.this_disk + 1);

  // Data in front of a single-part archive shifts every offset by the same amount.
  uint64_t bias = 0;
  if (end.this_disk == 0 && !end.zip64) {
    const uint64_t expected_end = end.directory_offset + end.directory_size;
    if (expected_end > end.end_offset) return kStatusNotAnArchive;
    bias = end.end_offset - expected_end;
  }
  // Every entry takes at least the fixed header, which bounds the count to believe.
  likely_entries_ = std::min<uint64_t>(end.entries, end.directory_size / zip::kCentralHeaderSize);
  directory_ = std::make_unique<Directory>(
      volumes_, ArchivePosition{end.directory_disk, end.directory_offset + bias},
      end.directory_size);
  directory_->last_disk = end.this_disk;
  directory_->bias = bias;
  return kStatusOk;
}

Status DirectoryCursor::Next(Member* member, bool* got) {
  *got = false;
  if (directory_ == nullptr || directory_->left < zip::kCentralHeaderSize) return kStatusOk;
  // Kept in a copy: taking the variable part may move the buffer.
  const unsigned char* taken = nullptr;
  Status status = directory_->bytes.Take(zip::kCentralHeaderSize, &taken);
  if (status != kStatusOk) return status;
  unsigned char fixed[zip::kCentralHeaderSize];
  std::memcpy(fixed, taken, sizeof(fixed));
  if (zip::Get32(fixed) != zip::kCentralHeaderSignature) return kStatusNotAnArchive;
  const size_t name_size = zip::Get16(fixed + 28);
  const size_t extra_size = zip::Get16(fixed + 30);
  const size_t comment_size = zip::Get16(fixed + 32);
  const uint64_t entry_size = zip::kCentralHeaderSize + name_size + extra_size + comment_size;
  if (entry_size > directory_->left) return kStatusNotAnArchive;
  directory_->left -= entry_size;
  const unsigned char* variable = nullptr;
  status = directory_->bytes.Take(name_size + extra_size + comment_size, &variable);
  if (status != kStatusOk) return status;

  *member = Member();
  member->flags = zip::Get16(fixed + 8);
  member->method = zip::Get16(fixed + 10);
  member->encrypted = (member->flags & zip::kFlagEncrypted) != 0;
  member->dos_time = zip::Get32(fixed + 12);
  member->crc = zip::Get32(fixed + 16);
  member->compressed = zip::Get32(fixed + 20);
  member->uncompressed = zip::Get32(fixed + 24);
  uint32_t disk = zip::Get16(fixed + 34);
  const uint32_t attributes = zip::Get32(fixed + 38);
  member->local.offset = zip::Get32(fixed + 42);
  name_.assign(reinterpret_cast<const char*>(variable), name_size);
  if ((member->flags & zip::kFlagUtf8) == 0) name_ = Cp437ToUtf8(name_);
  member->name = name_;
  if (!ParseExtras(variable + name_size, extra_size, member, &disk)) return kStatusNotAnArchive;
  if (disk > directory_->last_disk) return kStatusNotAnArchive;
  member->local.disk = disk;
  member->local.offset += directory_->bias;  // zero unless a single part carries leading data
  const bool dos_folder = (zip::Get16(fixed + 4) >> 8) == 0 && (attributes & zip::kAttributeFolder);
  member->is_folder =
      (!member->name.empty() && (member->name.back() == '/' || member->name.back() == '\\')) ||
      (dos_folder && member->uncompressed == 0);
  *got = true;
  return kStatusOk;
}

Status ReadArchiveIndex(VolumeReader& volumes, ArchiveIndex* index) {
  index->members.clear();
  index->names = NameArena();
  DirectoryCursor cursor(volumes);
  Status status = cursor.Open();
  if (status != kStatusOk) return status;
  index->members.reserve(static_cast<size_t>(cursor.likely_entries()));
  Member member;
  bool got = false;
  while ((status = cursor.Next(&member, &got)) == kStatusOk && got) {
    member.name = index->names.Keep(member.name);
    index->members.push_back(member);
  }
  return status;
}

}  // namespace sqx
