// The trail of a direct restore: what it created that was not there before (files, folders,
// registry keys and values), the registry values it replaced with their former data, and the
// files it replaced that the safety copy taken before it does not hold, which are copied aside
// first. Undoing a restore brings the safety copy back and
// then takes this trail back, so that the client's places are as they were.
#pragma once

#include <windows.h>

#include <compare>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/text_blocks.h"
#include "engine/reg_text_format.h"

namespace mailstow {

class RestoreTrail {
 public:
  // Writes below the staging folders are the program's own and are not recorded; files set
  // aside go into aside_folder.
  RestoreTrail(std::vector<std::wstring> staging_folders, std::wstring aside_folder);

  // A file the safety copy holds: replacing it needs no copy aside.
  void AddKeptFile(std::wstring_view path);

  // Before a file is written: a missing file is recorded as created; an existing one that the
  // safety copy does not hold is copied aside. False when that copy failed: the file must not
  // be written then.
  bool BeforeFileWrite(const std::wstring& path);
  // Before a folder tree is created: each missing folder of it is recorded.
  void BeforeFolderCreate(const std::wstring& folder);
  // Before a registry key is opened for writing, and before a value of an existing key is set
  // (a value that exists keeps its former type and data in the trail).
  void BeforeKeyWrite(TRootKeys root, const std::wstring& key_path);
  void BeforeValueWrite(TRootKeys root, const std::wstring& key_path, const std::wstring& name);
  // Before a client step deletes a key with everything below it: every value of the tree keeps
  // its type and data in the trail.
  void BeforeKeyTreeDelete(TRootKeys root, const std::wstring& key_path);

  // Saves the trail as UTF-16 text; Load reads such a file (false when missing or unreadable).
  bool Save(const std::wstring& path) const;
  bool Load(const std::wstring& path);

  // Takes the restore back as far as this trail goes, before the safety copy is restored:
  // created values, keys and files are deleted, files set aside are put back, created folders
  // go when they are empty. Returns what could not be taken back, one line each.
  std::vector<std::wstring> TakeBack() const;
  // After the safety copy was restored: the values the restore replaced get their former type
  // and data back, byte for byte (the client's restore steps may have rewritten some).
  std::vector<std::wstring> PutBackReplacedValues() const;

  bool empty() const;

 private:
  enum class KeyChange { kCreatedKey, kCreatedValue, kReplacedValue };
  struct KeyRecord {
    KeyChange change;
    TRootKeys root;
    std::wstring path;
    std::wstring value = {};  // the value's name; empty for a whole key
    DWORD type = REG_NONE;    // kReplacedValue: the former type and data
    std::vector<unsigned char> data = {};
  };
  struct AsideRecord {
    std::wstring original;
    std::wstring copy;
  };
  // A path as files are told apart: a 128-bit hash of its case-folded text. A restore of many
  // thousands of files keeps 16 bytes for each instead of its path twice; two paths share a
  // hash with a chance far below that of a disk error.
  struct PathKey {
    uint64_t first = 0;
    uint64_t second = 0;
    auto operator<=>(const PathKey&) const = default;
  };
  struct PathKeyHash {
    size_t operator()(const PathKey& key) const { return static_cast<size_t>(key.first); }
  };
  using PathKeys = std::unordered_set<PathKey, PathKeyHash>;
  static PathKey KeyOf(std::wstring_view path);
  // Whether a registry key or value was noted before; notes it when not.
  bool KeyRecorded(const std::wstring& text);
  bool IsStaging(const std::wstring& path) const;

  std::vector<std::wstring> staging_folders_;
  std::wstring aside_folder_;
  std::vector<PathKey> kept_files_;  // sorted before the first look-up
  bool kept_sorted_ = true;
  PathKeys seen_files_;               // every file and folder noted once
  std::set<std::wstring> seen_keys_;  // folded case: root, key and value noted once
  TextList created_files_;
  std::vector<std::wstring> created_folders_;
  std::vector<KeyRecord> created_keys_;
  std::vector<AsideRecord> aside_;
};

}  // namespace mailstow
