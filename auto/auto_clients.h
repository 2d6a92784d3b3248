// The clients of scheduled backups: the rows of the auto-backup dialog, the flags stored
// for each under the AutoBackup key, the item rows the dialog shows and how the unattended
// run names and ticks each client's backup. Rows are in table order, which is also the
// order of the unattended run.
#pragma once

#include <array>
#include <span>
#include <string_view>
#include <vector>

namespace mailstow {

inline constexpr int kAutoClientCount = 10;
inline constexpr wchar_t kAutoBackupKeyPath[] = L"Software\\Corvane\\Mailstow\\AutoBackup";
inline constexpr wchar_t kSelectFlag[] = L"Select";

struct AutoClient {
  std::wstring_view caption;      // the dialog's client row
  std::wstring_view key;          // subkey of the AutoBackup key
  int client_index;               // 1..10, as in the client table
  std::wstring_view name_prefix;  // start of the client's archive names
  // The stored item flags after "Select", in flag order; empty for clients whose backup
  // always takes every item.
  std::span<const std::wstring_view> item_flags;
  std::span<const std::wstring_view> item_rows;  // the dialog's item rows, in order
};

std::span<const AutoClient> AutoClients();

// The selection of one client: "Select" and one tick per item flag.
struct AutoClientSelection {
  bool select = false;
  std::vector<bool> items;  // one per item flag of the client
};

using AutoSelections = std::array<AutoClientSelection, kAutoClientCount>;

// Every flag cleared, with the item vectors sized for their clients.
AutoSelections ClearedSelections();

// Whether the unattended run ticks item row `row` of the client's item list: clients
// without item flags tick every row; the others tick row k by their k-th flag and leave
// rows beyond their flags unticked.
bool AutoItemTicked(const AutoClient& client, const AutoClientSelection& selection, int row);

}  // namespace mailstow
