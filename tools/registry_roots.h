// The registry roots by the names that snapshots and registry dump files use.
#pragma once

#include <windows.h>

#include <string_view>

namespace mailstow {

// HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE; null for any other name.
inline HKEY RegistryRootHandle(std::wstring_view name) {
  if (name == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  if (name == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  return nullptr;
}

}  // namespace mailstow
