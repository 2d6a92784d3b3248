// The Outlook Express identities of this machine as tests see them in the registry.
#pragma once

#include <string>
#include <vector>

namespace mailstow::e2e {

inline constexpr wchar_t kIdentitiesKey[] = L"identities";
inline constexpr wchar_t kOutlookExpressVersion[] = L"\\Software\\Microsoft\\Outlook Express\\5.0";

struct OeIdentity {
  std::wstring key;
  std::wstring name;
  std::wstring store_root;  // "Store Root" as the registry holds it
  std::wstring store;       // the folder it names: token replaced, no trailing backslash
};

// A value of the user's shell folders ("AppData", ...).
std::wstring ShellFolder(const wchar_t* name);
// Every identity in registry order, which is the order of the wizard's identity list.
std::vector<OeIdentity> MachineIdentities();
// "identities\" + key.
std::wstring IdentityPath(const std::wstring& key);
// The identity's settings key: "identities\" + key + "\Software\Microsoft\Outlook Express\5.0".
std::wstring IdentitySettingsPath(const std::wstring& key);
bool KeyExists(const std::wstring& path);

}  // namespace mailstow::e2e
