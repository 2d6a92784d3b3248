// One mail client's trip through the real wizard on a synthetic world: install the world, back
// up chosen identities and items, wipe, open the archive for a restore, restore directly or
// into another folder, and compare snapshots and folder trees.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/ini_text.h"
#include "tests/e2e/wizard_session.h"
#include "tools/snapshot.h"

namespace mailstow::e2e {

// Installs the synthetic world of one client (after removing an earlier one) and returns what
// belongs to it for snapshots.
::testing::AssertionResult InstallClientWorld(const std::wstring& client, uint64_t seed,
                                              double scale, SnapshotSpec* scope);

// A folder tree by paths relative to the folder: each file with its content hash and, in
// TreeOf, each folder with an empty hash.
using Tree = std::map<std::wstring, std::string>;
Tree TreeOf(const std::wstring& folder);
Tree FilesBelow(const std::wstring& folder);

// Every file below a folder with its content, by path relative to the folder; paths of any
// length are read.
using Contents = std::map<std::wstring, std::string>;
Contents ContentsBelow(const std::wstring& folder);

// The tree of the folder that holds a folder, without that folder itself: what a restore into
// the folder must leave alone around it.
Tree TreeAround(const std::wstring& folder);

// The paths whose content differs between two trees, one a line ("extra " before those only
// the second holds); empty when they are equal.
std::string TreeDifferences(const Tree& expected, const Tree& actual);

// The names a folder holds directly (files and folders).
std::set<std::wstring> Listed(const std::wstring& folder);

// Whether the list holds the name.
bool Holds(const std::vector<std::wstring>& names, const std::wstring& name);

// The lines of a list as a text, one a line, for readable failures.
std::string Joined(const std::vector<std::wstring>& lines);

// The values of an INI section in file order.
std::vector<std::wstring> SectionValues(const IniText& ini, const wchar_t* section);

// The text with every occurrence of `from` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to);

// Whether the value exists; machine keys are read in the 32-bit view, where the program
// writes them in every build.
bool ValueExists(HKEY root, const std::wstring& key, const wchar_t* name);

// Files by their paths below a folder, or their stored names, with their bytes.
using FileBytesList = std::vector<std::pair<std::wstring, std::string>>;
// Writes each file below the folder, with the folders it needs.
::testing::AssertionResult WriteFilesBelow(const std::wstring& folder, const FileBytesList& files);
// Whether the archive holds the member exactly once, with these bytes.
::testing::AssertionResult HoldsOnce(const std::wstring& archive, const std::wstring& stored,
                                     const std::string& bytes);

// The two lists of a backup or restore lists page as the wizard showed them, before any tick
// changed.
struct ListsShown {
  std::vector<std::wstring> identities;
  std::vector<std::wstring> items;
  std::vector<bool> items_ticked;
  bool items_enabled = false;
};

// What a backup takes: the identities named in `identities` (all when none are named) but
// those at the `unticked` positions, the items named in `items` (all when none are named),
// and the archive's password and floppy-sized volumes.
struct BackupChoice {
  std::vector<std::wstring> identities = {};
  std::vector<int> unticked = {};
  std::vector<std::wstring> items = {};
  std::wstring password = {};
  bool split = false;
};

// How a restore starts: the password of the archive, and identity positions left unticked.
struct RestoreChoice {
  std::wstring password = {};
  std::vector<int> unticked = {};
};

// The client a test drives: its radio button on page 3, which must be preselected unless
// `choose` (then it is pressed); the name of the test's program folder; its synthetic world,
// which SetUp installs with the seed and scale unless the seed is 0 (the test installs it).
struct ClientSetup {
  const wchar_t* radio_button;
  const wchar_t* program_name;
  const wchar_t* world = nullptr;
  uint64_t seed = 0;
  double scale = 0.01;
  bool choose = false;
};

class ClientRoundTrip : public ::testing::Test {
 protected:
  explicit ClientRoundTrip(const ClientSetup& client) : client_(client) {}

  // Clears the settings, prepares the program folder, removes earlier archives and restore
  // folders (C:\Backups, C:\Restore) and installs the client's world.
  void SetUp() override;
  void TearDown() override { wizard_.Close(); }

  // Installs a world of the client; its scope is kept in scope_.
  ::testing::AssertionResult InstallWorld(uint64_t seed, double scale = 0.01);

  // Starts the wizard and walks with the action ("RadioButton1" backup, "RadioButton2"
  // restore) to page 4 or 9 with the client chosen.
  void StartAt(const wchar_t* action);
  // Backs up as chosen and ends on the completion page; the lists as the wizard offered them
  // are kept in shown_.
  void Backup(const std::wstring& archive, const BackupChoice& choice = {});
  // Opens the archive for a restore (answering the password prompt), expects the offered
  // identities (unless none are named), keeps the lists in shown_, unticks the chosen positions and ends on page 11.
  void OpenForRestore(const std::wstring& archive, const std::vector<std::wstring>& offered,
                      const RestoreChoice& choice = {});
  // From page 11: answers "Are you sure?" for a direct restore and ends on page 12, ready.
  void ConfirmDirectRestore();
  // From page 11: restores everything ticked directly, or into the folder (answering
  // "Create directory?" when it does not exist yet); ends on the completion page.
  void RestoreDirectly();
  void RestoreInto(const std::wstring& folder);
  // OpenForRestore followed by RestoreDirectly.
  void Restore(const std::wstring& archive, const std::vector<std::wstring>& offered,
               const RestoreChoice& choice = {});
  // What changed in the world's scope since the snapshot, a difference a line; empty when
  // nothing did.
  std::string ChangesSince(const Snapshot& before) const;
  // The current program log.
  std::wstring Log() const;
  // Whether the log holds each of the lines (each ended by a line break when `whole`).
  ::testing::AssertionResult LogHolds(const std::vector<std::wstring>& lines,
                                      bool whole = false) const;

  ClientSetup client_;
  std::wstring folder_;
  SnapshotSpec scope_;
  ListsShown shown_;
  WizardSession wizard_;
};

}  // namespace mailstow::e2e
