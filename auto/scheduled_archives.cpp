#include "auto/scheduled_archives.h"

#include <windows.h>

#include <algorithm>

#include "base/registry_key.h"
#include "base/settings.h"
#include "base/text_case.h"

namespace mailstow {

ScheduledArchives ScheduledArchives::Load() {
  ScheduledArchives list;
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, false, KEY_READ)) return list;
  const RegistryRead<std::wstring> stored = key.ReadString(kScheduledArchivesValue);
  if (!stored.ok()) return list;
  size_t start = 0;
  while (start < stored.value.size()) {
    const size_t end = std::min(stored.value.find(L'|', start), stored.value.size());
    const std::wstring path = stored.value.substr(start, end - start);
    start = end + 1;
    if (!path.empty() && !list.Contains(path)) list.paths_.push_back(path);
  }
  list.ForgetMissing();
  return list;
}

void ScheduledArchives::ForgetMissing() {
  const size_t erased = std::erase_if(paths_, [](const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  });
  if (erased > 0) Store();
}

bool ScheduledArchives::Contains(const std::wstring& path) const {
  return std::any_of(paths_.begin(), paths_.end(),
                     [&path](const std::wstring& own) { return EqualsIgnoreCase(own, path); });
}

bool ScheduledArchives::Add(const std::wstring& path) {
  if (!Contains(path)) paths_.push_back(path);
  return Store();
}

bool ScheduledArchives::Store() const {
  std::wstring joined;
  for (const std::wstring& path : paths_) {
    if (!joined.empty()) joined += L'|';
    joined += path;
  }
  RegistryKey key;
  return key.Open(HKEY_CURRENT_USER, kSettingsKeyPath, true) &&
         key.WriteString(kScheduledArchivesValue, joined);
}

}  // namespace mailstow
