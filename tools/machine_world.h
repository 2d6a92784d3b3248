// A world description placed on this machine: folder placeholders replaced by the current user's
// folders, as the mail clients themselves would find them.
#pragma once

#include <string>
#include <vector>

#include "tools/world_clients.h"
#include "tools/world_placeholders.h"

namespace mailstow {

// "AppData", "LocalAppData" and "Favorites" from the user's shell-folder values (the system's
// answer when a value is missing), "UserProfile", "SystemDrive" and "ProgramFiles" from the
// environment, "SystemRoot" the Windows folder.
FolderLookup MachineFolders();

// The worlds of the request with this machine's folders. False, with the reason in *error, when a
// folder cannot be found.
bool DescribeMachineWorld(const WorldRequest& request, std::vector<ClientWorld>* worlds,
                          std::wstring* error);

// Describes the worlds of the request for this machine, removes any earlier copy of them and
// installs them; *scope receives what belongs to them. False, with the reason in *error, when
// a step fails.
bool InstallMachineWorld(const WorldRequest& request, SnapshotSpec* scope, std::wstring* error);

}  // namespace mailstow
