// Opening an archive for restore, finding the client an archive was made for, and the
// drive fallback for stored paths whose drive no longer exists.
#pragma once

#include <string>

#include "engine/archive_job.h"

namespace mailstow {

enum class OpenOutcome { kOpened, kMissing, kWrongPassword, kNotAnArchive, kVolumeCancelled };

// Extracts the manifest "infobak.ini" into the staging folder and reports failures in
// message boxes: a missing file, a wrong password (not after a cancelled password prompt;
// the archive password is cleared in both cases), a file that is not an archive.
OpenOutcome OpenArchiveForRestore(ArchiveJob& job, JobHost& host, const std::wstring& archive_path);

// Extracts the manifest with its own log block in log_path and returns the client index
// its "EmailClient" names, or current_index when it names none of the ten.
int ReadArchiveClient(ArchiveJob& job, RunLog& log, const std::wstring& log_path,
                      const std::wstring& archive_path, int current_index);

// The path itself when its folder exists or can be made (one level); otherwise the path
// with its drive letter replaced by the first fixed drive from A to X; unchanged when
// there is none.
std::wstring FixedDriveFallback(const std::wstring& path);

}  // namespace mailstow
