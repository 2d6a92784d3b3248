// A file system held in memory, for tests and the fuzz target: files are byte strings,
// folders exist implicitly, and the media kind can be chosen.
#pragma once

#include <map>
#include <string>

#include "sqx/file_system.h"

namespace sqx::testing {

class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  MediaKind media = kMediaFixed;
  // Writes fail with kStatusDiskFull once this many bytes were written in total.
  uint64_t capacity = UINT64_MAX;
  uint64_t written = 0;

  FileInfo Stat(const std::string& path) override;
  Status OpenRead(const std::string& path, std::unique_ptr<InputFile>* file) override;
  Status Create(const std::string& path, std::unique_ptr<OutputFile>* file) override;
  Status CreateNew(const std::string& path, std::unique_ptr<OutputFile>* file,
                   bool* existed) override;
  Status Replace(const std::string& from, const std::string& to) override;
  Status Remove(const std::string& path) override;
  Status CreateFolders(const std::string& path) override;
  Status SetModifiedTime(const std::string&, int64_t) override { return kStatusOk; }
  MediaKind MediaKindOf(const std::string&) override { return media; }
};

}  // namespace sqx::testing
