#include "undo_files.h"

#include <windows.h>

#include "base/client_table.h"
#include "base/folders.h"
#include "base/registry_key.h"
#include "clients/adapter_values.h"

namespace mailstow {

UndoFiles UndoFilesOf(int client_index) {
  // The same shell folder the clients' own local data is found by.
  std::wstring local = LocalAppDataFolder();
  if (local.empty()) {
    wchar_t variable[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", variable, MAX_PATH);
    if (length > 0 && length < MAX_PATH) local = variable;
  }
  UndoFiles files;
  files.folder = local + L"\\Mailstow\\Undo";
  const ClientInfo* client = ClientByIndex(client_index);
  std::wstring name = client != nullptr ? std::wstring(client->prefix) : L"Client";
  while (!name.empty() && name.back() == L' ') name.pop_back();
  const std::wstring base = files.folder + L"\\" + name;
  files.archive = base + L".ebk";
  files.trail = base + L".trail";
  files.aside_folder = base + L" replaced files";
  return files;
}

bool UndoAvailable(const UndoFiles& files, double* when) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(files.trail.c_str(), GetFileExInfoStandard, &data)) return false;
  if (when != nullptr) {
    FILETIME local;
    SYSTEMTIME time;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &time);
    *when = SystemTimeAsDays(time);
  }
  return true;
}

void DiscardUndo(const UndoFiles& files) {
  SetFileAttributesW(files.archive.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(files.archive.c_str());
  DiscardUndoTrail(files);
}

void DiscardUndoTrail(const UndoFiles& files) {
  DeleteFileW(files.trail.c_str());
  if (IsFolder(files.aside_folder)) RemoveFolderTree(files.aside_folder);
}

}  // namespace mailstow
