// Deletes what belongs to a set of clients: the registry branches and folder trees of a snapshot
// scope. Used to destroy a world before a restore, or to clear it before it is made again.
#pragma once

#include <string>

#include "tools/snapshot.h"

namespace mailstow {

// Missing branches and folders are not an error. False, with the first failure in *error, when
// something could not be deleted.
bool RemoveScope(const SnapshotSpec& scope, std::wstring* error);

}  // namespace mailstow
