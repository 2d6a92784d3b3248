// Names of unattended backups and which older archives the backup mode removes.
#include "auto/archive_rotation.h"

#include <gtest/gtest.h>

#include "auto/auto_clients.h"

namespace mailstow {
namespace {

using Paths = std::vector<std::wstring>;

constexpr wchar_t kNew[] = L"C:\\B\\OExpressBackup 7-12-2026.ebk";

std::vector<ArchiveFile> FiveOlderAndTheNew() {
  return {{L"C:\\B\\OExpressBackup 1-12-2026.ebk", 1.0},
          {L"C:\\B\\OExpressBackup 3-12-2026.ebk", 3.0},
          {L"C:\\B\\OExpressBackup 2-12-2026.ebk", 2.0},
          {L"C:\\B\\OExpressBackup 5-12-2026.ebk", 5.0},
          {L"C:\\B\\OExpressBackup 4-12-2026.ebk", 4.0},
          // The new archive in other letter case, as the folder listing may spell it.
          {L"c:\\b\\oexpressbackup 7-12-2026.EBK", 7.0}};
}

struct RotationCase {
  const char* name;
  int mode;
  int keep;
  Paths removed;
};

TEST(ArchiveRotationTest, ModesRemoveTheOldestBeyondTheKeepCountAndNeverTheNewArchive) {
  const RotationCase cases[] = {
      {"keep 3 of five older",
       2,
       3,
       {L"C:\\B\\OExpressBackup 2-12-2026.ebk", L"C:\\B\\OExpressBackup 1-12-2026.ebk"}},
      {"keep 1",
       2,
       1,
       {L"C:\\B\\OExpressBackup 4-12-2026.ebk", L"C:\\B\\OExpressBackup 3-12-2026.ebk",
        L"C:\\B\\OExpressBackup 2-12-2026.ebk", L"C:\\B\\OExpressBackup 1-12-2026.ebk"}},
      {"keep more than there are", 2, 9, {}},
      {"keep 0 keeps all", 2, 0, {}},
      {"overwrite removes the newest older one", 1, 0, {L"C:\\B\\OExpressBackup 5-12-2026.ebk"}},
  };
  for (const RotationCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ArchivesToRemove(FiveOlderAndTheNew(), kNew, c.mode, c.keep), c.removed);
  }
  // Alone in the folder, the new archive stays in every mode.
  for (const int mode : {1, 2}) {
    EXPECT_TRUE(ArchivesToRemove({{kNew, 7.0}}, kNew, mode, 1).empty());
  }
}

TEST(ArchiveRotationTest, EqualTimesAreOrderedByName) {
  const std::vector<ArchiveFile> tied = {{L"C:\\B\\FavoritesBackup 2-1-2026.ebk", 4.0},
                                         {L"C:\\B\\FavoritesBackup 1-1-2026.ebk", 4.0}};
  EXPECT_EQ(ArchivesToRemove(tied, kNew, 2, 1), Paths{L"C:\\B\\FavoritesBackup 1-1-2026.ebk"});
  std::vector<ArchiveFile> reversed(tied.rbegin(), tied.rend());
  EXPECT_EQ(ArchivesToRemove(reversed, kNew, 2, 1), Paths{L"C:\\B\\FavoritesBackup 1-1-2026.ebk"});
}

TEST(ArchiveRotationTest, NamesAndPatterns) {
  EXPECT_EQ(AutoArchiveDateText(6, 12, 2026), L"6-12-2026");
  EXPECT_EQ(AutoArchivePath(L"D:\\Backups\\", UserPrefixFor(L"Ann", L"ann.k"), L"FavoritesBackup",
                            AutoArchiveDateText(1, 2, 2027)),
            L"D:\\Backups\\Ann FavoritesBackup 1-2-2027.ebk");
  EXPECT_EQ(AutoArchivePath(L"D:\\", L"", L"Mailstow", L"1-2-2027", 3),
            L"D:\\Mailstow 1-2-2027 (3).ebk");
  // Without a logon name the account name keeps two users' archives apart.
  EXPECT_EQ(UserPrefixFor(L"", L"ann.k"), L"ann.k ");
  EXPECT_EQ(UserPrefixFor(L"", L""), L"");

  struct Candidate {
    const wchar_t* file;
    bool matches;
  };
  const Candidate candidates[] = {
      {L"Ann OExpressBackup 6-12-2026.ebk", true},
      {L"Ann OExpressBackup 31-1-1999.ebk", true},
      {L"Ann OExpressBackup 6-12-2026 (2).ebk", true},
      {L"Ann OExpressBackup 6-12-2026 (17).ebk", true},
      // Other letter cases, leading zeros, impossible dates, words added: not generated.
      {L"ann oexpressbackup 6-12-2026.EBK", false},
      {L"Ann OExpressBackup 6-12-2026.EBK", false},
      {L"Ann OExpressBackup 06-12-2026.ebk", false},
      {L"Ann OExpressBackup 6-012-2026.ebk", false},
      {L"Ann OExpressBackup 32-1-2026.ebk", false},
      {L"Ann OExpressBackup 6-13-2026.ebk", false},
      {L"Ann OExpressBackup 6-12-20260.ebk", false},
      {L"Ann OExpressBackup 6-12-226.ebk", false},
      {L"Ann OExpressBackup 6-12-2026 (1).ebk", false},
      {L"Ann OExpressBackup 6-12-2026 (02).ebk", false},
      {L"Ann OExpressBackup 6-12-2026 ().ebk", false},
      {L"Ann OExpressBackup 6-12-2026 - before reinstall.ebk", false},
      {L"Ann OExpressBackup - before reinstall.ebk", false},
      {L"Ann OExpressBackup 6-12-2026.ebk.tmp", false},
      {L"Ann OExpressBackup 6-12-2026.z01", false},
      {L"Ann OExpressBackup.ebk", false},
      {L"Ann OExpressBackup .ebk", false},
      {L"Bob OExpressBackup 6-12-2026.ebk", false},
      {L"Ann FavoritesBackup 6-12-2026.ebk", false},
      {L"OExpressBackup 6-12-2026.ebk", false},
  };
  for (const Candidate& c : candidates) {
    EXPECT_EQ(IsGeneratedArchiveName(c.file, L"Ann OExpressBackup"), c.matches) << c.file;
  }

  const Candidate parts[] = {
      {L"Mailstow 1-1-2026.z01", true},  {L"MAILSTOW 1-1-2026.Z12", true},
      {L"Mailstow 1-1-2026.z100", true}, {L"Mailstow 1-1-2026.zip", false},
      {L"Mailstow 1-1-2026.z", false},   {L"Mailstow 1-1-20260.z01", false},
      {L"Mailstow 1-1-2026.ebk", false},
  };
  for (const Candidate& c : parts) {
    EXPECT_EQ(IsVolumePartOf(c.file, L"Mailstow 1-1-2026.ebk"), c.matches) << c.file;
  }
}

TEST(ArchiveRotationTest, ItemTicksFollowTheFlagsOrTakeEveryRow) {
  const auto clients = AutoClients();
  const AutoClient& outlook_express = clients[0];
  const AutoClient& favorites = clients[9];
  ASSERT_EQ(outlook_express.key, L"Outlook Express");
  ASSERT_EQ(favorites.key, L"Favorites");
  AutoClientSelection selection = ClearedSelections()[0];
  selection.items[1] = true;  // Mail
  EXPECT_FALSE(AutoItemTicked(outlook_express, selection, 0));
  EXPECT_TRUE(AutoItemTicked(outlook_express, selection, 1));
  EXPECT_FALSE(AutoItemTicked(outlook_express, selection, 6));  // beyond the flags
  EXPECT_TRUE(AutoItemTicked(favorites, ClearedSelections()[9], 0));
  // Row k shows flag k: a client with flags has one row per flag.
  for (const AutoClient& client : clients) {
    if (!client.item_flags.empty()) {
      EXPECT_EQ(client.item_flags.size(), client.item_rows.size());
    }
  }
}

}  // namespace
}  // namespace mailstow
