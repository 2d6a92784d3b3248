#include "tools/world_removal.h"

#include <windows.h>

#include <vector>

#include "base/registry_key.h"
#include "tools/registry_roots.h"

namespace mailstow {
namespace {

bool RemoveFolderTree(const std::wstring& folder, std::wstring* error) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  std::vector<std::wstring> folders, files;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? folders : files)
          .push_back(folder + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  for (const std::wstring& file : files) {
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(file.c_str())) {
      *error = L"cannot delete the file " + file;
      return false;
    }
  }
  for (const std::wstring& sub : folders) {
    if (!RemoveFolderTree(sub, error)) return false;
  }
  if (!RemoveDirectoryW(folder.c_str())) {
    *error = L"cannot delete the folder " + folder;
    return false;
  }
  return true;
}

}  // namespace

bool RemoveScope(const SnapshotSpec& scope, std::wstring* error) {
  for (const SnapshotBranch& branch : scope.branches) {
    const HKEY root = RegistryRootHandle(branch.root);
    if (root == nullptr) {
      *error = L"unknown registry root " + branch.root;
      return false;
    }
    if (!DeleteRegistryTree(root, branch.path)) {
      *error = L"cannot delete the key " + branch.root + L"\\" + branch.path;
      return false;
    }
  }
  for (std::wstring folder : scope.folders) {
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    if (!RemoveFolderTree(folder, error)) return false;
  }
  return true;
}

}  // namespace mailstow
