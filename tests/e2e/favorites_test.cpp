// The Internet Explorer Favorites backed up and restored through the real wizard: plain,
// with a password and split into volumes; restored directly and into another folder, each
// compared file by file with the original tree; the completion pages and the run logs.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "base/registry_key.h"
#include "tests/e2e/client_round_trip.h"

namespace mailstow::e2e {
namespace {

std::wstring FavoritesFolder() {
  return ReadRegistryString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      L"Favorites");
}

void WriteTestFile(const std::wstring& path, const std::string& content) {
  const size_t separator = path.find_last_of(L'\\');
  for (size_t i = 3; i < separator; ++i) {
    if (path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
  CreateDirectoryW(path.substr(0, separator).c_str(), nullptr);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

Contents OnlyUrls(const Contents& tree) {
  Contents urls;
  for (const auto& [path, content] : tree) {
    if (path.size() > 4 && _wcsicmp(path.c_str() + path.size() - 4, L".url") == 0)
      urls[path] = content;
  }
  return urls;
}

std::string Shortcut(const std::string& address) {
  return "[InternetShortcut]\r\nURL=" + address + "\r\n";
}

// Test names and paths are ASCII.
std::string Narrow(const std::wstring& text) { return {text.begin(), text.end()}; }

std::vector<std::wstring> LogLines(const std::wstring& path) {
  std::vector<std::wstring> lines;
  std::istringstream text(FileBytes(path));
  std::string line;
  while (std::getline(text, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.emplace_back(line.begin(), line.end());
  }
  return lines;
}

class FavoritesTest : public ClientRoundTrip {
 protected:
  FavoritesTest()
      : ClientRoundTrip(
            {.radio_button = L"RadioButton16", .program_name = L"favorites", .choose = true}) {}

  void SetUp() override {
    ClientRoundTrip::SetUp();
    favorites_ = FavoritesFolder();
    ASSERT_FALSE(favorites_.empty());
    RemoveTree(favorites_);
    CreateDirectoryW(favorites_.c_str(), nullptr);
    WriteTestFile(favorites_ + L"\\Home.url", Shortcut("http://home.example/"));
    WriteTestFile(favorites_ + L"\\Links\\News.url", Shortcut("http://news.example/"));
    WriteTestFile(favorites_ + L"\\Links\\Weather.url", Shortcut("http://weather.example/"));
    WriteTestFile(favorites_ + L"\\Links\\notes.txt", "not a favourite");
    WriteTestFile(favorites_ + L"\\No Links\\readme.txt", "no favourites here");
    WriteTestFile(favorites_ + L"\\Work\\Projects\\Tracker.url",
                  Shortcut("http://tracker.example/"));
    original_ = ContentsBelow(favorites_);
  }

  // Opens the archive (answering the password prompt) and goes to page 11; the one identity
  // and its one item are offered ticked.
  void OpenFavorites(const std::wstring& archive, const std::wstring& password = L"") {
    OpenForRestore(archive, {L"Default"}, {.password = password});
    EXPECT_EQ(shown_.items_ticked, std::vector<bool>{true});
  }

  void WipeFavorites() {
    RemoveTree(favorites_);
    CreateDirectoryW(favorites_.c_str(), nullptr);
  }

  std::wstring favorites_;
  Contents original_;
};

TEST_F(FavoritesTest, BackupThenDirectRestoreBringsBackEveryFavourite) {
  Backup(L"C:\\Backups\\fav.ebk");
  wizard_.Screenshot(L"page08");
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
  EXPECT_EQ(wizard_.Text(L"Label35"), L"C:\\Backups\\fav.ebk");
  EXPECT_TRUE(IsShown(wizard_.Control(L"Button10")));
  EXPECT_TRUE(FileExists(L"C:\\Backups\\fav.ebk"));

  const std::vector<std::wstring> log = LogLines(folder_ + L"Log.txt");
  const std::vector<std::wstring> head = {L"",
                                          L"Backup",
                                          L"",
                                          L"Identity:",
                                          L"  Default",
                                          L"Items:",
                                          L"  Favorites",
                                          L"Destination file: C:\\Backups\\fav.ebk",
                                          L"EmailClient: 10"};
  ASSERT_GT(log.size(), head.size() + 1);
  EXPECT_EQ(
      std::vector<std::wstring>(log.begin() + 1, log.begin() + 1 + static_cast<long>(head.size())),
      head);
  // Four favourites, the directory map and the manifest, each in its block; then the result,
  // and that every entry was read back from the archive before it got its name.
  const std::vector<std::wstring> tail(log.end() - 5, log.end());
  EXPECT_EQ(tail,
            (std::vector<std::wstring>{L"", L"Total lines: 6", L"Error code: 0", L"Error line: 6",
                                       L"Verified: 6 of 6 entries read back"}));
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::wstring& l) { return l.starts_with(L"File number: "); }),
            6);
  EXPECT_NE(std::find(log.begin(), log.end(), L"File: " + favorites_ + L"\\Links\\News.url"),
            log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), L"Del Folder: " + favorites_ + L"\\Links\\"),
            log.end());

