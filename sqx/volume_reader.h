// Reading an archive that may be split into parts: positions are (part, offset) pairs and
// reads run on into the following parts. A missing part on removable media is asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sqx/events.h"
#include "sqx/file_system.h"
#include "sqx/volume_writer.h"

namespace sqx {

class VolumeReader {
 public:
  VolumeReader(FileSystem& files, EventSink& events, std::string archive_path);

  // Opens the last part (the archive path itself); kStatusNotAnArchive when it is missing.
  Status Open();
  InputFile& LastPart() { return *last_; }
  void SetDiskCount(uint32_t disk_count) { disk_count_ = disk_count; }
  uint32_t disk_count() const { return disk_count_; }

  // Reads exactly `size` bytes at `*at` and moves `*at` past them; a read beyond the end
  // of the last part is kStatusNotAnArchive.
  Status Read(ArchivePosition* at, void* data, size_t size);

 private:
  Status Part(uint32_t disk, InputFile** file);

  FileSystem& files_;
  EventSink& events_;
  std::string archive_path_;
  std::unique_ptr<InputFile> last_;
  std::unique_ptr<InputFile> earlier_;
  uint32_t earlier_disk_ = 0;
  uint32_t disk_count_ = 1;
};

}  // namespace sqx
