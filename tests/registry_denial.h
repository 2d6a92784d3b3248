// A registry key whose security denies every user to write values into it and to create keys
// below it, as HKEY_LOCAL_MACHINE is for a user without administrator rights (Wine lets every
// user write there otherwise). The key's former security comes back when the denial ends.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <string>
#include <vector>

#include "base/registry_key.h"

namespace mailstow {

class RegistryWriteDenial {
 public:
  // Creates root\path when missing and denies writing it.
  RegistryWriteDenial(HKEY root, const std::wstring& path) {
    if (!key_.Open(root, path, true, KEY_READ | READ_CONTROL | WRITE_DAC)) return;
    DWORD size = 0;
    RegGetKeySecurity(key_.handle(), DACL_SECURITY_INFORMATION, nullptr, &size);
    former_.resize(size);
    if (size == 0 || RegGetKeySecurity(key_.handle(), DACL_SECURITY_INFORMATION, former_.data(),
                                       &size) != ERROR_SUCCESS) {
      former_.clear();
      return;
    }
    // Denied: KEY_SET_VALUE | KEY_CREATE_SUB_KEY, for Everyone, inherited by new sub-keys.
    PSECURITY_DESCRIPTOR denied = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(D;OICI;0x6;;;WD)(A;OICI;KA;;;WD)", SDDL_REVISION_1, &denied, nullptr)) {
      return;
    }
    applied_ = RegSetKeySecurity(key_.handle(), DACL_SECURITY_INFORMATION, denied) == ERROR_SUCCESS;
    LocalFree(denied);
  }
  ~RegistryWriteDenial() {
    if (applied_) RegSetKeySecurity(key_.handle(), DACL_SECURITY_INFORMATION, former_.data());
  }
  RegistryWriteDenial(const RegistryWriteDenial&) = delete;
  RegistryWriteDenial& operator=(const RegistryWriteDenial&) = delete;

  bool applied() const { return applied_; }

 private:
  RegistryKey key_;
  std::vector<unsigned char> former_;
  bool applied_ = false;
};

}  // namespace mailstow
