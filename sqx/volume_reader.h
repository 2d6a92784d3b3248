// Reading an archive that may be split into parts: positions are (part, offset) pairs and
// reads run on into the following parts. A missing part on removable media is asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sqx/events.h"
#include "sqx/file_system.h"
#include "sqx/volume_writer.h"

namespace sqx {

// The path of an earlier part (disk 0, 1, ...) of a split archive.
using PartPathFn = std::function<std::string(uint32_t disk)>;

class VolumeReader {
 public:
  // `archive_path` is the last part; earlier parts are found by the split naming convention,
  // or by `earlier_part` where given (an archive not yet under its final names).
  VolumeReader(FileSystem& files, EventSink& events, std::string archive_path,
               PartPathFn earlier_part = {});

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
  PartPathFn earlier_part_;
  std::unique_ptr<InputFile> last_;
  std::unique_ptr<InputFile> earlier_;
  uint32_t earlier_disk_ = 0;
  uint32_t disk_count_ = 1;
};

}  // namespace sqx
