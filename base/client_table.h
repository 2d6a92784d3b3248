// The ten mail clients and the names that tie each one together: index, manifest key,
// radio button, archive-name prefix, executables, last-archive slot and auto-backup subkey.
#pragma once

#include <span>
#include <string_view>

namespace mailstow {

inline constexpr int kClientCount = 10;

struct ClientInfo {
  int index;                       // 1..10
  std::wstring_view key;           // "EmailClient" value of a manifest
  std::wstring_view radio_button;  // component on wizard page 3
  std::wstring_view caption;       // design caption of the radio button
  std::wstring_view default_name;  // default value of \software\clients\mail naming it
  std::wstring_view prefix;        // start of default archive names, ends with a blank
  std::span<const std::wstring_view> executables;  // running-client check, in order
  std::wstring_view last_slot;                     // settings value, empty for memory only
  std::wstring_view auto_subkey;                   // subkey of the auto-backup settings
};

std::span<const ClientInfo> AllClients();
// The client of an index 1..10, or null.
const ClientInfo* ClientByIndex(int index);
// The client index of a manifest key (exact, case-sensitive), or 0.
int ClientIndexForKey(std::wstring_view key);

}  // namespace mailstow
