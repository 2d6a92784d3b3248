#include "auto/auto_selection_store.h"

#include <string>

#include "base/registry_key.h"

namespace mailstow {
namespace {

std::wstring ClientKeyPath(const AutoClient& client) {
  return std::wstring(kAutoBackupKeyPath) + L"\\" + std::wstring(client.key);
}

// Reads a flag; writes false in its place when it is missing (or not a flag).
bool LoadFlag(RegistryKey& key, std::wstring_view name) {
  const std::wstring value_name(name);
  const RegistryRead<bool> stored = key.ReadBool(value_name);
  if (stored.ok()) return stored.value;
  if (stored.status == ReadStatus::kMissing) key.WriteBool(value_name, false);
  return false;
}

}  // namespace

AutoSelections LoadAutoSelections() {
  AutoSelections selections = ClearedSelections();
  const auto clients = AutoClients();
  for (size_t i = 0; i < clients.size(); ++i) {
    RegistryKey key;
    if (!key.Open(HKEY_CURRENT_USER, ClientKeyPath(clients[i]), true)) continue;
    selections[i].select = LoadFlag(key, kSelectFlag);
    for (size_t flag = 0; flag < clients[i].item_flags.size(); ++flag) {
      selections[i].items[flag] = LoadFlag(key, clients[i].item_flags[flag]);
    }
  }
  return selections;
}

void SaveAutoSelections(const AutoSelections& selections) {
  const auto clients = AutoClients();
  for (size_t i = 0; i < clients.size(); ++i) {
    RegistryKey key;
    if (!key.Open(HKEY_CURRENT_USER, ClientKeyPath(clients[i]), true)) continue;
    key.WriteBool(kSelectFlag, selections[i].select);
    for (size_t flag = 0; flag < clients[i].item_flags.size(); ++flag) {
      const bool ticked = flag < selections[i].items.size() && selections[i].items[flag];
      key.WriteBool(std::wstring(clients[i].item_flags[flag]), ticked);
    }
  }
}

}  // namespace mailstow
