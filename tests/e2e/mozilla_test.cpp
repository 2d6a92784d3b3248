// Netscape/Mozilla profiles backed up and restored through the real wizard on a synthetic
// world (two profiles, a stale and a duplicate entry in the profile list): back up, wipe,
// restore directly and compare; the same archive restored into another folder; the second
// profile alone; damaged profile lists; a crafted archive with traversal in its values.
#include <gtest/gtest.h>

#include <map>

#include "base/ansi_text.h"
#include "base/ini_file.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tests/e2e/client_round_trip.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

const std::wstring kOffice = L"B\u00fcro Mail";
const std::wstring kDefaultFolder = L"default\\k3x9a2bq.slt";
const std::wstring kOfficeFolder = kOffice + L"\\p7m2c4rd.slt";

// The profile list as the wizard offers it for a backup: the stale entry and the duplicate too.
const std::vector<std::wstring> kListed = {L"default", kOffice, L"Alt", L"default"};

class MozillaTest : public ClientRoundTrip {
 protected:
  MozillaTest() : ClientRoundTrip({L"RadioButton6", L"mozilla", L"Netscape", 7, 0.1}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    app_data_ = ShellFolder(L"AppData");
    mozilla_ = app_data_ + L"\\Mozilla";
  }

  // Backs up every profile but the unticked positions; the items are fixed.
  void BackupProfiles(const std::wstring& archive, const std::vector<int>& unticked) {
    Backup(archive, {.unticked = unticked});
    EXPECT_EQ(shown_.identities, kListed);
    EXPECT_EQ(shown_.items.size(), 4u);
    EXPECT_FALSE(shown_.items_enabled);
  }

  // Opens the archive for a restore, expecting these profiles and fixed items.
  void OpenProfiles(const std::wstring& archive, const std::vector<std::wstring>& profiles) {
    OpenForRestore(archive, profiles);
    EXPECT_FALSE(shown_.items_enabled);
  }

  std::wstring app_data_;
  std::wstring mozilla_;
};

TEST_F(MozillaTest, BackupWipeDirectRestoreLosesNothingAndAnotherFolderGetsTheLayout) {
  const Snapshot before = TakeSnapshot(scope_);
  const std::wstring archive = L"C:\\Backups\\mozilla.ebk";
  BackupProfiles(archive, {});

  // The stale entry is not found and the duplicate is stored once.
  const std::wstring backup_log = Log();
  EXPECT_NE(backup_log.find(L"Not found: " + mozilla_ + L"\\Profiles\\Alt\\zz00zz00.slt\r\n"),
            std::wstring::npos)
      << ToUtf8(backup_log);
  EXPECT_NE(backup_log.find(L"Profile backed up once only: default ("), std::wstring::npos);
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  EXPECT_EQ(manifest.ReadString(L"Backup", L"EmailClient", L""), L"Netscape");
  EXPECT_EQ(manifest.KeyNames(L"Identities"), (std::vector<std::wstring>{L"Item1", L"Item2"}));
  EXPECT_EQ(manifest.ReadString(L"Identities", L"Item2", L""), kOffice);
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Dir1", L""), kDefaultFolder);
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Dir2", L""), kOfficeFolder);
  // The second profile lacks three of the six profile files; the archive holds the rest.
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  EXPECT_TRUE(Holds(members, L"default\\xul.mfl"));
  EXPECT_TRUE(Holds(members, kOffice + L"\\prefs.js"));
  EXPECT_FALSE(Holds(members, kOffice + L"\\xul.mfl"));
  EXPECT_TRUE(Holds(members, L"registry.dat"));
  EXPECT_TRUE(Holds(members, kDefaultFolder + L"\\Mail\\Local Folders\\Inbox.sbd\\Leerer Ordner"));

  RemoveTree(mozilla_);
  EXPECT_NE(ChangesSince(before), "");
  OpenProfiles(archive, {L"default", kOffice});
  RestoreDirectly();
  EXPECT_EQ(ChangesSince(before), "");

  OpenProfiles(archive, {L"default", kOffice});
  RestoreInto(L"C:\\Restore\\");
  EXPECT_EQ(FileBytes(L"C:\\Restore\\registry.dat"), FileBytes(mozilla_ + L"\\registry.dat"));
  std::map<std::wstring, std::string> expected = TreeOf(mozilla_ + L"\\Profiles");
  std::erase_if(expected, [](const auto& entry) { return entry.first.starts_with(L"Alt"); });
  EXPECT_EQ(TreeOf(L"C:\\Restore\\Profiles"), expected);
}

TEST_F(MozillaTest, SecondProfileAloneRestoresToItsOwnPlace) {
  const std::wstring office = mozilla_ + L"\\Profiles\\" + kOfficeFolder;
  const auto office_before = TreeOf(office);
  const std::wstring archive = L"C:\\Backups\\office.ebk";
  BackupProfiles(archive, {0, 2, 3});
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  EXPECT_EQ(manifest.KeyNames(L"Directory"), std::vector<std::wstring>{L"Dir1"});
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Dir1", L""), kOfficeFolder);

  RemoveTree(mozilla_);
  OpenProfiles(archive, {kOffice});
  RestoreDirectly();
  EXPECT_EQ(TreeOf(office), office_before);
  EXPECT_FALSE(FileExists(mozilla_ + L"\\Profiles\\default"));
  EXPECT_TRUE(FileExists(mozilla_ + L"\\registry.dat"));
}

