// Eudora through the real wizard on a synthetic world: back up everything, wipe the data
// folder, restore directly and into another folder; a machine without the filter and
// address-book files; and a crafted directory map whose folders leave their target.
#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_world.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tests/e2e/wizard_session.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kTreeLeaf[] =
    L"Business.fol\\Projects 2006.fol\\Archiv M\u00fcller.fol\\Old Orders.mbx";

std::vector<std::wstring> SectionValues(const IniText& ini, const wchar_t* section) {
  std::vector<std::wstring> values;
  for (const std::wstring& key : ini.KeyNames(section))
    values.push_back(ini.ReadString(section, key, L""));
  return values;
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

class EudoraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
    ASSERT_TRUE(InstallClientWorld(L"Eudora", 9, &scope_));
    data_ = ShellFolder(L"AppData") + L"\\Qualcomm\\Eudora Mail";
    ASSERT_TRUE(FileExists(data_ + L"\\" + kTreeLeaf));
    folder_ = PrepareProgramFolder(L"eudora", {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
    RemoveTree(L"C:\\Backups");
    RemoveTree(L"C:\\Restore");
    RemoveTree(L"C:\\Escaped.fol");
  }
  void TearDown() override { wizard_.Close(); }

  void StartAt(const wchar_t* action) {
    wizard_.Close();
    ASSERT_TRUE(wizard_.Start(folder_));
    wizard_.Next();
    wizard_.Press(action);
    wizard_.Next();
    ASSERT_TRUE(wizard_.Checked(L"RadioButton5"));  // the default mail client, preselected
    wizard_.Next();
  }

  void Backup(const std::wstring& archive) {
    StartAt(L"RadioButton1");
    ASSERT_EQ(wizard_.ActivePage(), 4);
    HWND identities = wizard_.Control(L"CheckListBox1");
    ASSERT_EQ(ListCount(identities), 1);
    EXPECT_EQ(ListText(identities, 0), L"Default");
    ASSERT_EQ(ListCount(wizard_.Control(L"CheckListBox2")), 5);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 5);
    wizard_.Type(L"Edit1", archive);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 6);
    wizard_.Next();
    wizard_.WaitForPage(8);
    ASSERT_EQ(wizard_.ActivePage(), 8);
    EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
    wizard_.Close();
  }

  // Opens the archive and restores it directly, or into the other folder when one is named.
  void Restore(const std::wstring& archive, const std::wstring& other_folder = L"") {
    StartAt(L"RadioButton2");
    ASSERT_EQ(wizard_.ActivePage(), 9);
    wizard_.Type(L"Edit4", archive);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 10);
    HWND identities = wizard_.Control(L"CheckListBox3");
    ASSERT_EQ(ListCount(identities), 1);
    EXPECT_EQ(ListText(identities, 0), L"Default");
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
    ASSERT_TRUE(wizard_.RunFrom(12, 14));
    wizard_.Close();
  }

  std::wstring Log() const { return ReadSystemTextFile(folder_ + L"Log.txt").value_or(L""); }

  SnapshotSpec scope_;
  std::wstring data_;
  std::wstring folder_;
  WizardSession wizard_;
};

