#include "tools/world_snapshot.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/registry_key.h"
#include "tools/registry_roots.h"
#include "tools/sha256.h"
#include "tools/utf_text.h"

namespace mailstow {
namespace {

constexpr DWORD kReadPiece = 1 << 20;

void AddKeyTree(HKEY key, const std::wstring& path, std::vector<KeyShot>& keys) {
  DWORD subkey_count = 0, longest_subkey = 0, value_count = 0, longest_name = 0, largest_data = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkey_count, &longest_subkey, nullptr,
                       &value_count, &longest_name, &largest_data, nullptr,
                       nullptr) != ERROR_SUCCESS) {
    return;
  }
  KeyShot shot;
  shot.path = path;
  std::vector<wchar_t> name(longest_name + 2);
  std::vector<uint8_t> data(largest_data + 2);
  for (DWORD i = 0; i < value_count; ++i) {
    DWORD name_length = static_cast<DWORD>(name.size());
    DWORD data_size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type, data.data(), &data_size) !=
        ERROR_SUCCESS) {
      continue;
    }
    shot.values.push_back({std::wstring(name.data(), name_length), type,
                           std::vector<uint8_t>(data.begin(), data.begin() + data_size)});
  }
  keys.push_back(std::move(shot));

  std::vector<std::wstring> subkeys;
  std::vector<wchar_t> subkey(longest_subkey + 2);
  for (DWORD i = 0; i < subkey_count; ++i) {
    DWORD length = static_cast<DWORD>(subkey.size());
    if (RegEnumKeyExW(key, i, subkey.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      subkeys.emplace_back(subkey.data(), length);
    }
  }
  for (const std::wstring& sub : subkeys) {
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ, &child) == ERROR_SUCCESS) {
      AddKeyTree(child, path + L"\\" + sub, keys);
      RegCloseKey(child);
    }
  }
}

std::string HashOfFile(const std::wstring& path, uint64_t* size) {
  Sha256 digest;
  *size = 0;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "unreadable";
  std::vector<char> piece(kReadPiece);
  DWORD got = 0;
  while (ReadFile(file, piece.data(), kReadPiece, &got, nullptr) && got > 0) {
    digest.Update(piece.data(), got);
    *size += got;
  }
  CloseHandle(file);
  return digest.FinishHex();
}

void AddFolderTree(const std::wstring& folder, std::vector<FileShot>& files) {
  files.push_back({folder, true, 0, {}});
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> folders;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      folders.push_back(path);
    } else {
      FileShot file{path, false, 0, {}};
      file.hash = HashOfFile(path, &file.size);
      files.push_back(std::move(file));
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const std::wstring& path : folders) AddFolderTree(path, files);
}

std::wstring WithoutFinalSeparator(std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// Sorts by folded name and drops entries met twice.
template <typename T, typename NameOf>
void SortUnique(std::vector<T>& items, NameOf name_of) {
  std::stable_sort(items.begin(), items.end(), [&](const T& a, const T& b) {
    return FoldCase(name_of(a)) < FoldCase(name_of(b));
  });
  items.erase(std::unique(items.begin(), items.end(),
                          [&](const T& a, const T& b) {
                            return FoldCase(name_of(a)) == FoldCase(name_of(b));
                          }),
              items.end());
}

}  // namespace

Snapshot TakeSnapshot(const SnapshotSpec& spec) {
  Snapshot snapshot;
  for (const SnapshotBranch& branch : spec.branches) {
    const HKEY root = RegistryRootHandle(branch.root);
    HKEY key = nullptr;
    if (root == nullptr || RegOpenKeyExW(root, branch.path.c_str(), 0,
                                         KEY_READ | RegistryViewFor(root), &key) != ERROR_SUCCESS) {
      continue;
    }
    AddKeyTree(key, branch.root + L"\\" + branch.path, snapshot.keys);
    RegCloseKey(key);
  }
  for (const std::wstring& folder : spec.folders) {
    const std::wstring path = WithoutFinalSeparator(folder);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      AddFolderTree(path, snapshot.files);
    }
  }
  SortUnique(snapshot.keys, [](const KeyShot& k) { return k.path; });
  for (KeyShot& key : snapshot.keys) {
    SortUnique(key.values, [](const ValueShot& v) { return v.name; });
  }
  SortUnique(snapshot.files, [](const FileShot& f) { return f.path; });
  return snapshot;
}

}  // namespace mailstow