TEST_F(MozillaTest, DamagedProfileListsAndACraftedArchiveStayInsideTheirTargets) {
  // Profile lists cut off or padded with entries that name no usable folder: the wizard lists
  // what can be read and never reads past the end.
  using namespace std::string_literals;
  const std::string good = "directory\0"s + ToAnsi(mozilla_) + "\\Profiles\\default\\x.slt\0"s;
  const struct {
    const char* what;
    std::string bytes;
  } lists[] = {
      {"name at the end", good + "directory"},
      {"text without its final zero", good + "directory\0C:\\Cut"s},
      {"empty and relative entries", "directory\0\0directory\0Mail\0"s + good},
  };
  for (const auto& list : lists) {
    ASSERT_TRUE(WriteBytes(mozilla_ + L"\\registry.dat", list.bytes));
    StartAt(L"RadioButton1");
    ASSERT_EQ(wizard_.ActivePage(), 4);
    EXPECT_EQ(ListTexts(wizard_.Control(L"CheckListBox1")), std::vector<std::wstring>{L"default"})
        << list.what;
  }

  // A crafted archive: traversal in identity names, in profile folders and in a folder map,
  // and a map that names another profile's folder.
  const std::wstring inbox = L"\\Mail\\Local Folders\\Inbox";
  const std::string office = ToAnsi(kOfficeFolder);
  const std::vector<PackedMember> crafted = {
      {L"infobak.ini",
       "[Backup]\r\nEmailClient=Netscape\r\n[Identities]\r\nItem1=..\r\nItem2=Evil\r\n"
       "Item3=default\r\n[Items]\r\nItem1=Mail Folders\r\n[Directory]\r\n"
       "Dir1=default\\k3x9a2bq.slt\r\nDir2=..\\..\\Outside\r\nDir3=default\\k3x9a2bq.slt\r\n"},
      {L"Evil\\directory.ini", "[Directory]\r\nDir1=..\\..\\Outside\\Mail\r\n"},
      {L"Evil\\prefs.js", "evil"},
      {L"default\\directory.ini",
       "[Directory]\r\nDir1=" + office +
           "\\Mail\\Local Folders\r\n"
           "Dir2=default\\k3x9a2bq.slt\\Mail\\..\\..\\..\\..\\Outside\r\n"
           "Dir3=default\\k3x9a2bq.slt\\Mail\\Local Folders\r\n"},
      {L"default\\prefs.js", "restored prefs"},
      {kDefaultFolder + inbox, "restored inbox"},
      {kOfficeFolder + inbox, "planted"},
      {L"Registry.dat", good},
  };
  const std::wstring archive = L"C:\\Backups\\crafted.ebk";
  CreateDirectoryW(L"C:\\Backups", nullptr);
  ASSERT_TRUE(PackMembers(archive, crafted));
  const SnapshotSpec app_data{{}, {app_data_}};
  const Snapshot before = TakeSnapshot(app_data);
  OpenProfiles(archive, {L"..", L"Evil", L"default"});
  RestoreDirectly();

  // Only the default profile's own files and the profile list changed.
  const std::wstring profile = mozilla_ + L"\\Profiles\\" + kDefaultFolder;
  const std::vector<std::wstring> changed = {profile + inbox, profile + L"\\prefs.js",
                                             mozilla_ + L"\\registry.dat"};
  const std::vector<std::wstring> differences = Differences(before, TakeSnapshot(app_data));
  ASSERT_EQ(differences.size(), changed.size()) << Joined(differences);
  for (size_t i = 0; i < changed.size(); ++i) {
    EXPECT_TRUE(differences[i].starts_with(L"file size changed: " + changed[i] + L" "))
        << ToUtf8(differences[i]);
  }
  EXPECT_EQ(FileBytes(profile + inbox), "restored inbox");
  const std::vector<std::wstring> refusals = {
      L"Profile not restored, its names are not valid folder names: ..",
      L"Profile not restored, its names are not valid folder names: Evil",
      L"Mail folder not restored, not a folder of the profile: " + kOfficeFolder +
          L"\\Mail\\Local Folders",
      L"Mail folder not restored, not a folder of the profile: "
      L"default\\k3x9a2bq.slt\\Mail\\..\\..\\..\\..\\Outside"};
  EXPECT_TRUE(LogHolds(refusals, true));
}

// A profile made after the backup stays in the profile list when the older archive is restored;
// the restored profiles are named in the list too, so nothing is left to add.
TEST_F(MozillaTest, AProfileMadeAfterTheBackupStaysListed) {
  const std::wstring archive = L"C:\\Backups\\mozilla.ebk";
  BackupProfiles(archive, {});
  using namespace std::string_literals;
  const std::string later = "directory\0"s + ToAnsi(mozilla_) + "\\Profiles\\Later\\l4t3r.slt\0"s;
  const std::string list = FileBytes(mozilla_ + L"\\registry.dat") + later;
  ASSERT_TRUE(WriteBytes(mozilla_ + L"\\registry.dat", list));
  OpenProfiles(archive, {L"default", kOffice});
  RestoreDirectly();
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
  EXPECT_EQ(FileBytes(mozilla_ + L"\\registry.dat"), list);
  EXPECT_TRUE(LogHolds({L"Profile list kept, it names profiles made after the backup: " + mozilla_ +
                        L"\\Profiles\\Later\\l4t3r.slt"}));
}

}  // namespace
}  // namespace mailstow::e2e
