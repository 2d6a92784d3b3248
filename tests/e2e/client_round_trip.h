// A fixture for one mail client's trip through the real wizard on a synthetic world: install
// the world, back up chosen identities, open an archive for a restore, restore directly or into
// another folder, and compare folder trees.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/e2e/wizard_session.h"
#include "tools/snapshot.h"

namespace mailstow::e2e {

// Installs the synthetic world of one client (after removing an earlier one) and returns what
// belongs to it for snapshots.
::testing::AssertionResult InstallClientWorld(const std::wstring& client, uint64_t seed,
                                              double scale, SnapshotSpec* scope);

// Every file below a folder by its path relative to it, with its content hash; folders too
// (with an empty hash).
std::map<std::wstring, std::string> TreeOf(const std::wstring& folder);

// The lines of a list as a text, one a line, for readable failures.
std::string Joined(const std::vector<std::wstring>& lines);

// The paths whose content differs between two trees, one a line ("extra " before those only
// the second holds); empty when they are equal.
std::string TreeDifferences(const std::map<std::wstring, std::string>& expected,
                            const std::map<std::wstring, std::string>& actual);

// The tree of the folder that holds a folder, without that folder itself: what a restore into
// the folder must leave alone around it.
std::map<std::wstring, std::string> TreeAround(const std::wstring& folder);

class ClientRoundTrip : public ::testing::Test {
 protected:
  // The client's radio button on page 3, and the name of the test's program folder.
  ClientRoundTrip(const wchar_t* radio_button, const wchar_t* program_name)
      : radio_button_(radio_button), program_name_(program_name) {}

  void SetUp() override;
  void TearDown() override { wizard_.Close(); }

  // Starts the wizard and walks to page 4 (backup) or 9 (restore) with the client chosen.
  void StartAt(const wchar_t* action);
  // Backs up the named identities and items (all when none are named); the identity list as
  // the wizard offered it is kept in listed_.
  void Backup(const std::wstring& archive, const std::vector<std::wstring>& only = {},
              const std::vector<std::wstring>& only_items = {});
  // Opens the archive for a restore; expects the offered identities and ends on page 11.
  void OpenForRestore(const std::wstring& archive, const std::vector<std::wstring>& offered);
  // From page 11: restores everything offered directly, or into the folder.
  void RestoreDirectly();
  void RestoreInto(const std::wstring& folder);
  // The current program log.
  std::wstring Log() const;

  const wchar_t* radio_button_;
  const wchar_t* program_name_;
  std::wstring folder_;
  std::vector<std::wstring> listed_;
  WizardSession wizard_;
};

}  // namespace mailstow::e2e
