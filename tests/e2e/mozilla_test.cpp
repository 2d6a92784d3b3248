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
#include "tests/e2e/wizard_session.h"
#include "tools/machine_world.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kClientButton[] = L"RadioButton6";
const std::wstring kOffice = L"B\u00fcro Mail";
const std::wstring kDefaultFolder = L"default\\k3x9a2bq.slt";
const std::wstring kOfficeFolder = kOffice + L"\\p7m2c4rd.slt";

std::string Joined(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += ToUtf8(line) + "\n";
  return text;
}

// Every folder and file below a folder by relative path: "<folder>" or the content's hash.
std::map<std::wstring, std::string> RelativeTree(const std::wstring& folder) {
  std::map<std::wstring, std::string> tree;
  for (const FileShot& file : TakeSnapshot({{}, {folder}}).files) {
    if (file.path.size() <= folder.size()) continue;
    tree[file.path.substr(folder.size() + 1)] = file.folder ? "<folder>" : file.hash;
  }
  return tree;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
  return ReadFileBytes(path).value_or("<missing>");
}

class MozillaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
    WorldRequest request;
    request.seed = 7;
    request.scale = 0.1;
    request.clients = {L"Netscape"};
    std::wstring error;
    ASSERT_TRUE(InstallMachineWorld(request, &scope_, &error)) << ToUtf8(error);
    app_data_ = ShellFolder(L"AppData");
    mozilla_ = app_data_ + L"\\Mozilla";
    folder_ = PrepareProgramFolder(L"mozilla", {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
    RemoveTree(L"C:\\Backups");
    RemoveTree(L"C:\\Restore");
  }
  void TearDown() override { wizard_.Close(); }

  std::vector<std::wstring> BackupIdentities() {
    EXPECT_TRUE(wizard_.StartAt(folder_, L"RadioButton1", kClientButton));
    EXPECT_EQ(wizard_.ActivePage(), 4);
    return ListTexts(wizard_.Control(L"CheckListBox1"));
  }

  // Backs up every profile but the unticked positions.
  void Backup(const std::wstring& archive, const std::vector<int>& unticked) {
    ASSERT_EQ(BackupIdentities(),
              (std::vector<std::wstring>{L"default", kOffice, L"Alt", L"default"}));
    HWND items = wizard_.Control(L"CheckListBox2");
    EXPECT_EQ(ListCount(items), 4);
    EXPECT_FALSE(IsWindowEnabled(items));
    for (int position : unticked) ListToggle(wizard_.Control(L"CheckListBox1"), position);
    wizard_.Screenshot(L"mozilla_backup_lists");
    ASSERT_TRUE(wizard_.RunBackup(archive, L"", false));
    EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
  }

  // Opens the archive for a restore, expecting these profiles, and chooses the location.
  void ReadyToRestore(const std::wstring& archive, const std::vector<std::wstring>& profiles,
                      const std::wstring& other_folder = L"") {
    ASSERT_TRUE(wizard_.StartAt(folder_, L"RadioButton2", kClientButton));
    ASSERT_EQ(wizard_.ActivePage(), 9);
    ASSERT_TRUE(wizard_.OpenArchive(archive));
    EXPECT_EQ(ListTexts(wizard_.Control(L"CheckListBox3")), profiles);
    EXPECT_FALSE(IsWindowEnabled(wizard_.Control(L"CheckListBox4")));
    wizard_.Screenshot(L"mozilla_restore_lists");
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 11);
    if (other_folder.empty()) {
      wizard_.Next();
      EXPECT_TRUE(wizard_.Answer(L"Are you sure?", L"Yes"));
    } else {
      wizard_.Press(L"RadioButton12");
      wizard_.Type(L"Edit5", other_folder);
      wizard_.Next();
      EXPECT_TRUE(wizard_.Answer(L"Create directory?", L"Yes"));
    }
  }

  void RunRestore() { ASSERT_TRUE(wizard_.RunFrom(12, 14)); }

  std::wstring Log() { return ReadSystemTextFile(folder_ + L"Log.txt").value_or(L""); }

  SnapshotSpec scope_;
  std::wstring app_data_;
  std::wstring mozilla_;
  std::wstring folder_;
  WizardSession wizard_;
};

