// The index of an archive as its central directory records it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sqx/name_list.h"
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
  NameList names;
};

// Finds the end records in the last part, learns the number of parts and reads every
// central directory entry. Anything malformed is kStatusNotAnArchive.
Status ReadArchiveIndex(VolumeReader& volumes, ArchiveIndex* index);

}  // namespace sqx