TEST_F(EudoraTest, BackupWipeDirectRestoreLosesNothingAndAnotherFolderGetsTheLayout) {
  const Snapshot before = TakeSnapshot(scope_);
  const std::map<std::wstring, std::string> original = FilesBelow(data_);
  const std::wstring archive = L"C:\\Backups\\eudora.ebk";
  Backup(archive);

  // The ".fol" tree is mapped once per folder, although one folder holds two ".pce" files.
  const std::vector<std::wstring> map =
      SectionValues(ArchiveIni(archive, L"directory.ini"), L"Directory");
  std::vector<std::wstring> sorted_map = map;
  std::sort(sorted_map.begin(), sorted_map.end());
  EXPECT_EQ(sorted_map,
            (std::vector<std::wstring>{L"Business.fol", L"Business.fol\\Projects 2006.fol",
                                       L"Business.fol\\Projects 2006.fol\\Archiv M\u00fcller.fol",
                                       L"Family.fol"}));
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  EXPECT_EQ(std::count(members.begin(), members.end(), L"Family.fol\\Holidays.mbx"), 1);
  EXPECT_TRUE(Contains(members, kTreeLeaf));
  EXPECT_TRUE(Contains(members, L"Mail\\In.mbx"));
  EXPECT_FALSE(Contains(members, L"Attach\\Invoice 2006-03.pdf"));

  RemoveTree(data_);
  Restore(archive);
  // Nothing is lost but the attachments folder, which is not one of the client's items.
  std::vector<std::wstring> differences = Differences(before, TakeSnapshot(scope_));
  const size_t count = differences.size();
  std::erase_if(differences, [](const std::wstring& line) {
    return line.find(L"\\Attach") != std::wstring::npos;
  });
  EXPECT_EQ(count - differences.size(), 2u);  // the folder and its file
  EXPECT_EQ(Joined(differences), "");

  // Into another folder: the same files, the top mailboxes below "Mail".
  Restore(archive, L"C:\\Restore\\");
  std::map<std::wstring, std::string> expected;
  for (const auto& [path, hash] : original) {
    if (path.starts_with(L"Attach\\")) continue;
    // Every ".mbx", ".toc" and ".pce" file at the top counts as a mailbox file; the filter
    // and address-book files are stored once more under their own names.
    const bool top_mailbox =
        path.find(L'\\') == std::wstring::npos &&
        (path.ends_with(L".mbx") || path.ends_with(L".toc") || path.ends_with(L".pce"));
    if (top_mailbox) expected[L"Mail\\" + path] = hash;
    if (!top_mailbox || path == L"filters.pce" || path == L"nndbase.toc") expected[path] = hash;
  }
  EXPECT_EQ(FilesBelow(L"C:\\Restore"), expected);
}

TEST_F(EudoraTest, MissingFilesStillGiveAnArchiveAndACraftedMapStaysInsideItsTarget) {
  ASSERT_TRUE(DeleteFileW((data_ + L"\\filters.pce").c_str()));
  ASSERT_TRUE(DeleteFileW((data_ + L"\\nndbase.txt").c_str()));
  const std::wstring archive = L"C:\\Backups\\partial.ebk";
  Backup(archive);
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  EXPECT_TRUE(Contains(members, L"nndbase.toc"));
  EXPECT_TRUE(Contains(members, L"Filters\\Old Filters.pce"));
  EXPECT_FALSE(Contains(members, L"filters.pce"));
  const std::wstring log = Log();
  EXPECT_NE(log.find(L"Not found: " + data_ + L"\\filters.pce"), std::wstring::npos);
  EXPECT_NE(log.find(L"Not found: " + data_ + L"\\nndbase.txt"), std::wstring::npos);

  // A map whose folders climb out of the data folder or name another drive.
  const std::vector<PackedMember> crafted = {
      {L"infobak.ini",
       "[Backup]\r\nEmailClient=Eudora\r\n[Identities]\r\nItem1=Default\r\n"
       "[Items]\r\nItem1=Mail Folders\r\n"},
      {L"directory.ini",
       "[Directory]\r\nDir1=Good.fol\r\nDir2=..\\..\\Escaped.fol\r\nDir3=C:\\Escaped.fol\r\n"},
      {L"Good.fol\\Kept.mbx", "From kept\r\n"},
  };
  const std::wstring crafted_archive = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(PackMembers(crafted_archive, crafted));
  RemoveTree(data_);
  Restore(crafted_archive);
  EXPECT_TRUE(FileExists(data_ + L"\\Good.fol\\Kept.mbx"));
  EXPECT_FALSE(FileExists(L"C:\\Escaped.fol"));
  const std::wstring parent = data_.substr(0, data_.rfind(L'\\'));
  EXPECT_FALSE(FileExists(parent.substr(0, parent.rfind(L'\\')) + L"\\Escaped.fol"));
  const std::wstring restore_log = Log();
  for (const wchar_t* value : {L"..\\..\\Escaped.fol", L"C:\\Escaped.fol"}) {
    EXPECT_NE(restore_log.find(L"Mail folder not restored, its path leaves the data folder: " +
                               std::wstring(value)),
              std::wstring::npos)
        << ToUtf8(value);
  }
}

}  // namespace
}  // namespace mailstow::e2e
