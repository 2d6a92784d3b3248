// Takes a snapshot of registry branches and folder trees on this machine.
#pragma once

#include "tools/snapshot.h"

namespace mailstow {

// Every key below each branch (the branch key included) with all its values, and every folder
// and file below each folder (the folder included) with its size and content hash. Missing
// branches and folders contribute nothing. Keys, values and files are sorted by their names
// without regard to letter case; an entry reached through two overlapping roots appears once.
Snapshot TakeSnapshot(const SnapshotSpec& spec);

}  // namespace mailstow
