// Synthetic client worlds as end-to-end tests install and compare them, and the wizard
// driven through a client's backups and restores.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "tests/e2e/wizard_session.h"
#include "tools/snapshot.h"

namespace mailstow::e2e {

// Installs the synthetic world of one client (after removing any earlier one) at a small
// scale and returns what belongs to it for snapshots.
::testing::AssertionResult InstallClientWorld(const std::wstring& client, uint64_t seed,
                                              SnapshotSpec* scope);

// Every file below a folder by its path relative to that folder, with its content hash.
std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder);

// The values of an INI section in file order.
std::vector<std::wstring> SectionValues(const IniText& ini, const wchar_t* section);

// The lines of a text, one per line, for readable failure output.
std::string Joined(const std::vector<std::wstring>& lines);

}  // namespace mailstow::e2e

namespace mailstow::e2e {

// A test that drives the real wizard for one client: a fresh program folder, the client's
// radio button preselected as the default mail client, backups and restores from start to
// completion page.
class ClientWizardTest : public ::testing::Test {
 protected:
  ClientWizardTest(const wchar_t* program_folder_name, const wchar_t* client_radio)
      : program_folder_name_(program_folder_name), client_radio_(client_radio) {}
  // Clears the settings, prepares the program folder and removes earlier archives and
  // restore folders (C:\Backups, C:\Restore).
  void SetUp() override;
  void TearDown() override { wizard_.Close(); }

  // Starts the wizard, chooses the action (RadioButton1 backup, RadioButton2 restore) and
  // leaves the client page, where the client must be preselected.
  void StartAt(const wchar_t* action);
  // On the identity page: names the archive, runs the backup, expects it completed and
  // closes the wizard.
  void BackupFromIdentityPage(const std::wstring& archive);
  // Opens the archive and restores everything it offers directly, or into the other folder
  // when one is named; the offered identities are kept in restore_identities_.
  void Restore(const std::wstring& archive, const std::wstring& other_folder = L"");
  std::wstring Log() const;

  std::wstring folder_;
  WizardSession wizard_;
  std::vector<std::wstring> restore_identities_;

 private:
  const wchar_t* program_folder_name_;
  const wchar_t* client_radio_;
};

}  // namespace mailstow::e2e
