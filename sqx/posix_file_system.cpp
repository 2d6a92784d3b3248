// Host file system for POSIX builds: "\" in paths is read as "/".
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "sqx/file_system.h"

namespace sqx {
namespace {

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

Status FromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EBUSY:
      return kStatusAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kStatusDiskFull;
    case EROFS:
      return kStatusWriteProtected;
    default:
      return kStatusIoError;
  }
}

class PosixInputFile : public InputFile {
 public:
  PosixInputFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~PosixInputFile() override { close(fd_); }
  uint64_t Size() const override { return size_; }
  Status ReadAt(uint64_t offset, void* data, size_t size, size_t* got) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = pread(fd_, static_cast<char*>(data) + done, size - done,
                              static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno);
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    *got = done;
    return kStatusOk;
  }

 private:
  int fd_;
  uint64_t size_;
};

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) close(fd_);
  }
  Status Write(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = write(fd_, p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno);
      }
      p += n;
      size -= static_cast<size_t>(n);
    }
    return kStatusOk;
  }
  Status WriteAt(uint64_t offset, const void* data, size_t size) override {
    const ssize_t n = pwrite(fd_, data, size, static_cast<off_t>(offset));
    if (n < 0) return FromErrno(errno);
    return static_cast<size_t>(n) == size ? kStatusOk : kStatusIoError;
  }
  Status SetModifiedTime(int64_t modified_unix) override {
    const struct timespec times[2] = {{static_cast<time_t>(modified_unix), 0},
                                      {static_cast<time_t>(modified_unix), 0}};
    return futimens(fd_, times) == 0 ? kStatusOk : FromErrno(errno);
  }
  Status Close() override {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0 ? kStatusOk : FromErrno(errno);
  }

 private:
  int fd_;
};

class PosixFileSystem : public FileSystem {
 public:
  FileInfo Stat(const std::string& path) override {
    FileInfo info;
    struct stat st;
    if (stat(NativePath(path).c_str(), &st) != 0) return info;
    info.exists = true;
    info.is_folder = S_ISDIR(st.st_mode);
    info.size = static_cast<uint64_t>(st.st_size);
    info.modified_unix = st.st_mtime;
    return info;
  }
  Status OpenRead(const std::string& path, std::unique_ptr<InputFile>* file) override {
    const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? kStatusIoError : FromErrno(errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      close(fd);
      return kStatusIoError;
    }
    *file = std::make_unique<PosixInputFile>(fd, static_cast<uint64_t>(st.st_size));
    return kStatusOk;
  }
  Status Create(const std::string& path, std::unique_ptr<OutputFile>* file) override {
    const int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return FromErrno(errno);
    *file = std::make_unique<PosixOutputFile>(fd);
    return kStatusOk;
  }
  Status CreateNew(const std::string& path, std::unique_ptr<OutputFile>* file,
                   bool* existed) override {
    *existed = false;
    const int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno != EEXIST) return FromErrno(errno);
      *existed = true;
      return kStatusOk;
    }
    *file = std::make_unique<PosixOutputFile>(fd);
    return kStatusOk;
  }
  Status Replace(const std::string& from, const std::string& to) override {
    return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0 ? kStatusOk
                                                                         : FromErrno(errno);
  }
  Status Remove(const std::string& path) override {
    return unlink(NativePath(path).c_str()) == 0 ? kStatusOk : FromErrno(errno);
  }
  Status CreateFolders(const std::string& path) override {
    const std::string native = NativePath(path);
    for (size_t i = 1; i <= native.size(); ++i) {
      if (i < native.size() && native[i] != '/') continue;
      const std::string part = native.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return FromErrno(errno);
    }
    struct stat st;
    return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? kStatusOk : kStatusIoError;
  }
  Status SetModifiedTime(const std::string& path, int64_t modified_unix) override {
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(modified_unix);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return utimensat(AT_FDCWD, NativePath(path).c_str(), times, 0) == 0 ? kStatusOk
                                                                        : FromErrno(errno);
  }
  MediaKind MediaKindOf(const std::string&) override { return kMediaFixed; }
};

}  // namespace

FileSystem& HostFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

}  // namespace sqx