  WipeFavorites();
  WriteTestFile(favorites_ + L"\\Links\\notes.txt", "not a favourite");
  WriteTestFile(favorites_ + L"\\No Links\\readme.txt", "no favourites here");
  OpenFavorites(L"C:\\Backups\\fav.ebk");
  RestoreDirectly();
  EXPECT_EQ(ContentsBelow(favorites_), original_);

  const std::vector<std::wstring> restore_log = LogLines(folder_ + L"Log.txt");
  const std::vector<std::wstring> restore_head = {L"",
                                                  L"Restore",
                                                  L"",
                                                  L"Identity:",
                                                  L"  Default",
                                                  L"Items:",
                                                  L"  Favorites",
                                                  L"Source file: C:\\Backups\\fav.ebk",
                                                  L"Other dir: ",
                                                  L"EmailClient: 10"};
  ASSERT_GT(restore_log.size(), restore_head.size());
  EXPECT_EQ(
      std::vector<std::wstring>(restore_log.begin() + 1,
                                restore_log.begin() + 1 + static_cast<long>(restore_head.size())),
      restore_head);
}

TEST_F(FavoritesTest, PasswordProtectedBackupRestoresIntoAnotherFolder) {
  Backup(L"C:\\Backups\\secret.ebk", {.password = L"pa55word"});
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");

  // Cancel in the password prompt: no "Incorrect password!" follows and the page stays.
  StartAt(L"RadioButton2");
  wizard_.Type(L"Edit4", L"C:\\Backups\\secret.ebk");
  Click(wizard_.Control(L"Button3"));
  HWND prompt = wizard_.OtherForm();
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(WindowText(prompt), L"Password ...");
  // OK with an empty field keeps the prompt open.
  Click(FindControl(prompt, 1002));
  EXPECT_TRUE(wizard_.Answer(L"Incorrect password!", L"OK"));
  EXPECT_TRUE(IsShown(prompt));
  Click(FindControl(prompt, 1003));
  EXPECT_TRUE(wizard_.NoBox());
  EXPECT_EQ(wizard_.ActivePage(), 9);

  // A wrong password is reported and the page stays.
  wizard_.Next();
  for (int i = 0; i < 50 && !IsShown(prompt); ++i) Sleep(100);
  ASSERT_TRUE(wizard_.EnterPassword(L"wrong"));
  EXPECT_TRUE(wizard_.Answer(L"Incorrect password!", L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 9);
  OpenFavorites(L"C:\\Backups\\secret.ebk", L"pa55word");
  RestoreInto(L"C:\\Restore");
  wizard_.Screenshot(L"page14");
  EXPECT_EQ(ContentsBelow(L"C:\\Restore"), OnlyUrls(original_));
  EXPECT_EQ(ContentsBelow(favorites_), original_);  // the direct place untouched
}

TEST_F(FavoritesTest, SplitBackupRestoresTheSame) {
  // Enough incompressible data for three floppy-sized volumes.
  std::mt19937 random(7);
  std::string big(3'000'000, '\0');
  for (char& c : big) c = static_cast<char>(random());
  WriteTestFile(favorites_ + L"\\Work\\Large.url", big);
  original_ = ContentsBelow(favorites_);
  Backup(L"C:\\Backups\\split.ebk", {.split = true});
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
  EXPECT_TRUE(FileExists(L"C:\\Backups\\split.z01"));
  EXPECT_TRUE(FileExists(L"C:\\Backups\\split.z02"));
  WipeFavorites();
  OpenFavorites(L"C:\\Backups\\split.ebk");
  RestoreDirectly();
  EXPECT_EQ(OnlyUrls(ContentsBelow(favorites_)), OnlyUrls(original_));
}

TEST_F(FavoritesTest, ExitDuringALargeBackupShowsTheAbortedPage) {
  // Mailbox-like text: compressing it keeps the archiver busy for a few seconds.
  std::mt19937 random(11);
  const char* words[] = {"Subject: ", "meeting ",  "invoice ", "attached ", "regards\r\n",
                         "From: ",    "tomorrow ", "project ", "please ",   "thanks "};
  std::string bulk;
  bulk.reserve(16'000'000);
  while (bulk.size() < 16'000'000) bulk += words[random() % 10];
  for (int i = 0; i < 10; ++i)
    WriteTestFile(favorites_ + L"\\Bulk\\Item" + std::to_wstring(i) + L".url", bulk);
  StartAt(L"RadioButton1");
  wizard_.Next();
  wizard_.Type(L"Edit1", L"C:\\Backups\\big.ebk");
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 6);
  Click(wizard_.Control(L"Button3"));
  wizard_.WaitForPage(7, 5s);
  Click(wizard_.Control(L"Button4"));  // Exit while packing
  wizard_.WaitForPage(8);
  ASSERT_EQ(wizard_.ActivePage(), 8);
  EXPECT_TRUE(IsWindow(wizard_.form()));  // Exit during a run does not close the window
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup aborted!");
  EXPECT_EQ(wizard_.Text(L"Label35"), L"");
  EXPECT_FALSE(IsShown(wizard_.Control(L"Button10")));
  EXPECT_FALSE(FileExists(L"C:\\Backups\\big.ebk"));

  // "Create new backup" clears the cancel request: the next run is not stopped at once.
  EXPECT_EQ(wizard_.Text(L"Button3"), L"Create new backup");
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 3);
  RemoveTree(favorites_ + L"\\Bulk");
  wizard_.Next();
  wizard_.Next();
  wizard_.Type(L"Edit1", L"C:\\Backups\\small.ebk");
  wizard_.Next();
  wizard_.Next();
  wizard_.WaitForPage(8);
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
  EXPECT_TRUE(FileExists(L"C:\\Backups\\small.ebk"));
}

