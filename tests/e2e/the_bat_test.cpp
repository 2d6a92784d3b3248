// The Bat! backed up and restored through the real wizard on a synthetic world of three users
// (a default folder, a folder of its own outside the working directory named with a trailing
// separator, one inside it without): back up, wipe, restore directly and compare; the same
// archive into another folder; users the depot does not know appended after the ones it has;
// and a crafted archive whose folder values try to leave their targets.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "base/ini_file.h"
#include "base/registry_key.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kClientKey[] = L"Software\\RIT\\The Bat!";
constexpr wchar_t kDepotKey[] = L"Software\\RIT\\The Bat!\\Users Depot";

struct BatUser {
  std::wstring name;
  std::wstring dir;     // "Dir #n" as the registry holds it
  std::wstring folder;  // where its files lie, without trailing separator
};

std::set<std::wstring> Names(const Tree& tree) {
  std::set<std::wstring> names;
  for (const auto& entry : tree) names.insert(entry.first);
  return names;
}

std::wstring DepotText(const std::wstring& name) {
  return ReadRegistryString(HKEY_CURRENT_USER, kDepotKey, name);
}

int DepotCount() {
  RegistryKey depot;
  if (!depot.Open(HKEY_CURRENT_USER, kDepotKey, false, KEY_READ)) return -1;
  return depot.ReadInteger(L"Count").value;
}

class TheBatTest : public ClientRoundTrip {
 protected:
  TheBatTest() : ClientRoundTrip({L"RadioButton9", L"the_bat", L"TheBat", 5}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    working_ = ReadRegistryString(HKEY_CURRENT_USER, kClientKey, L"Working Directory");
    ASSERT_TRUE(working_.ends_with(L"\\"));
    for (int n = 1; n <= DepotCount(); ++n) {
      BatUser user{DepotText(L"User #" + std::to_wstring(n)),
                   DepotText(L"Dir #" + std::to_wstring(n)), L""};
      user.folder = user.dir.empty() ? working_ + user.name : user.dir;
      if (user.folder.ends_with(L"\\")) user.folder.pop_back();
      users_.push_back(user);
    }
    ASSERT_EQ(users_.size(), 3u);
  }

  // Backs up every user; the list offers the users of the depot in its order.
  void BackupUsers(const std::wstring& archive) {
    Backup(archive);
    EXPECT_EQ(shown_.identities, UserNames());
  }

  std::vector<std::wstring> UserNames() const {
    std::vector<std::wstring> names;
    for (const BatUser& user : users_) names.push_back(user.name);
    return names;
  }

  std::wstring working_;
  std::vector<BatUser> users_;
};

