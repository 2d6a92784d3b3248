// Eudora through the real wizard on a synthetic world: back up everything, wipe the data
// folder, restore directly and into another folder; a machine without the filter and
// address-book files; and a crafted directory map whose folders leave their target.
#include <gtest/gtest.h>

#include "base/ini_file.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kTreeLeaf[] =
    L"Business.fol\\Projects 2006.fol\\Archiv M\u00fcller.fol\\Old Orders.mbx";

class EudoraTest : public ClientRoundTrip {
 protected:
  EudoraTest() : ClientRoundTrip({L"RadioButton5", L"eudora", L"Eudora", 9}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    data_ = ShellFolder(L"AppData") + L"\\Qualcomm\\Eudora Mail";
    ASSERT_TRUE(FileExists(data_ + L"\\" + kTreeLeaf));
    RemoveTree(L"C:\\Escaped.fol");
  }

  // Backs up the one identity with every item.
  void BackupAll(const std::wstring& archive) {
    Backup(archive);
    EXPECT_EQ(shown_.identities, std::vector<std::wstring>{L"Default"});
    EXPECT_EQ(shown_.items.size(), 5u);
  }

  std::wstring data_;
};

TEST_F(EudoraTest, BackupWipeDirectRestoreLosesNothingAndAnotherFolderGetsTheLayout) {
  const Snapshot before = TakeSnapshot(scope_);
  const std::map<std::wstring, std::string> original = FilesBelow(data_);
  const std::wstring archive = L"C:\\Backups\\eudora.ebk";
  BackupAll(archive);

  // The ".fol" tree is mapped once per folder, although one folder holds two ".pce" files.
  std::vector<std::wstring> sorted_map =
      SectionValues(ArchiveIni(archive, L"directory.ini"), L"Directory");
  std::sort(sorted_map.begin(), sorted_map.end());
  EXPECT_EQ(sorted_map,
            (std::vector<std::wstring>{L"Business.fol", L"Business.fol\\Projects 2006.fol",
                                       L"Business.fol\\Projects 2006.fol\\Archiv M\u00fcller.fol",
                                       L"Family.fol"}));
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  EXPECT_EQ(std::count(members.begin(), members.end(), L"Family.fol\\Holidays.mbx"), 1);
  EXPECT_TRUE(Holds(members, kTreeLeaf));
  EXPECT_TRUE(Holds(members, L"Mail\\In.mbx"));
  EXPECT_FALSE(Holds(members, L"Attach\\Invoice 2006-03.pdf"));

  RemoveTree(data_);
  Restore(archive, {L"Default"});
  // Nothing is lost but the attachments folder, which is not one of the client's items.
  std::vector<std::wstring> differences = Differences(before, TakeSnapshot(scope_));
  const size_t count = differences.size();
  std::erase_if(differences, [](const std::wstring& line) {
    return line.find(L"\\Attach") != std::wstring::npos;
  });
  EXPECT_EQ(count - differences.size(), 2u);  // the folder and its file
  EXPECT_EQ(Joined(differences), "");

  // Into another folder: the same files, the top mailboxes below "Mail".
  OpenForRestore(archive, {L"Default"});
  RestoreInto(L"C:\\Restore\\");
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
  BackupAll(archive);
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  EXPECT_TRUE(Holds(members, L"nndbase.toc"));
  EXPECT_TRUE(Holds(members, L"Filters\\Old Filters.pce"));
  EXPECT_FALSE(Holds(members, L"filters.pce"));
  EXPECT_TRUE(LogHolds(
      {L"Not found: " + data_ + L"\\filters.pce", L"Not found: " + data_ + L"\\nndbase.txt"}));

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
  Restore(crafted_archive, {L"Default"});
  EXPECT_TRUE(FileExists(data_ + L"\\Good.fol\\Kept.mbx"));
  EXPECT_FALSE(FileExists(L"C:\\Escaped.fol"));
  const std::wstring parent = data_.substr(0, data_.rfind(L'\\'));
  EXPECT_FALSE(FileExists(parent.substr(0, parent.rfind(L'\\')) + L"\\Escaped.fol"));
  EXPECT_TRUE(
      LogHolds({L"Mail folder not restored, its path leaves the data folder: ..\\..\\Escaped.fol",
                L"Mail folder not restored, its path leaves the data folder: C:\\Escaped.fol"}));
}

}  // namespace
}  // namespace mailstow::e2e
