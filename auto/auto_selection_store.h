// The per-client selections of scheduled backups under HKEY_CURRENT_USER's AutoBackup key.
#pragma once

#include "auto/auto_clients.h"

namespace mailstow {

// Every flag cleared, then each stored value read; a missing value is written as false.
AutoSelections LoadAutoSelections();

// Writes every flag of every client.
void SaveAutoSelections(const AutoSelections& selections);

}  // namespace mailstow
