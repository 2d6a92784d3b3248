// Outlook Express backed up and restored through the real wizard on a synthetic world, plain
// and as a password-protected, volume-split archive: back up two of three identities, wipe
// them, restore, and compare snapshots; the same archive restored into another folder.
#include <gtest/gtest.h>

#include "tests/e2e/client_round_trip.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

struct ArchiveKind {
  const char* name;
  const wchar_t* archive;
  const wchar_t* password;
  bool split;
};

class OutlookExpressTest : public ClientRoundTrip,
                           public ::testing::WithParamInterface<ArchiveKind> {
 protected:
  OutlookExpressTest()
      : ClientRoundTrip({L"RadioButton3", L"outlook_express", L"OutlookExpress", 5}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    identities_ = MachineIdentities();
    ASSERT_GE(identities_.size(), 3u);
  }

  // The identities but the first, which the backup leaves out.
  std::vector<std::wstring> BackedUpNames() const {
    std::vector<std::wstring> names;
    for (size_t i = 1; i < identities_.size(); ++i) names.push_back(identities_[i].name);
    return names;
  }

  void OpenArchive() {
    OpenForRestore(GetParam().archive, BackedUpNames(), {.password = GetParam().password});
  }

  // Removes the backed-up identities (keys and stores) and the shared address book and
  // accounts, as a lost installation would.
  void WipeBackedUpData() {
    for (size_t i = 1; i < identities_.size(); ++i) {
      RegDeleteTreeW(HKEY_CURRENT_USER, IdentityPath(identities_[i].key).c_str());
      RemoveTree(identities_[i].store);
    }
    RemoveTree(ShellFolder(L"AppData") + L"\\Microsoft\\Address Book");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Account Manager\\Accounts");
  }

  std::vector<OeIdentity> identities_;
};

TEST_P(OutlookExpressTest, BackupWipeDirectRestoreLosesNothingAndAnotherFolderGetsTheLayout) {
  const Snapshot before = TakeSnapshot(scope_);
  Backup(GetParam().archive,
         {.unticked = {0}, .password = GetParam().password, .split = GetParam().split});
  EXPECT_EQ(shown_.identities.size(), identities_.size());
  WipeBackedUpData();
  EXPECT_NE(ChangesSince(before), "");
  OpenArchive();
  RestoreDirectly();
  // Nothing is lost. Two differences are by design: the store folder is written back as an
  // absolute folder of this machine, and the identity's default-account value lies outside
  // the branches that are backed up.
  std::vector<std::wstring> differences = Differences(before, TakeSnapshot(scope_));
  std::erase_if(differences, [](const std::wstring& line) {
    return (line.starts_with(L"value data changed:") &&
            line.find(L"[Store Root]") != std::wstring::npos) ||
           (line.starts_with(L"value missing:") &&
            line.ends_with(L"Internet Account Manager [Default Mail Account]"));
  });
  EXPECT_EQ(Joined(differences), "");
  for (size_t i = 1; i < identities_.size(); ++i) {
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, IdentitySettingsPath(identities_[i].key),
                                 L"Store Root"),
              identities_[i].store);
  }

  OpenArchive();
  RestoreInto(L"C:\\Restore\\");
  for (size_t i = 1; i < identities_.size(); ++i) {
    const std::wstring dumps = L"C:\\Restore\\" + identities_[i].name + L"\\";
    for (const wchar_t* file :
         {L"identity.reg", L"identity2.reg", L"settings.reg", L"settings2.reg", L"accounts.reg",
          L"accounts2.reg", L"rules.reg", L"blockedsender.reg", L"signatures.reg"}) {
      EXPECT_TRUE(FileExists(dumps + file)) << ToUtf8(dumps + file);
    }
    EXPECT_EQ(Listed(L"C:\\Restore\\" + identities_[i].key), Listed(identities_[i].store));
  }
  EXPECT_FALSE(FileExists(L"C:\\Restore\\" + identities_[0].key));  // not backed up
  EXPECT_FALSE(ListFolder(L"C:\\Restore\\Address Book").empty());
  EXPECT_FALSE(ListFolder(L"C:\\Restore\\Stationery").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Archives, OutlookExpressTest,
    ::testing::Values(ArchiveKind{"Plain", L"C:\\Backups\\oe.ebk", L"", false},
                      ArchiveKind{"PasswordProtectedSplit", L"C:\\Backups\\oe-secret.ebk",
                                  L"Kennwort!", true}),
    [](const ::testing::TestParamInfo<ArchiveKind>& info) { return info.param.name; });

}  // namespace
}  // namespace mailstow::e2e
