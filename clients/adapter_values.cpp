#include "adapter_values.h"

#include "base/registry_key.h"
#include "engine/archive_job.h"
#include "engine/job_rules.h"
#include "engine/run_log.h"

namespace mailstow {

std::wstring ReadText(HKEY root, const std::wstring& path, const wchar_t* name) {
  RegistryKey key;
  if (!key.Open(root, path, false, KEY_READ)) return {};
  return key.ReadString(name).value;
}

std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& path) {
  std::vector<std::wstring> names;
  RegistryKey key;
  if (!key.Open(root, path, false, KEY_READ)) return names;
  wchar_t name[256];  // the longest key name the registry allows, and its terminator
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key.handle(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

std::wstring AppDataFolder() {
  return ReadText(HKEY_CURRENT_USER,
                  L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  L"AppData");
}

std::wstring LocalAppDataFolder() {
  return ReadText(HKEY_CURRENT_USER,
                  L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  L"Local AppData");
}

TokenFolders MachineTokenFolders(const std::wstring& app_data) {
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  return TokenFoldersFrom(app_data, windows);
}

std::wstring WithoutTrailingBackslash(std::wstring text) {
  if (!text.empty() && text.back() == L'\\') text.pop_back();
  return text;
}

std::wstring WithTrailingBackslash(std::wstring text) {
  if (text.empty() || text.back() != L'\\') text += L'\\';
  return text;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsPlainName(const std::wstring& text) {
  return !text.empty() && text != L"." && text != L".." &&
         text.find_first_of(L"\\/:") == std::wstring::npos;
}

bool IsSafeRelativePath(const std::wstring& text) { return StaysInside(text); }

bool IsAbsoluteLocalPath(const std::wstring& text) {
  if (text.size() < 3 || text[1] != L':' || (text[2] != L'\\' && text[2] != L'/')) return false;
  const wchar_t drive = text[0];
  if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z'))) return false;
  return text.size() == 3 || StaysInside(text.substr(3));
}

std::vector<std::wstring> SectionValues(const IniText& ini, const std::wstring& section) {
  std::vector<std::wstring> values;
  for (const std::wstring& key : ini.KeyNames(section))
    values.push_back(ini.ReadString(section, key, L""));
  return values;
}

bool AddFileIfExists(AdapterContext& context, const std::wstring& path, const std::wstring& folder,
                     const std::wstring& strip_prefix) {
  if (!FileExists(path)) {
    context.log.Line(L"Not found: " + path);
    return false;
  }
  context.archive.AddJobEntry(path, folder, strip_prefix);
  return true;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool AddFolderIfExists(AdapterContext& context, const std::wstring& folder,
                       const std::wstring& archive_folder, const std::wstring& strip_prefix,
                       const std::wstring& extension, const ArchiveJob::LeaveOut& leave_out) {
  if (!FolderExists(folder)) {
    context.log.Line(L"Not found: " + folder);
    return false;
  }
  context.archive.AddFolderEntries(folder, archive_folder, strip_prefix, extension, leave_out);
  return true;
}

void LogItemNotFound(AdapterContext& context, const std::wstring& item) {
  context.log.Line(L"Item not found: " + item);
}

std::wstring SafeFolderName(const std::wstring& name) {
  std::wstring safe = name;
  for (wchar_t& c : safe) {
    if (c < 32 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) c = L'_';
  }
  for (size_t i = safe.size(); i > 0 && (safe[i - 1] == L'.' || safe[i - 1] == L' '); --i) {
    safe[i - 1] = L'_';
  }
  return safe.empty() ? L"_" : safe;
}

void ClearStagedFiles(const AdapterContext& context, const std::vector<std::wstring>& files) {
  for (const std::wstring& file : files) {
    const std::wstring path = context.staging_folder + L"\\" + file;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
}

}  // namespace mailstow