TEST_F(TheBatTest, BackupWipeDirectRestoreLosesNothingAndAnotherFolderGetsTheLayout) {
  // The world has a Dir with and one without a trailing separator.
  ASSERT_TRUE(users_[0].dir.empty());
  ASSERT_TRUE(users_[1].dir.ends_with(L"\\"));
  ASSERT_FALSE(users_[2].dir.empty() || users_[2].dir.ends_with(L"\\"));
  const Snapshot before = TakeSnapshot(scope_);
  const std::wstring archive = L"C:\\Backups\\bat.ebk";
  BackupUsers(archive);

  // Stored names keep every character of the user's files, whatever the Dir's spelling; each
  // user's map lists its own mail folders once.
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  const std::set<std::wstring> stored(members.begin(), members.end());
  for (const BatUser& user : users_) {
    for (const auto& [file, hash] : FilesBelow(user.folder)) {
      EXPECT_TRUE(stored.count(user.name + L"\\" + file)) << ToUtf8(user.name + L"\\" + file);
    }
    const IniText map = ArchiveIni(archive, user.name + L"\\directory.ini");
    std::set<std::wstring> mapped;
    for (const std::wstring& key : map.KeyNames(L"Directory")) {
      EXPECT_TRUE(mapped.insert(map.ReadString(L"Directory", key, L"")).second);
    }
    EXPECT_TRUE(mapped.count(L"Inbox\\Archive 2005\\Receipts\\")) << ToUtf8(user.name);
    EXPECT_TRUE(mapped.count(L"Drafts\\"));
    EXPECT_EQ(mapped.size(), 7u);
  }
  EXPECT_TRUE(stored.count(L"Address Book\\Default.abd"));
  EXPECT_TRUE(stored.count(L"Address Book\\Groups.cfg"));
  const IniText manifest = ArchiveIni(archive, L"infobak.ini");
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Item1", L""), L"default");
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Item2", L""), users_[1].dir);
  EXPECT_EQ(manifest.ReadString(L"Directory", L"Item3", L""), users_[2].dir);

  // A lost installation: the user list and every folder, only the working directory value
  // is left. The users are new to the machine now: the one whose archived folder lies outside
  // the working directory comes back into the working directory + its name, the others where
  // they were.
  std::vector<Tree> trees;
  for (const BatUser& user : users_) trees.push_back(FilesBelow(user.folder));
  RegDeleteTreeW(HKEY_CURRENT_USER, kDepotKey);
  for (const std::wstring& folder : scope_.folders) RemoveTree(folder);
  Restore(archive, UserNames());
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore completed!");
  const std::wstring moved = working_ + users_[1].name;
  EXPECT_EQ(FilesBelow(moved), trees[1]);
  EXPECT_FALSE(FileExists(users_[1].folder));
  EXPECT_EQ(DepotText(L"Dir #2"), L"");
  EXPECT_TRUE(LogHolds({L"User " + users_[1].name + L" restored into " + moved + L"\\, not into " +
                        users_[1].dir + L" named by the backup"}));
  std::istringstream changes(ChangesSince(before));
  for (std::string line; std::getline(changes, line);) {
    EXPECT_TRUE(line.find(ToUtf8(users_[1].folder)) != std::string::npos ||
                line.find(ToUtf8(moved)) != std::string::npos ||
                line.find("[Dir #2]") != std::string::npos)
        << line;
  }

  OpenForRestore(archive, UserNames());
  RestoreInto(L"C:\\Restore\\");
  for (size_t n = 0; n < users_.size(); ++n) {
    EXPECT_EQ(FilesBelow(L"C:\\Restore\\" + users_[n].name), trees[n]) << ToUtf8(users_[n].name);
  }
  EXPECT_EQ(Names(FilesBelow(L"C:\\Restore\\Address Book")),
            (std::set<std::wstring>{L"Addrbook.ini", L"Business Contacts.abd", L"Default.abd",
                                    L"Groups.cfg"}));
  EXPECT_EQ(FilesBelow(L"C:\\Restore").size(),
            trees[0].size() + trees[1].size() + trees[2].size() + 4);
}

