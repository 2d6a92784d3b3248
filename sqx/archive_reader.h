// Reading archives: listing, extracting and testing members.
#pragma once

#include <string>
#include <vector>

#include "sqx/aes_cipher.h"
#include "sqx/events.h"
#include "sqx/file_system.h"
#include "sqx/name_list.h"
#include "sqx/volume_reader.h"

namespace sqx {

struct ExtractSettings {
  bool keep_folders = false;  // propose staging\stored path instead of staging\file name
  std::string staging;        // folder under which output paths are proposed
};

// Stored names ("\" separators) of the members matching any of the patterns, in archive order.
Status ListArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const NameList& patterns, NameList* names);

// Extracts the members named by the requests, in request order. kEventExtractEntry is raised
// once per member before it is written; the caller's second_name is the output path.
// Nothing is written when a selected member cannot be read safely, and a member only
// appears under its output name after its checksum or authentication code has matched.
Status ExtractArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                      const NameList& requests, const ExtractSettings& settings);

// Decodes the requested members and checks their checksums or authentication codes.
Status TestArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const NameList& requests);

// What the writer knows of a member it has just written, to check it against when reading
// the archive back: the checksum of the data it read from the source (kept also for
// encrypted members, whose headers carry none) and, with a password, the salt and keys it
// used, so that the read-back need not derive them again.
struct WrittenMember {
  std::string name;  // UTF-8 as stored, "/" separators
  bool is_folder = false;
  uint64_t size = 0;
  uint32_t crc = 0;
  bool encrypted = false;
  unsigned char salt[16] = {};
  AesKeys keys;
};

// The members just written, in archive order, as the writer remembers them.
class WrittenSequence {
 public:
  virtual ~WrittenSequence() = default;
  virtual uint64_t count() const = 0;
  virtual Status Next(WrittenMember* written) = 0;
};

// Reads an archive just written completely: its directory must list the written members,
// and every member is decoded, every part of a split archive read, each checksum and
// authentication code checked. `last_part` and `earlier_part` say where the parts are now;
// `shown_name` names the archive when damage cannot be pinned on one member. Raises
// kEventVerifyEntry before each member; a failure is kEventMemberDamaged and
// kStatusVerifyFailed (an abort stays kStatusAborted).
Status VerifyWritten(FileSystem& files, EventSink& events, const std::string& last_part,
                     PartPathFn earlier_part, const std::string& shown_name,
                     WrittenSequence& written);

}  // namespace sqx
