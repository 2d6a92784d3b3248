// Packing: every source of the list becomes one member of a new ZIP archive, in list
// order, streamed through deflate (or stored where deflate does not help) and, with a
// password, AES-256 encryption.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sqx/events.h"
#include "sqx/file_system.h"
#include "sqx/name_list.h"

namespace sqx {

struct PackSettings {
  int deflate_level = 6;      // zlib level; 0 stores every member
  std::string password;       // UTF-8; empty for none
  uint64_t volume_bytes = 0;  // 0: a single file, else the size of each split part
  bool verify = false;        // read the archive back before it takes its name
  // A source that cannot be found or opened is named by kEventSourceSkipped and left out,
  // instead of failing the pack.
  bool skip_unreadable = false;
  // Where the list of written members is kept while packing; empty: beside the archive.
  std::string temporary_folder;
};

// Raises kEventStoreEntry once per source before it is stored (the stored name is what
// the caller leaves in first_name) and kEventProgress while its data is read. With `verify`
// the written parts are read back under their temporary names (kEventVerifyEntry once per
// member) and only get the archive's name when every member checked out; a member that did
// not is named by kEventMemberDamaged and the pack fails with kStatusVerifyFailed. A source
// that another program holds open is named by kEventSourceInUse (kStatusInUse).
Status PackArchive(FileSystem& files, EventSink& events, const std::string& archive_path,
                   const NameList& sources, const PackSettings& settings);

}  // namespace sqx
