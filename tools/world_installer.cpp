#include "tools/world_installer.h"

#include <windows.h>

#include "base/folders.h"
#include "base/registry_key.h"
#include "tools/registry_roots.h"
#include "tools/world_content.h"

namespace mailstow {
namespace {

constexpr size_t kWritePiece = 1 << 20;

bool WriteEntry(const RegistryEntry& entry, InstallSummary* summary, std::wstring* error) {
  const std::wstring where = RootName(entry.root) + L"\\" + entry.key;
  RegistryKey key;
  if (!key.Open(RegistryRootHandle(RootName(entry.root)), entry.key, true, KEY_READ | KEY_WRITE)) {
    *error = L"cannot create the key " + where;
    return false;
  }
  if (!entry.has_value) {
    ++summary->keys;
    return true;
  }
  const ValueShot& value = entry.value;
  if (RegSetValueExW(key.handle(), value.name.c_str(), 0, value.type, value.data.data(),
                     static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS) {
    *error = L"cannot write the value \"" + value.name + L"\" of " + where;
    return false;
  }
  ++summary->values;
  return true;
}

std::wstring ParentOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L'\\');
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

bool WriteFileSpec(const FileSpec& file, InstallSummary* summary, std::wstring* error) {
  if (!CreateFolderTree(ParentOf(file.path))) {
    *error = L"cannot create the folder of " + file.path;
    return false;
  }
  HANDLE handle = CreateFileW(file.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = L"cannot create the file " + file.path;
    return false;
  }
  ContentStream content(file);
  std::string piece(kWritePiece, '\0');
  bool written = true;
  while (const size_t size = content.Read(piece.data(), piece.size())) {
    DWORD done = 0;
    if (!WriteFile(handle, piece.data(), static_cast<DWORD>(size), &done, nullptr) ||
        done != size) {
      written = false;
      break;
    }
    summary->bytes += size;
  }
  if (!CloseHandle(handle)) written = false;
  if (!written) {
    *error = L"cannot write the file " + file.path;
    return false;
  }
  ++summary->files;
  return true;
}

}  // namespace

bool InstallWorld(const std::vector<ClientWorld>& worlds, InstallSummary* summary,
                  std::wstring* error) {
  *summary = InstallSummary();
  for (const ClientWorld& world : worlds) {
    for (const RegistryEntry& entry : world.registry) {
      if (!WriteEntry(entry, summary, error)) return false;
    }
    for (const std::wstring& folder : world.folders) {
      if (!CreateFolderTree(folder)) {
        *error = L"cannot create the folder " + folder;
        return false;
      }
    }
    for (const FileSpec& file : world.files) {
      if (!WriteFileSpec(file, summary, error)) return false;
    }
  }
  return true;
}

}  // namespace mailstow
