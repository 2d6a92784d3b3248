#include "clients/virtual_store_view.h"

#include <windows.h>

#include <algorithm>

#include "base/folders.h"
#include "base/text_case.h"
#include "base/virtual_store.h"
#include "clients/adapter_steps.h"
#include "clients/adapter_values.h"
#include "engine/run_log.h"

namespace mailstow {
namespace {

// The Program Files folders of this machine: a 32-bit program's own and, on 64-bit Windows,
// the other one.
std::vector<std::wstring> ProgramFilesFolders() {
  std::vector<std::wstring> folders;
  for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"}) {
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) continue;
    folders.emplace_back(value, length);
  }
  return folders;
}

}  // namespace

std::wstring VirtualStoreCopy(const std::wstring& path) {
  return VirtualStorePath(path, LocalAppDataFolder(), ProgramFilesFolders());
}

std::wstring SeenPath(const std::wstring& path) {
  const std::wstring copy = VirtualStoreCopy(path);
  return !copy.empty() && IsFile(copy) ? copy : path;
}

bool SeenFolderExists(const std::wstring& folder) {
  const std::wstring copy = VirtualStoreCopy(folder);
  return FolderExists(folder) || (!copy.empty() && FolderExists(copy));
}

bool AddSeenFile(AdapterContext& context, const std::wstring& path, const std::wstring& folder,
                 const std::wstring& strip_prefix) {
  const std::wstring seen = SeenPath(path);
  if (seen == path) return AddFileIfExists(context, path, folder, strip_prefix);
  const std::wstring strip_copy = VirtualStoreCopy(strip_prefix);
  // A name the copy cannot be stored under (the prefix is no Program Files folder) keeps the
  // folder's own file.
  if (strip_copy.empty()) return AddFileIfExists(context, path, folder, strip_prefix);
  context.archive.AddJobEntry(seen, folder, WithTrailingBackslash(strip_copy));
  return true;
}

bool AddSeenFolder(AdapterContext& context, const std::wstring& folder_path,
                   const std::wstring& archive_folder, const std::wstring& strip_prefix,
                   const std::wstring& extension, const ArchiveJob::LeaveOut& leave_out) {
  const std::wstring folder = WithoutTrailingBackslash(folder_path);
  const std::wstring copy = VirtualStoreCopy(folder);
  const std::wstring strip_copy = VirtualStoreCopy(strip_prefix);
  if (copy.empty() || strip_copy.empty() || !FolderExists(copy)) {
    return AddFolderIfExists(context, folder, archive_folder, strip_prefix, extension, leave_out);
  }
  const auto copy_of = [&](const std::wstring& path) { return copy + path.substr(folder.size()); };
  // The folder's own entries but the files its copy holds.
  if (FolderExists(folder)) {
    context.archive.AddFolderEntries(
        folder, archive_folder, strip_prefix, extension, [&](const std::wstring& path) {
          return (leave_out && leave_out(path)) || IsFile(copy_of(path));
        });
  }
  // Then every file of the copy, and the folders only the copy holds.
  const std::wstring copy_strip = WithTrailingBackslash(strip_copy);
  const bool whole = extension == L"*";
  std::vector<std::wstring> pending = {folder};
  while (!pending.empty()) {
    const std::wstring here = pending.back();
    pending.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((copy_of(here) + L"\\*." + extension).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = here + L"\\" + name;
      if (leave_out && leave_out(path)) continue;
      const bool is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (!is_folder || !IsFolder(path)) {
        context.archive.AddJobEntry(copy_of(path), archive_folder, copy_strip);
      }
      if (whole && is_folder && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        pending.push_back(path);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return true;
}

std::vector<std::wstring> SeenFoldersHoldingFiles(AdapterContext& context,
                                                  const std::wstring& start,
                                                  const std::wstring& extension) {
  std::vector<std::wstring> folders = FoldersHoldingFiles(context, start, extension);
  const std::wstring copy = VirtualStoreCopy(start);
  if (copy.empty() || !FolderExists(copy)) return folders;
  const std::wstring base = WithTrailingBackslash(start);
  const std::wstring copy_base = WithTrailingBackslash(copy);
  for (const std::wstring& found : FoldersHoldingFiles(context, copy_base, extension)) {
    const std::wstring folder = base + found.substr(copy_base.size());
    if (std::none_of(folders.begin(), folders.end(),
                     [&](const std::wstring& known) { return EqualsIgnoreCase(known, folder); })) {
      folders.push_back(folder);
    }
  }
  return folders;
}

bool FolderWritable(const std::wstring& folder) {
  std::wstring existing = WithoutTrailingBackslash(folder);
  while (!IsFolder(existing)) {
    const size_t separator = existing.rfind(L'\\');
    if (separator == std::wstring::npos || separator < 2) return false;
    existing.resize(separator == 2 ? 3 : separator);
  }
  // A new file, made and deleted again; a name another file has already is passed over.
  const std::wstring probe = WithTrailingBackslash(existing) + L"~mailstow write check " +
                             std::to_wstring(GetCurrentProcessId()) + L" ";
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file =
        CreateFileW((probe + std::to_wstring(attempt) + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

std::wstring RestoreFolderFor(AdapterContext& context, const std::wstring& folder) {
  if (FolderWritable(folder)) return folder;
  const std::wstring copy = VirtualStoreCopy(folder);
  if (copy.empty()) return folder;
  context.log.Line(L"Folder not writable, restored into its VirtualStore copy: " + copy);
  return copy;
}

}  // namespace mailstow
