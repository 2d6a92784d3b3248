// A file system held in memory, for tests and the fuzz target: files are byte strings,
// folders exist implicitly, and the media kind can be chosen.
#pragma once

#include <functional>
#include <map>
#include <set>
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
  // Files that another program holds open: opening them fails with kStatusInUse.
  std::set<std::string> in_use;
  // Called before a file is opened for reading, with its bytes to change: damage on the
  // medium between a write and a read.
  std::function<void(const std::string& path, std::string* bytes)> before_read;
  // How many bytes of a write reach the medium while the write still reports success
  // (a share that accepts short writes); all of them when unset.
  std::function<size_t(const std::string& path, size_t size)> kept_of_write;

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
