// The note a scheduled run leaves when a client's backup failed or was skipped, so that the
// next wizard start tells the user once, even when nobody saw the run.
#pragma once

#include <optional>
#include <string>

namespace mailstow {

struct RunFailureNotice {
  std::wstring clients;  // the clients' names, joined by ", "
  double when = 0;       // the run's start as a registry date-time value
};

// Stores the note under the settings key, replacing an older one; false when it cannot be
// written.
bool StoreRunFailureNotice(const RunFailureNotice& notice);

// The stored note, removed as it is read; empty when there is none.
std::optional<RunFailureNotice> TakeRunFailureNotice();

}  // namespace mailstow
