// Direct access to backup archives from tests, through the archiver core: the stored names,
// one member's bytes, and archives packed from chosen files under chosen names.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/ini_text.h"

namespace mailstow::e2e {

// Stored names ("\" separators) in archive order; empty when the archive cannot be read.
std::vector<std::wstring> ArchiveMembers(const std::wstring& archive);

// The bytes of one member; false when it is missing, a folder or cannot be extracted.
bool ReadArchiveMember(const std::wstring& archive, const std::wstring& stored_name,
                       std::string* bytes);

// An INI member parsed; empty when it cannot be read.
IniText ArchiveIni(const std::wstring& archive, const std::wstring& stored_name);

struct PackedMember {
  std::wstring stored_name;
  std::string bytes;
};

// Writes a new archive holding exactly these members, stored without compression so that a
// test can find and damage a member's bytes. False when the archiver fails.
bool PackMembers(const std::wstring& archive, const std::vector<PackedMember>& members);

// Flips one byte in the middle of a member's bytes, which the archive (packed by PackMembers)
// must hold exactly once as they are.
::testing::AssertionResult DamageMember(const std::wstring& archive, const std::string& member);

}  // namespace mailstow::e2e
