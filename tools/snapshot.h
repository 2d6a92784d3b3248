// Snapshots of registry branches and folder trees, and the differences between two of them:
// what a test compares to prove that nothing was lost on the way through a backup and restore.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mailstow {

// Registry value types as the registry numbers them.
inline constexpr uint32_t kTypeString = 1;
inline constexpr uint32_t kTypeExpandString = 2;
inline constexpr uint32_t kTypeBinary = 3;
inline constexpr uint32_t kTypeDword = 4;
inline constexpr uint32_t kTypeMultiString = 7;
inline constexpr uint32_t kTypeQword = 11;

// A registry branch: the key root\path and everything below it. The root is named as in registry
// dump files: "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
struct SnapshotBranch {
  std::wstring root;
  std::wstring path;
  bool operator==(const SnapshotBranch&) const = default;
};

// What a snapshot covers: registry branches and folders (each with its whole tree).
struct SnapshotSpec {
  std::vector<SnapshotBranch> branches;
  std::vector<std::wstring> folders;
};

struct ValueShot {
  std::wstring name;  // empty for the unnamed (default) value
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool operator==(const ValueShot&) const = default;
};

struct KeyShot {
  std::wstring path;  // root name, "\", key path
  std::vector<ValueShot> values;
  bool operator==(const KeyShot&) const = default;
};

struct FileShot {
  std::wstring path;  // full path
  bool folder = false;
  uint64_t size = 0;
  std::string hash;  // SHA-256 of the content, hexadecimal; empty for folders
  bool operator==(const FileShot&) const = default;
};

struct Snapshot {
  std::vector<KeyShot> keys;
  std::vector<FileShot> files;
  bool operator==(const Snapshot&) const = default;
};

// Every difference from before to after, one line each: keys first, then files, each in path
// order. Key, value and file names are matched without regard to letter case, as Windows matches
// them; a changed spelling is reported as a difference of its own. No lines: the snapshots are
// equal.
std::vector<std::wstring> Differences(const Snapshot& before, const Snapshot& after);

std::wstring TypeName(uint32_t type);

}  // namespace mailstow