TEST_F(FavoritesTest, AnArchiveThatCannotBeWrittenEndsOnTheFailurePageAndKeepsTheOldOne) {
  const std::wstring archive = L"C:\\Backups\\fav.ebk";
  Backup(archive);
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
  const std::string old_bytes = FileBytes(archive);
  wizard_.Close();

  // A stand-in archiver fails the pack the way the real one does when a source vanishes
  // while the archive is written (status 9991): it writes nothing. The real library's side
  // of this is archive_job_test's.
  folder_ = PrepareProgramFolder(L"favorites_failing", {L"Mailstow.exe", L"English.lng"});
  CopyInto(DistFolder() + L"..\\tests\\engine\\standin\\Sqx.dll", folder_, L"Sqx.dll");
  SetEnvironmentVariableW(L"MAILSTOW_STANDIN_STATUS", L"9991");
  StartAt(L"RadioButton1");
  wizard_.Next();
  wizard_.Type(L"Edit1", archive);
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"This file already exists. Overwrite?", L"Yes"));
  ASSERT_EQ(wizard_.ActivePage(), 6);
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"The backup could not be written (error 9991).", L"OK"));
  SetEnvironmentVariableW(L"MAILSTOW_STANDIN_STATUS", nullptr);
  ASSERT_TRUE(wizard_.WaitForPage(8));
  wizard_.Screenshot(L"page08_failed");
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup failed!");
  EXPECT_EQ(wizard_.Text(L"Label32"),
            L"The backup file could not be written. The backup was not completed.");
  EXPECT_EQ(wizard_.Text(L"Label35"), L"");
  EXPECT_FALSE(IsShown(wizard_.Control(L"Button10")));
  EXPECT_EQ(FileBytes(archive), old_bytes);
  const std::vector<std::wstring> log = LogLines(folder_ + L"Log.txt");
  EXPECT_NE(std::find(log.begin(), log.end(), L"Error code: 9991"), log.end());

  // The archive that was not written is not offered for a restore.
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 3);
  wizard_.Back();
  wizard_.Press(L"RadioButton2");
  wizard_.Next();
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 9);
  EXPECT_FALSE(wizard_.Text(L"Edit4").empty());
  EXPECT_NE(wizard_.Text(L"Edit4"), archive);
}

