#include "auto/run_failure_notice.h"

#include <windows.h>

#include "base/registry_key.h"
#include "base/settings.h"

namespace mailstow {
namespace {

constexpr wchar_t kFailedClients[] = L"AutoBackupFailed";
constexpr wchar_t kFailedAt[] = L"AutoBackupFailedAt";

}  // namespace

bool StoreRunFailureNotice(const RunFailureNotice& notice) {
  RegistryKey key;
  return key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, true) &&
         key.WriteString(kFailedClients, notice.clients) &&
         key.WriteDateTime(kFailedAt, notice.when);
}

std::optional<RunFailureNotice> TakeRunFailureNotice() {
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, false)) return std::nullopt;
  const RegistryRead<std::wstring> clients = key.ReadString(kFailedClients);
  const RegistryRead<double> when = key.ReadDateTime(kFailedAt);
  if (!clients.ok()) return std::nullopt;
  key.DeleteValue(kFailedClients);
  key.DeleteValue(kFailedAt);
  return RunFailureNotice{clients.value, when.ok() ? when.value : 0};
}

}  // namespace mailstow
