// File access used by the archiver core. Paths are UTF-8 and use "\" as separator; each host
// implementation maps them to its own file API, so the core itself stays portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sqx/sqx_api.h"

namespace sqx {

// A file opened for reading at any offset, by one thread at a time.
class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual uint64_t Size() const = 0;
  // Reads up to `size` bytes at `offset`; fewer only at the end of the file.
  virtual Status ReadAt(uint64_t offset, void* data, size_t size, size_t* got) = 0;
};

// A new file written from its start; WriteAt patches bytes already written.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual Status Write(const void* data, size_t size) = 0;
  virtual Status WriteAt(uint64_t offset, const void* data, size_t size) = 0;
  // Sets the file's last-modified time; called after the last write.
  virtual Status SetModifiedTime(int64_t modified_unix) = 0;
  // Flushes and closes; the object only needs destroying afterwards.
  virtual Status Close() = 0;
};

struct FileInfo {
  bool exists = false;
  bool is_folder = false;
  uint64_t size = 0;
  int64_t modified_unix = 0;  // seconds since 1970-01-01 UTC
};

// Kinds of drive reported for volumes, numbered as the host's drive types.
enum MediaKind : int32_t {
  kMediaUnknown = 0,
  kMediaRemovable = 2,
  kMediaFixed = 3,
  kMediaRemote = 4,
  kMediaCdRom = 5,
  kMediaRamDisk = 6,
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual FileInfo Stat(const std::string& path) = 0;
  virtual Status OpenRead(const std::string& path, std::unique_ptr<InputFile>* file) = 0;
  // Creates or truncates `path`.
  virtual Status Create(const std::string& path, std::unique_ptr<OutputFile>* file) = 0;
  // Creates `path` only when nothing exists there yet. When something does, `existed` is set,
  // no file is opened and the status is still kStatusOk. One name lookup instead of a test
  // followed by a creation: on hosts whose lookups of missing names are slow, that counts.
  virtual Status CreateNew(const std::string& path, std::unique_ptr<OutputFile>* file,
                           bool* existed) = 0;
  // Moves `from` to `to`, replacing an existing file there.
  virtual Status Replace(const std::string& from, const std::string& to) = 0;
  virtual Status Remove(const std::string& path) = 0;
  // Creates the folder and every missing parent.
  virtual Status CreateFolders(const std::string& path) = 0;
  virtual Status SetModifiedTime(const std::string& path, int64_t modified_unix) = 0;
  virtual MediaKind MediaKindOf(const std::string& path) = 0;
};

// The file system of the machine the library runs on.
FileSystem& HostFileSystem();

}  // namespace sqx