TEST_F(FavoritesTest, DamagedArchiveEndsTheRestoreOnItsFailurePageAndKeepsNewerFavourites) {
  // Forty favourites whose text deflate cannot shrink much, behind a password.
  std::mt19937 random(3);
  for (int i = 0; i < 40; ++i) {
    std::string text = Shortcut("http://site" + std::to_string(i) + ".example/") + "Note=";
    for (int k = 0; k < 2000; ++k) text += static_cast<char>('a' + random() % 26);
    WriteTestFile(favorites_ + L"\\Sites\\Site" + std::to_wstring(i) + L".url", text + "\r\n");
  }
  const Contents backed_up = ContentsBelow(favorites_);
  const std::wstring archive = L"C:\\Backups\\damaged.ebk";
  Backup(archive, {.password = L"pa55word"});
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");

  // 4 KiB of zeros well inside the members' data, away from the directory at the end.
  std::string bytes = FileBytes(archive);
  ASSERT_GT(bytes.size(), 60'000u);
  std::fill_n(bytes.begin() + static_cast<long>(bytes.size() * 2 / 5), 4096, '\0');
  WriteTestFile(archive, bytes);
  // Every favourite changed since the backup.
  for (const auto& [path, content] : backed_up) {
    WriteTestFile(favorites_ + L"\\" + path, content + "Changed=later\r\n");
  }
  const Contents newer = ContentsBelow(favorites_);

  // A wrong password is still told as such, not as damage.
  StartAt(L"RadioButton2");
  wizard_.Type(L"Edit4", archive);
  wizard_.Next();
  ASSERT_TRUE(wizard_.EnterPassword(L"wrong"));
  EXPECT_TRUE(wizard_.Answer(L"Incorrect password!", L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 9);

  OpenFavorites(archive, L"pa55word");
  RestoreDirectly();
  HWND box = wizard_.WaitForBox();
  ASSERT_NE(box, nullptr);
  const std::wstring said = MessageBoxText(box);
  const std::wstring prefix = L"The backup file is damaged: Dir";
  ASSERT_TRUE(said.starts_with(prefix)) << Narrow(said);
  wizard_.Screenshot(L"page14_damaged");
  const std::wstring member = said.substr(prefix.size() - 3);
  EXPECT_TRUE(wizard_.Answer(said, L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 14);
  EXPECT_EQ(wizard_.Text(L"Label30"), L"Restore not completed!");
  EXPECT_EQ(wizard_.Text(L"Label33"),
            L"Not all of the selected items were restored. Data that could not be restored was "
            L"left as it was; Log.txt names what failed.");

  // Each favourite is whole: as backed up, or as it was before the restore; the damaged
  // one was not touched.
  const Contents after = ContentsBelow(favorites_);
  ASSERT_EQ(after.size(), newer.size());
  for (const auto& [path, content] : after) {
    EXPECT_TRUE(content == newer.at(path) || content == backed_up.at(path)) << Narrow(path);
  }
  const std::wstring damaged = L"Sites\\" + member.substr(member.find(L'\\') + 1);
  ASSERT_EQ(after.count(damaged), 1u) << Narrow(member);
  EXPECT_EQ(after.at(damaged), newer.at(damaged));
  const std::vector<std::wstring> log = LogLines(folder_ + L"Log.txt");
  EXPECT_NE(std::find(log.begin(), log.end(), L"Damaged member: " + member), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), L"Error code: 9977"), log.end());
}

// A restore into another folder takes only an absolute folder: a relative text would resolve
// against whatever the working folder happens to be.
TEST_F(FavoritesTest, ARelativeRestoreFolderIsRefusedOnTheLocationPage) {
  const std::wstring archive = L"C:\\Backups\\favorites.ebk";
  Backup(archive);
  StartAt(L"RadioButton2");
  wizard_.Type(L"Edit4", archive);
  wizard_.Next();
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 11);
  wizard_.Press(L"RadioButton12");
  for (const wchar_t* folder : {L"Restore", L"..\\Restore", L"\\Restore", L"C:Restore"}) {
    wizard_.Type(L"Edit5", folder);
    wizard_.Next();
    EXPECT_TRUE(wizard_.Answer(L"Invalid Directory!", L"OK")) << ::testing::PrintToString(folder);
    EXPECT_EQ(wizard_.ActivePage(), 11);
  }
}

}  // namespace
}  // namespace mailstow::e2e
