// The registry side of client detection.
#include <windows.h>

#include "app/client_detection.h"
#include "base/registry_key.h"

namespace mailstow {
namespace {

bool KeyExists(HKEY root, const wchar_t* path) {
  RegistryKey key;
  return key.Open(root, path, false, KEY_READ);
}

}  // namespace

DetectionInput ReadDetectionInput() {
  DetectionInput input;
  RegistryKey mail;
  if (mail.Open(HKEY_LOCAL_MACHINE, L"software\\clients\\mail", false, KEY_READ)) {
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(mail.handle(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      input.mail_client_subkeys.emplace_back(name, length);
    }
    const auto default_value = mail.ReadString(L"");
    if (default_value.ok()) input.default_mail_client = default_value.value;
  }
  input.user_poco_key = KeyExists(HKEY_CURRENT_USER, L"software\\poco");
  input.netscape_key = KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Netscape");
  input.opera_key = KeyExists(HKEY_CURRENT_USER, L"Software\\Opera Software");
  return input;
}

}  // namespace mailstow
