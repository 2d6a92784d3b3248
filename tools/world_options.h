// The command line of make_world.
#pragma once

#include <string>
#include <vector>

#include "tools/world_clients.h"

namespace mailstow {

enum class WorldAction { kInstall, kRemove, kSnapshot, kCompare, kHelp };

struct WorldOptions {
  WorldAction action = WorldAction::kInstall;
  WorldRequest request;
  std::wstring snapshot_file;  // kSnapshot
  std::wstring first_file;     // kCompare
  std::wstring second_file;    // kCompare
};

// Parses the arguments after the program name. False, with the reason in *error, when they are
// not understood. Without --clients every described client is meant.
bool ParseWorldOptions(const std::vector<std::wstring>& args, WorldOptions* options,
                       std::wstring* error);

std::wstring WorldUsage();

}  // namespace mailstow
