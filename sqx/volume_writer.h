// The output of a pack: one archive file, or a split archive whose parts fill the volume
// size. Everything is written under temporary names beside the target and only gets its
// final name once the pack has succeeded, so a failed pack leaves an older archive as it
// was. On removable media each full part is finished at once and the caller is asked for
// the next volume.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sqx/events.h"
#include "sqx/file_system.h"

namespace sqx {

struct ArchivePosition {
  uint32_t disk = 0;
  uint64_t offset = 0;
};

class VolumeWriter {
 public:
  // `volume_bytes` 0 writes a single file.
  VolumeWriter(FileSystem& files, EventSink& events, std::string archive_path,
               uint64_t volume_bytes);
  ~VolumeWriter();

  Status Open();
  // Starts a new part when the next `size` bytes would not fit in the current one.
  Status KeepTogether(size_t size);
  Status Write(const void* data, size_t size);
  ArchivePosition Here() const { return {disk_, offset_}; }
  bool IsSplit() const { return volume_bytes_ != 0; }
  // Closes the last part; the parts keep their temporary names (see PartPath).
  Status Finish();
  // Gives every part of a finished archive its final name.
  Status Publish();
  // Where part `disk` of the archive is now: under its temporary name until Publish, or
  // already under its final name (earlier parts on removable media are named at once).
  std::string PartPath(uint32_t disk) const;
  // Removes whatever this pack wrote and has not committed.
  void Discard();

 private:
  std::string TemporaryPath(uint32_t disk) const;
  Status StartNextPart();
  // Small writes (headers, descriptors, small members) gather in a buffer: one system call
  // for many members instead of three for each.
  Status WriteThrough(const unsigned char* bytes, size_t size);
  Status Flush();
  bool AsksForVolumes() const;

  FileSystem& files_;
  EventSink& events_;
  std::string archive_path_;
  uint64_t volume_bytes_;
  MediaKind media_;
  std::unique_ptr<OutputFile> current_;
  std::unique_ptr<unsigned char[]> buffer_;
  size_t buffered_ = 0;
  uint32_t disk_ = 0;
  uint64_t offset_ = 0;
  std::vector<std::string> pending_;  // finished parts still under temporary names
  bool committed_ = false;
};

}  // namespace sqx
