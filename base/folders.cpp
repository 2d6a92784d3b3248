#include "folders.h"

#include <windows.h>

#include <vector>

#include "base/registry_key.h"

namespace mailstow {

std::wstring ProgramFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      std::wstring full(path.data(), length);
      return full.substr(0, full.find_last_of(L"\\/") + 1);
    }
    path.resize(path.size() * 2);
  }
}

std::wstring PersonalFolder() {
  RegistryKey key;
  std::wstring folder;
  if (key.Open(HKEY_CURRENT_USER,
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false,
               KEY_READ)) {
    const auto personal = key.ReadString(L"Personal");
    if (personal.ok()) folder = personal.value;
  }
  return folder + L"\\";
}

std::wstring LongPath(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path;
  const bool unc = path.size() > 2 && (path[0] == L'\\' || path[0] == L'/') &&
                   (path[1] == L'\\' || path[1] == L'/');
  const bool drive = path.size() > 2 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
  if (!unc && !drive) return path;
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return unc ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

bool CreateFolderTree(const std::wstring& folder) {
  std::wstring path = folder;
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const size_t separator = path.find_last_of(L"\\/");
  if (separator != std::wstring::npos && separator > 0) {
    const std::wstring parent = path.substr(0, separator);
    if (parent.size() > 2 || (parent.size() == 2 && parent[1] != L':')) CreateFolderTree(parent);
  }
  return CreateDirectoryW(LongPath(path).c_str(), nullptr) != 0 ||
         GetLastError() == ERROR_ALREADY_EXISTS;
}

void EmptyStagingFolder(const std::wstring& folder) {
  constexpr DWORD kAllowed = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
  if (folder.empty()) return;
  std::vector<std::wstring> doomed;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & ~kAllowed) == 0)
      doomed.push_back(folder + L"\\" + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const std::wstring& file : doomed) {
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());
  }
}

void EmptyFolderTree(const std::wstring& folder) {
  if (folder.empty()) return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::pair<std::wstring, bool>> entries;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.emplace_back(folder + L"\\" + name,
                         (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                             (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const auto& [path, is_folder] : entries) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (is_folder) {
      EmptyFolderTree(path);
      RemoveDirectoryW(path.c_str());
    } else if (!DeleteFileW(path.c_str())) {
      RemoveDirectoryW(path.c_str());  // a link to a folder: the link goes, not its target
    }
  }
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void RemoveFolderTree(const std::wstring& folder) {
  EmptyFolderTree(folder);
  RemoveDirectoryW(LongPath(folder).c_str());
}

}  // namespace mailstow
