// Small helpers every adapter uses: reading the client's registry values, path texts with
// and without their final separator, and the checks that a name or folder taken from an
// archive (manifest lines, map values, identity names) must pass before it becomes a path.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/ini_text.h"
#include "clients/folder_tokens.h"
#include "clients/mail_client_adapter.h"
#include "engine/archive_job.h"

namespace mailstow {

// A registry string; empty when the key or the value is missing.
std::wstring ReadText(HKEY root, const std::wstring& path, const wchar_t* name);
// The names of a key's sub-keys in enumeration order; empty when the key is missing.
std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& path);
// The current user's application-data folder from the shell folders; empty when unset.
std::wstring AppDataFolder();
// The current user's local application-data folder from the shell folders; empty when unset.
std::wstring LocalAppDataFolder();
// The folders that tokens in stored folder texts stand for on this machine.
TokenFolders MachineTokenFolders(const std::wstring& app_data);

std::wstring WithoutTrailingBackslash(std::wstring text);
std::wstring WithTrailingBackslash(std::wstring text);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

// A single non-empty name component: no separators, no drive, not "." or "..".
bool IsPlainName(const std::wstring& text);
// A non-empty relative path that stays inside the folder it is joined to (no "..", no drive,
// no leading separator, no stream names).
bool IsSafeRelativePath(const std::wstring& text);
// An absolute path on a drive ("C:\...") without ".." components.
bool IsAbsoluteLocalPath(const std::wstring& text);

// The values of a section's keys in file order.
std::vector<std::wstring> SectionValues(const IniText& ini, const std::wstring& section);

// Adds a single named file to the backup job when it exists; otherwise the run log names it
// ("Not found: <path>") and nothing is added. True when the file was added.
bool AddFileIfExists(AdapterContext& context, const std::wstring& path, const std::wstring& folder,
                     const std::wstring& strip_prefix);

// Equal texts without regard to letter case, as the file system compares names.
bool SameName(std::wstring_view a, std::wstring_view b);

// Adds a folder's entries to the backup job (AddFolderEntries: with the extension "*" the
// whole folder, everything below it included) when the folder exists; otherwise the run log
// names it ("Not found: <path>"). True when it exists.
bool AddFolderIfExists(AdapterContext& context, const std::wstring& folder,
                       const std::wstring& archive_folder, const std::wstring& strip_prefix,
                       const std::wstring& extension,
                       const ArchiveJob::LeaveOut& leave_out = nullptr);

// Names in the run log a ticked item that this machine does not have ("Item not found:
// <item>"); such an item is left out of the archive and does not fail the backup.
void LogItemNotFound(AdapterContext& context, const std::wstring& item);

// A name usable as one folder name: characters that file names cannot hold become "_", as do
// trailing dots and spaces and the names "." and "..".
std::wstring SafeFolderName(const std::wstring& name);

// Deletes earlier copies of the named files from the staging folder, so that an extraction
// run that fails to bring them anew never leaves a stale file to be acted on.
void ClearStagedFiles(const AdapterContext& context, const std::vector<std::wstring>& files);

}  // namespace mailstow