TEST_F(MozillaTest, BackupWipeDirectRestoreLosesNothingAndAnotherFolderGetsTheLayout) {
  const Snapshot before = TakeSnapshot(scope_);
  const std::wstring archive = L"C:\\Backups\\mozilla.ebk";
  Backup(archive, {});

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
  auto holds = [&members](const std::wstring& name) {
    return std::find(members.begin(), members.end(), name) != members.end();
  };
  EXPECT_TRUE(holds(L"default\\xul.mfl"));
  EXPECT_TRUE(holds(kOffice + L"\\prefs.js"));
  EXPECT_FALSE(holds(kOffice + L"\\xul.mfl"));
  EXPECT_TRUE(holds(L"registry.dat"));
  EXPECT_TRUE(holds(kDefaultFolder + L"\\Mail\\Local Folders\\Inbox.sbd\\Leerer Ordner"));

  RemoveTree(mozilla_);
  EXPECT_FALSE(Differences(before, TakeSnapshot(scope_)).empty());
  ReadyToRestore(archive, {L"default", kOffice});
  RunRestore();
  EXPECT_EQ(Joined(Differences(before, TakeSnapshot(scope_))), "");

  ReadyToRestore(archive, {L"default", kOffice}, L"C:\\Restore\\");
  RunRestore();
  EXPECT_EQ(ReadBytes(L"C:\\Restore\\registry.dat"), ReadBytes(mozilla_ + L"\\registry.dat"));
  std::map<std::wstring, std::string> expected = RelativeTree(mozilla_ + L"\\Profiles");
  std::erase_if(expected, [](const auto& entry) { return entry.first.starts_with(L"Alt"); });
  EXPECT_EQ(RelativeTree(L"C:\\Restore\\Profiles"), expected);
}

TEST_F(MozillaTest, SecondProfileAloneRestoresToItsOwnPlace) {
  const std::wstring office = mozilla_ + L"\\Profiles\\" + kOfficeFolder;
  const auto office_before = RelativeTree(office);
  const std::wstring archive = L"C:\\Backups\\office.ebk";
  Backup(archive, {0, 2, 3});
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  EXPECT_EQ(manifest.KeyNames(L"Directory"), std::vector<std::wstring>{L"Dir1"});
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Dir1", L""), kOfficeFolder);

  RemoveTree(mozilla_);
  ReadyToRestore(archive, {kOffice});
  RunRestore();
  EXPECT_EQ(RelativeTree(office), office_before);
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
    WriteBytes(mozilla_ + L"\\registry.dat", list.bytes);
    EXPECT_EQ(BackupIdentities(), std::vector<std::wstring>{L"default"}) << list.what;
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
  ReadyToRestore(archive, {L"..", L"Evil", L"default"});
  RunRestore();

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
  EXPECT_EQ(ReadBytes(profile + inbox), "restored inbox");
  const std::wstring log = Log();
  const std::vector<std::wstring> refusals = {
      L"Profile not restored, its names are not valid folder names: ..",
      L"Profile not restored, its names are not valid folder names: Evil",
      L"Mail folder not restored, not a folder of the profile: " + kOfficeFolder +
          L"\\Mail\\Local Folders",
      L"Mail folder not restored, not a folder of the profile: "
      L"default\\k3x9a2bq.slt\\Mail\\..\\..\\..\\..\\Outside"};
  for (const std::wstring& line : refusals) {
    EXPECT_NE(log.find(line + L"\r\n"), std::wstring::npos) << ToUtf8(line);
  }
}

}  // namespace
}  // namespace mailstow::e2e