TEST_F(TheBatTest, UnknownUsersAreAppendedAndACraftedArchiveWritesNothingOutsideItsTargets) {
  const std::wstring archive = L"C:\\Backups\\bat.ebk";
  BackupUsers(archive);

  // This machine knows one stranger and the first user (with another folder); the other two
  // users are new to it.
  RegDeleteTreeW(HKEY_CURRENT_USER, kDepotKey);
  {
    RegistryKey depot;
    ASSERT_TRUE(depot.Open(HKEY_CURRENT_USER, kDepotKey, true));
    depot.WriteString(L"User #1", L"Stranger");
    depot.WriteString(L"Dir #1", L"C:\\Stranger\\");
    depot.WriteString(L"User #2", users_[0].name);
    depot.WriteString(L"Dir #2", L"C:\\Elsewhere");
    depot.WriteInteger(L"Count", 2);
  }
  Restore(archive, UserNames());
  // Users this machine knows keep their folders; new ones are appended, in the working
  // directory unless their archived folder lies in it.
  EXPECT_EQ(DepotCount(), 4);
  EXPECT_EQ(DepotText(L"User #1"), L"Stranger");
  EXPECT_EQ(DepotText(L"Dir #1"), L"C:\\Stranger\\");
  EXPECT_EQ(DepotText(L"User #2"), users_[0].name);
  EXPECT_EQ(DepotText(L"Dir #2"), L"C:\\Elsewhere");
  EXPECT_TRUE(FileExists(L"C:\\Elsewhere\\Inbox\\Messages.tbb"));
  EXPECT_EQ(DepotText(L"User #3"), users_[1].name);
  EXPECT_EQ(DepotText(L"Dir #3"), L"");
  EXPECT_TRUE(FileExists(working_ + users_[1].name + L"\\Inbox\\Messages.tbb"));
  EXPECT_EQ(DepotText(L"User #4"), users_[2].name);
  EXPECT_EQ(DepotText(L"Dir #4"), users_[2].dir);

  // A crafted archive: folder values and names that leave their targets.
  std::string inbox;
  ASSERT_TRUE(ReadArchiveMember(archive, users_[0].name + L"\\Inbox\\Messages.tbb", &inbox));
  const std::string name = ToUtf8(users_[0].name);  // ASCII
  const std::vector<PackedMember> crafted = {
      {L"infobak.ini",
       "[Backup]\r\nEmailClient=TheBat\r\n"
       "[Identities]\r\nItem1=" +
           name +
           "\r\nItem2=Evil\r\nItem3=..\\Up\r\nItem4=Relative\r\nItem5=Newcomer\r\n"
           "[Items]\r\nItem1=Mail Folders\r\n"
           "[Directory]\r\nItem1=default\r\nItem2=C:\\Restore\\..\\..\\Escape\r\n"
           "Item3=default\r\nItem4=Relative\\Folder\r\nItem5=default\r\n"},
      {users_[0].name + L"\\directory.ini",
       "[Directory]\r\nDir1=..\\..\\Escaped\\\r\nDir2=Inbox\\\r\nDir3=C:\\Escaped\\\r\n"},
      {users_[0].name + L"\\Inbox\\Messages.tbb", inbox},
      {L"Evil\\directory.ini", "[Directory]\r\nDir1=Inbox\\\r\n"},
      {L"Evil\\Inbox\\Messages.tbb", inbox},
      {L"Relative\\directory.ini", "[Directory]\r\nDir1=Inbox\\\r\n"},
      {L"Relative\\Inbox\\Messages.tbb", inbox},
      {L"Newcomer\\directory.ini", "[Directory]\r\nDir1=Inbox\\\r\nDir2=..\\Escaped\\\r\n"},
      {L"Newcomer\\Inbox\\Messages.tbb", inbox},
  };
  const std::wstring crafted_archive = L"C:\\Backups\\crafted.ebk";
  ASSERT_TRUE(PackMembers(crafted_archive, crafted));
  RemoveTree(L"C:\\Elsewhere\\Inbox");
  Restore(crafted_archive, {users_[0].name, L"Evil", L"..\\Up", L"Relative", L"Newcomer"});
  // Refused parts: the restore ends as not completed, with a box.
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");
  HWND box = wizard_.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(MessageBoxText(box).starts_with(L"This part of the backup file was not restored"));
  PressButton(box, L"OK");

  // The known user's data went into its folder here; the folders the archive named were not
  // followed: new users went into the working directory.
  EXPECT_TRUE(FileExists(L"C:\\Elsewhere\\Inbox\\Messages.tbb"));
  EXPECT_TRUE(FileExists(working_ + L"Evil\\Inbox\\Messages.tbb"));
  EXPECT_TRUE(FileExists(working_ + L"Relative\\Inbox\\Messages.tbb"));
  for (const std::wstring& outside :
       {std::wstring(L"C:\\Escape"), std::wstring(L"C:\\Escaped"), working_ + L"Escaped",
        working_ + L"..\\Escaped", working_ + L"Up", working_ + L"..\\Up",
        working_ + L"Relative\\Folder", std::wstring(L"C:\\Restore\\Evil")}) {
    EXPECT_FALSE(FileExists(outside)) << ToUtf8(outside);
  }
  // A user whose files did not all come back is not registered.
  EXPECT_TRUE(FileExists(working_ + L"Newcomer\\Inbox\\Messages.tbb"));
  EXPECT_EQ(DepotCount(), 6);
  EXPECT_EQ(DepotText(L"User #5"), L"Evil");
  EXPECT_EQ(DepotText(L"Dir #5"), L"");
  EXPECT_TRUE(LogHolds(
      {L"Refused: User not restored, its name is not valid: ..\\Up",
       L"User Evil restored into " + working_ +
           L"Evil\\, not into C:\\Restore\\..\\..\\Escape "
           L"named by the backup",
       L"Refused: Mail folder not restored, its path leaves the user folder: ..\\..\\Escaped\\",
       L"User not registered, its files did not come back intact: Newcomer"}));
}

}  // namespace
}  // namespace mailstow::e2e
