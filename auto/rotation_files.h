// Removes a client's older unattended backups from the backup folder by the backup mode.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mailstow {

struct RotationRequest {
  std::wstring backup_dir;   // ends with "\"
  std::wstring prefix;       // user prefix + the client's name prefix
  std::wstring new_archive;  // the archive just written: never removed
  int mode = 2;
  int keep = 0;
  // Whether a scheduled run of this user wrote the archive at this path.
  std::function<bool(const std::wstring&)> written_by_schedule;
};

// Finds the client's archives (hidden and system files too, folders never): files whose names
// have exactly the generated form and that a scheduled run wrote. Deletes the ones the mode
// removes, each with the volume parts of a split archive; any other file stays, whatever its
// name. Every deletion, and every one that failed, is reported through `log`. Returns the
// archives deleted.
std::vector<std::wstring> RotateArchives(const RotationRequest& request,
                                         const std::function<void(const std::wstring&)>& log);

// Deletes one archive with the volume parts of a split archive; false when the archive
// itself cannot be deleted.
bool DeleteBackup(const std::wstring& archive, const std::function<void(const std::wstring&)>& log);

}  // namespace mailstow
