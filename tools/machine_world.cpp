#include "tools/machine_world.h"

#include <shlobj.h>
#include <windows.h>

#include "base/registry_key.h"
#include "tools/world_installer.h"
#include "tools/world_removal.h"

namespace mailstow {
namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::optional<std::wstring> ShellFolder(const wchar_t* value, int csidl) {
  RegistryKey key;
  if (key.Open(HKEY_CURRENT_USER, kShellFolders, false, KEY_READ)) {
    const RegistryRead<std::wstring> folder = key.ReadString(value);
    if (folder.ok() && !folder.value.empty()) return folder.value;
  }
  wchar_t path[MAX_PATH];
  if (SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path) ==
      S_OK) {
    return std::wstring(path);
  }
  return std::nullopt;
}

std::optional<std::wstring> Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return std::wstring(value, length);
}

std::optional<std::wstring> WindowsFolder() {
  wchar_t path[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return std::wstring(path, length);
}

std::optional<std::wstring> SystemDrive() {
  if (auto drive = Environment(L"SystemDrive")) return drive;
  if (auto windows = WindowsFolder()) return windows->substr(0, 2);
  return std::nullopt;
}

}  // namespace

FolderLookup MachineFolders() {
  return [](std::wstring_view name) -> std::optional<std::wstring> {
    if (name == L"AppData") return ShellFolder(L"AppData", CSIDL_APPDATA);
    if (name == L"Favorites") return ShellFolder(L"Favorites", CSIDL_FAVORITES);
    if (name == L"LocalAppData") return ShellFolder(L"Local AppData", CSIDL_LOCAL_APPDATA);
    if (name == L"UserProfile") return Environment(L"USERPROFILE");
    if (name == L"SystemDrive") return SystemDrive();
    if (name == L"ProgramFiles") {
      if (auto folder = Environment(L"ProgramFiles")) return folder;
      if (auto drive = SystemDrive()) return *drive + L"\\Program Files";
      return std::nullopt;
    }
    if (name == L"SystemRoot") return WindowsFolder();
    return std::nullopt;
  };
}

bool DescribeMachineWorld(const WorldRequest& request, std::vector<ClientWorld>* worlds,
                          std::wstring* error) {
  *worlds = DescribeWorld(request);
  std::wstring unresolved;
  if (!ResolveWorld(*worlds, MachineFolders(), &unresolved)) {
    *error = L"no folder of this machine for \"" + unresolved + L"\"";
    return false;
  }
  return true;
}

bool InstallMachineWorld(const WorldRequest& request, SnapshotSpec* scope, std::wstring* error) {
  std::vector<ClientWorld> worlds;
  InstallSummary summary;
  if (!DescribeMachineWorld(request, &worlds, error) || !RemoveScope(ScopeOf(worlds), error) ||
      !InstallWorld(worlds, &summary, error)) {
    return false;
  }
  *scope = ScopeOf(worlds);
  return true;
}

}  // namespace mailstow
