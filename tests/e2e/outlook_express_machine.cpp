#include "tests/e2e/outlook_express_machine.h"

#include <windows.h>

#include "base/registry_key.h"
#include "clients/folder_tokens.h"
#include "tests/e2e/driver.h"

namespace mailstow::e2e {

std::wstring ShellFolder(const wchar_t* name) {
  return ReadRegistryString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      name);
}

std::wstring IdentityPath(const std::wstring& key) {
  return std::wstring(kIdentitiesKey) + L"\\" + key;
}

std::wstring IdentitySettingsPath(const std::wstring& key) {
  return IdentityPath(key) + kOutlookExpressVersion;
}

bool KeyExists(const std::wstring& path) {
  RegistryKey key;
  return key.Open(HKEY_CURRENT_USER, path, false, KEY_READ);
}

std::vector<OeIdentity> MachineIdentities() {
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const TokenFolders tokens = TokenFoldersFrom(ShellFolder(L"AppData"), windows);
  std::vector<OeIdentity> identities;
  RegistryKey root;
  if (!root.Open(HKEY_CURRENT_USER, kIdentitiesKey, false, KEY_READ)) return identities;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(root.handle(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    OeIdentity identity;
    identity.key = name;
    identity.name = ReadRegistryString(HKEY_CURRENT_USER, IdentityPath(name), L"Username");
    identity.store_root =
        ReadRegistryString(HKEY_CURRENT_USER, IdentitySettingsPath(name), L"Store Root");
    std::wstring store = identity.store_root;
    if (!store.empty() && store.back() == L'\\') store.pop_back();
    identity.store = ReplaceLeadingToken(store, tokens);
    identities.push_back(identity);
  }
  return identities;
}

}  // namespace mailstow::e2e
