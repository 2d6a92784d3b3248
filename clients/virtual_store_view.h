// Clients that keep their data beside their program below the Program Files folders, as such
// a client sees them without administrator rights: Windows redirects its writes there into
// the user's VirtualStore copy and lets it read that copy in place of the program folder's
// file. A backup takes each file from where the client reads it, and a direct restore writes
// into the copy when the program folder cannot be written.
#pragma once

#include <string>
#include <vector>

#include "clients/mail_client_adapter.h"
#include "engine/archive_job.h"

namespace mailstow {

// The user's VirtualStore copy of a path; empty when the path lies below no Program Files
// folder.
std::wstring VirtualStoreCopy(const std::wstring& path);
// The file the client reads at path: its VirtualStore copy when that exists, else path.
std::wstring SeenPath(const std::wstring& path);
// Whether the folder, or its copy, exists.
bool SeenFolderExists(const std::wstring& folder);

// AddFileIfExists for the file the client reads, stored under the same name.
bool AddSeenFile(AdapterContext& context, const std::wstring& path, const std::wstring& folder,
                 const std::wstring& strip_prefix);
// AddFolderIfExists for the folder as the client sees it: what the folder's VirtualStore copy
// holds is taken from there, and the rest from the folder, each stored under the same name.
bool AddSeenFolder(AdapterContext& context, const std::wstring& folder,
                   const std::wstring& archive_folder, const std::wstring& strip_prefix,
                   const std::wstring& extension, const ArchiveJob::LeaveOut& leave_out = nullptr);
// FoldersHoldingFiles over the folder and its copy, each folder named by its path in the
// folder (not the copy) and listed once.
std::vector<std::wstring> SeenFoldersHoldingFiles(AdapterContext& context,
                                                  const std::wstring& start,
                                                  const std::wstring& extension);

// Whether this user can create a file in the folder, or where it is missing, in its nearest
// existing parent.
bool FolderWritable(const std::wstring& folder);
// The folder a direct restore writes a client folder into: the folder itself when it can be
// written, else, named in the run log, its VirtualStore copy, which is where the client reads
// (the folder itself when it has none).
std::wstring RestoreFolderFor(AdapterContext& context, const std::wstring& folder);

}  // namespace mailstow
