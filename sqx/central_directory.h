// The index of an archive as its central directory records it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sqx/name_arena.h"
#include "sqx/volume_reader.h"

namespace sqx {

// Kept small: an index holds one per member, many thousands for a large mail store.
struct Member {
  std::string_view name;  // UTF-8 as stored, "/" separators; kept by the index's `names`
  uint16_t flags = 0;
  uint16_t method = 0;  // the compression method, also for encrypted members
  bool encrypted = false;
  bool aes = false;
  uint8_t aes_strength = 0;
  uint16_t aes_version = 0;
  uint32_t dos_time = 0;
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  ArchivePosition local;
  bool is_folder = false;
};

struct ArchiveIndex {
  std::vector<Member> members;
  NameArena names;
};

// Reads the central directory entry by entry, holding one block of it at a time.
class DirectoryCursor {
 public:
  explicit DirectoryCursor(VolumeReader& volumes);
  ~DirectoryCursor();
  DirectoryCursor(const DirectoryCursor&) = delete;
  DirectoryCursor& operator=(const DirectoryCursor&) = delete;

  // Finds the end records in the last part and learns the number of parts.
  Status Open();
  // The number of entries the end records give, bounded by what the directory can hold.
  uint64_t likely_entries() const { return likely_entries_; }
  // The next entry; `got` stays false after the last. The member's name is valid until the
  // next call. Anything malformed is kStatusNotAnArchive.
  Status Next(Member* member, bool* got);

 private:
  struct Directory;
  VolumeReader& volumes_;
  std::unique_ptr<Directory> directory_;
  uint64_t likely_entries_ = 0;
  std::string name_;
};

// Reads every central directory entry into the index.
Status ReadArchiveIndex(VolumeReader& volumes, ArchiveIndex* index);

}  // namespace sqx
