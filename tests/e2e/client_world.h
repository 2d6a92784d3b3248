// Synthetic client worlds as end-to-end tests install and compare them.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/snapshot.h"

namespace mailstow::e2e {

// Installs the synthetic world of one client (after removing any earlier one) at a small
// scale and returns what belongs to it for snapshots.
::testing::AssertionResult InstallClientWorld(const std::wstring& client, uint64_t seed,
                                              SnapshotSpec* scope);

// Every file below a folder by its path relative to that folder, with its content hash.
std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder);

// The lines of a text, one per line, for readable failure output.
std::string Joined(const std::vector<std::wstring>& lines);

}  // namespace mailstow::e2e
