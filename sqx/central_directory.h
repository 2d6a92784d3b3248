// The index of an archive as its central directory records it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sqx/volume_reader.h"

namespace sqx {

struct Member {
  std::string name;  // UTF-8 as stored, "/" separators
  uint16_t flags = 0;
  uint16_t method = 0;  // the compression method, also for encrypted members
  bool encrypted = false;
  bool aes = false;
  int aes_strength = 0;
  int aes_version = 0;
  uint32_t dos_time = 0;
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
  ArchivePosition local;
  bool is_folder = false;
};

struct ArchiveIndex {
  std::vector<Member> members;
};

// Finds the end records in the last part, learns the number of parts and reads every
// central directory entry. Anything malformed is kStatusNotAnArchive.
Status ReadArchiveIndex(VolumeReader& volumes, ArchiveIndex* index);

}  // namespace sqx
