#include "auto/rotation_files.h"

#include <windows.h>

#include "base/registry_key.h"
#include "auto/archive_rotation.h"

namespace mailstow {
namespace {

// The last-write time as a local date-time value.
double LocalWriteTime(const FILETIME& written) {
  FILETIME local;
  SYSTEMTIME time;
  if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &time)) return 0;
  return SystemTimeAsDays(time);
}

struct FolderEntry {
  std::wstring name;
  double write_time;
};

std::vector<FolderEntry> FilesIn(const std::wstring& folder) {
  std::vector<FolderEntry> files;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    files.push_back({found.cFileName, LocalWriteTime(found.ftLastWriteTime)});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

// Deletes a file even when it is read-only, hidden or system.
bool DeleteArchiveFile(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace

namespace {

// Deletes the archive `name` of the folder with the volume parts among `files`; false, with
// nothing of its parts touched, when the archive itself cannot be deleted.
bool DeleteWithParts(const std::wstring& folder, const std::wstring& name,
                     const std::vector<FolderEntry>& files,
                     const std::function<void(const std::wstring&)>& log) {
  if (!DeleteArchiveFile(folder + name)) return false;
  for (const FolderEntry& file : files) {
    if (!IsVolumePartOf(file.name, name)) continue;
    const std::wstring part = folder + file.name;
    log((DeleteArchiveFile(part) ? L"Deleted volume: " : L"Cannot delete volume: ") + part);
  }
  return true;
}

}  // namespace

std::vector<std::wstring> RotateArchives(const RotationRequest& request,
                                         const std::function<void(const std::wstring&)>& log) {
  const std::vector<FolderEntry> files = FilesIn(request.backup_dir);
  std::vector<ArchiveFile> candidates;
  for (const FolderEntry& file : files) {
    const std::wstring path = request.backup_dir + file.name;
    if (IsGeneratedArchiveName(file.name, request.prefix) && request.written_by_schedule(path)) {
      candidates.push_back({path, file.write_time});
    }
  }
  std::vector<std::wstring> deleted;
  for (const std::wstring& path :
       ArchivesToRemove(std::move(candidates), request.new_archive, request.mode, request.keep)) {
    if (!DeleteWithParts(request.backup_dir, path.substr(request.backup_dir.size()), files, log)) {
      log(L"Cannot delete old backup: " + path);
      continue;
    }
    log(L"Deleted old backup: " + path);
    deleted.push_back(path);
  }
  return deleted;
}

bool DeleteBackup(const std::wstring& archive,
                  const std::function<void(const std::wstring&)>& log) {
  const size_t cut = archive.find_last_of(L'\\') + 1;
  const std::wstring folder = archive.substr(0, cut);
  return DeleteWithParts(folder, archive.substr(cut), FilesIn(folder), log);
}

}  // namespace mailstow
