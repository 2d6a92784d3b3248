// Host file system for Windows: the wide file API, Win32 errors mapped to statuses.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "sqx/file_system.h"
#include "sqx/host_text.h"

namespace sqx {
namespace {

Status FromWin32(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return kStatusAccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return kStatusDiskFull;
    case ERROR_WRITE_PROTECT:
      return kStatusWriteProtected;
    default:
      return kStatusIoError;
  }
}

Status LastError() { return FromWin32(GetLastError()); }

// Reading a file that another program holds open (without sharing, or with a locked range)
// is told apart from a plain refusal, so that the caller can name the file and its holder.
Status LastReadError() {
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? kStatusInUse
                                                                           : FromWin32(error);
}

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;

FILETIME ToFileTime(int64_t modified_unix) {
  const uint64_t ticks = static_cast<uint64_t>(modified_unix * 10000000 + kUnixEpochAsFileTime);
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

std::wstring Plain(const std::string& path) {
  std::wstring wide = Utf8ToWide(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

// Every path reaches the file API in its extended form ("\\?\C:\...", "\\?\UNC\server\..."),
// to which the 260-character limit does not apply. That form is taken literally, so the path
// is made full first: relative parts resolved, "." and ".." components removed.
std::wstring Wide(const std::string& path) {
  std::wstring wide = Plain(path);
  if (wide.empty() || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\")) return wide;
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return full;
}

// Length of the part of an extended path that names its drive or share, with its separator.
size_t RootLength(const std::wstring& extended) {
  if (StartsWith(extended, L"\\\\?\\UNC\\")) {
    size_t at = extended.find(L'\\', 8);                              // after the server
    if (at != std::wstring::npos) at = extended.find(L'\\', at + 1);  // after the share
    return at == std::wstring::npos ? extended.size() : at + 1;
  }
  if (StartsWith(extended, L"\\\\?\\") && extended.size() >= 7 && extended[5] == L':') return 7;
  return 0;
}

class Win32InputFile : public InputFile {
 public:
  Win32InputFile(HANDLE handle, uint64_t size) : handle_(handle), size_(size) {}
  ~Win32InputFile() override { CloseHandle(handle_); }
  uint64_t Size() const override { return size_; }
  // Seeks, then reads through the file pointer. A read given its offset in an OVERLAPPED costs
  // a completion-port notice on some systems (a server round trip under Wine), for a handle
  // that has no port.
  Status ReadAt(uint64_t offset, void* data, size_t size, size_t* got) override {
    LARGE_INTEGER target = {};
    target.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, target, nullptr, FILE_BEGIN)) return LastError();
    size_t done = 0;
    while (done < size) {
      DWORD n = 0;
      if (!ReadFile(handle_, static_cast<char*>(data) + done, static_cast<DWORD>(size - done), &n,
                    nullptr)) {
        return LastReadError();
      }
      if (n == 0) break;
      done += n;
    }
    *got = done;
    return kStatusOk;
  }

 private:
  HANDLE handle_;
  uint64_t size_;
};

class Win32OutputFile : public OutputFile {
 public:
  explicit Win32OutputFile(HANDLE handle) : handle_(handle) {}
  ~Win32OutputFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Status Write(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      DWORD n = 0;
      if (!WriteFile(handle_, p, static_cast<DWORD>(size), &n, nullptr)) return LastError();
      if (n == 0) return kStatusIoError;
      p += n;
      size -= n;
    }
    return kStatusOk;
  }
  Status WriteAt(uint64_t offset, const void* data, size_t size) override {
    LARGE_INTEGER here = {}, saved = {}, target = {};
    target.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, here, &saved, FILE_CURRENT)) return LastError();
    if (!SetFilePointerEx(handle_, target, nullptr, FILE_BEGIN)) return LastError();
    const Status status = Write(data, size);
    if (!SetFilePointerEx(handle_, saved, nullptr, FILE_BEGIN)) return LastError();
    return status;
  }
  Status SetModifiedTime(int64_t modified_unix) override {
    const FILETIME time = ToFileTime(modified_unix);
    return SetFileTime(handle_, nullptr, nullptr, &time) ? kStatusOk : LastError();
  }
  Status Close() override {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) ? kStatusOk : LastError();
  }

 private:
  HANDLE handle_;
};

class Win32FileSystem : public FileSystem {
 public:
  FileInfo Stat(const std::string& path) override {
    FileInfo info;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return info;
    info.exists = true;
    info.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const int64_t ticks =
        static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                             data.ftLastWriteTime.dwLowDateTime);
    info.modified_unix = (ticks - kUnixEpochAsFileTime) / 10000000;
    return info;
  }
  Status OpenRead(const std::string& path, std::unique_ptr<InputFile>* file) override {
    const HANDLE handle =
        CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastReadError();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) {
      const Status status = LastError();
      CloseHandle(handle);
      return status;
    }
    *file = std::make_unique<Win32InputFile>(handle, static_cast<uint64_t>(size.QuadPart));
    return kStatusOk;
  }
  Status Create(const std::string& path, std::unique_ptr<OutputFile>* file) override {
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    *file = std::make_unique<Win32OutputFile>(handle);
    return kStatusOk;
  }
  Status CreateNew(const std::string& path, std::unique_ptr<OutputFile>* file,
                   bool* existed) override {
    *existed = false;
    const std::wstring wide = Wide(path);
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      // A folder or a read-only file of that name may fail with other codes than "exists".
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
          GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
        *existed = true;
        return kStatusOk;
      }
      return FromWin32(error);
    }
    *file = std::make_unique<Win32OutputFile>(handle);
    return kStatusOk;
  }
  Status Replace(const std::string& from, const std::string& to) override {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)
               ? kStatusOk
               : LastError();
  }
  Status Remove(const std::string& path) override {
    return DeleteFileW(Wide(path).c_str()) ? kStatusOk : LastError();
  }
  Status CreateFolders(const std::string& path) override {
    const std::wstring wide = Wide(path);
    for (size_t i = std::max<size_t>(RootLength(wide), 1); i <= wide.size(); ++i) {
      if (i < wide.size() && wide[i] != L'\\') continue;
      const std::wstring part = wide.substr(0, i);
      if (part.size() == 2 && part[1] == L':') continue;  // drive root
      if (!CreateDirectoryW(part.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return FromWin32(error);
      }
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kStatusOk : kStatusIoError;
  }
  Status SetModifiedTime(const std::string& path, int64_t modified_unix) override {
    const HANDLE handle = CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    const FILETIME time = ToFileTime(modified_unix);
    const BOOL ok = SetFileTime(handle, nullptr, nullptr, &time);
    const Status status = ok ? kStatusOk : LastError();
    CloseHandle(handle);
    return status;
  }
  MediaKind MediaKindOf(const std::string& path) override {
    std::wstring root = Plain(path);
    if (root.size() >= 2 && root[1] == L':') {
      root = root.substr(0, 2) + L"\\";
    } else {
      return kMediaUnknown;
    }
    return static_cast<MediaKind>(GetDriveTypeW(root.c_str()));
  }
};

}  // namespace

FileSystem& HostFileSystem() {
  static Win32FileSystem file_system;
  return file_system;
}

}  // namespace sqx
