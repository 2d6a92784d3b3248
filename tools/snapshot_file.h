// Snapshots as text files, so that a snapshot taken before a backup can be compared with one
// taken after the restore by a later run of the tool. UTF-8 lines of tab-separated fields; tabs,
// line breaks, other control characters and "%" inside names are written as "%XX".
#pragma once

#include <string>
#include <string_view>

#include "tools/snapshot.h"

namespace mailstow {

std::string SerializeSnapshot(const Snapshot& snapshot);
// False, with the reason in *error, for a text that is not a well-formed snapshot.
bool ParseSnapshot(std::string_view text, Snapshot* snapshot, std::wstring* error);

}  // namespace mailstow
