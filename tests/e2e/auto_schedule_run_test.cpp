// The whole chain of a scheduled backup: the real Stowclock.exe finds a backup due and starts
// the real Mailstow.exe "/auto", which writes a dated, password-protected archive per selected
// client into the backup folder and its log, without a window to click. The archives are
// then tested with 7-Zip by auto_schedule_run_native_check.
#include <gtest/gtest.h>

#include <thread>

#include "base/ansi_text.h"
#include "base/registry_key.h"
#include "auto/archive_rotation.h"
#include "auto/passwd.h"
#include "auto/stowclock_control.h"
#include "guard/process_list.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/client_round_trip.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kSettings[] = L"Software\\Corvane\\Mailstow";
constexpr wchar_t kBackups[] = L"C:\\ScheduledBackups\\";

bool MailstowRunning() {
  ProcessList processes;
  processes.Refresh();
  return std::any_of(
      processes.entries().begin(), processes.entries().end(),
      [](const ProcessInfo& p) { return _wcsicmp(p.name.c_str(), L"Mailstow.exe") == 0; });
}

TEST(AutoScheduleRunTest, StowclockStartsAnUnattendedRunThatBacksUpEverySelectedClient) {
  EndProcessesNamed(L"Stowclock.exe");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
  SnapshotSpec scope;
  ASSERT_TRUE(InstallClientWorld(L"OutlookExpress", 5, 0.01, &scope));
  const std::wstring favorites = ReadRegistryString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      L"Favorites");
  ASSERT_FALSE(favorites.empty());
  CreateDirectoryW(favorites.c_str(), nullptr);
  HANDLE url = CreateFileW((favorites + L"\\Scheduled.url").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
  const char shortcut[] = "[InternetShortcut]\r\nURL=http://scheduled.example/\r\n";
  DWORD written = 0;
  WriteFile(url, shortcut, sizeof(shortcut) - 1, &written, nullptr);
  CloseHandle(url);

  const std::wstring folder = PrepareProgramFolder(
      L"scheduled", {L"Mailstow.exe", L"English.lng", L"Sqx.dll", L"Stowclock.exe"});
  RemoveTree(L"C:\\ScheduledBackups");
  {
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettings, true));
    const double now = LocalNowAsDays();
    key.WriteDateTime(L"LastBackupDate", now - 1.5);
    key.WriteDateTime(L"BackupTime", now);
    key.WriteInteger(L"BackupPeriod", 1);
    key.WriteString(L"BackupInterval", L"Days");
    key.WriteString(L"BackupDir", kBackups);
    key.WriteInteger(L"BackupMode", 2);
    key.WriteInteger(L"BackupKeep", 3);
    key.WriteBool(L"BackupUsePsw", true);
    key.WriteString(L"BackupPsw", FromAnsi(ScramblePassword("Sched-7")));
    for (const wchar_t* client : {L"Outlook Express", L"Favorites"}) {
      RegistryKey selection;
      ASSERT_TRUE(selection.Open(HKEY_CURRENT_USER,
                                 std::wstring(kSettings) + L"\\AutoBackup\\" + client, true));
      for (const wchar_t* flag : {L"Select", L"Accounts", L"Mail", L"Signatures", L"Rules",
                                  L"Address Book", L"Stationery"}) {
        selection.WriteBool(flag, true);
      }
    }
  }
  CreateDirectoryW(L"C:\\ScheduledBackups", nullptr);
  {
    RegistryKey explorer;
    ASSERT_TRUE(explorer.Open(HKEY_CURRENT_USER,
                              L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", true));
    explorer.WriteString(L"Logon User Name", L"Sam");
  }

  Program stowclock;
  ASSERT_TRUE(stowclock.Start(folder + L"Stowclock.exe", L""));
  // Stowclock settles for a minute and twelve ticks; the run follows its first check.
  const SYSTEMTIME started = [] {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
  }();
  const std::wstring date = AutoArchiveDateText(started.wDay, started.wMonth, started.wYear);
  const std::wstring oe_archive = kBackups + (L"Sam OExpressBackup " + date + L".ebk");
  const std::wstring favorites_archive = kBackups + (L"Sam FavoritesBackup " + date + L".ebk");
  const auto deadline = std::chrono::steady_clock::now() + 150s;
  while (std::chrono::steady_clock::now() < deadline &&
         !(FileExists(favorites_archive) && !MailstowRunning())) {
    std::this_thread::sleep_for(500ms);
  }
  stowclock.Kill();
  ASSERT_TRUE(FileExists(oe_archive));
  ASSERT_TRUE(FileExists(favorites_archive));
  EXPECT_FALSE(MailstowRunning());
  // The reference moved by one whole day.
  RegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettings, false));
  EXPECT_TRUE(key.ReadDateTime(L"LastBackupDate").ok());
  EXPECT_GT(key.ReadDateTime(L"LastBackupDate").value, LocalNowAsDays() - 1.0);

  EXPECT_FALSE(ArchiveMembers(oe_archive).empty());
  const std::string log = [&] {
    std::string text;
    HANDLE file = CreateFileW((folder + L"AutoLog.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    text.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    return text;
  }();
  EXPECT_NE(log.find(ToAnsi(L"Destination file: " + oe_archive)), std::string::npos) << log;
  EXPECT_NE(log.find(ToAnsi(L"Destination file: " + favorites_archive)), std::string::npos);
  // Both packs succeeded.
  size_t successes = 0;
  for (size_t at = log.find("Error code: 0\r\n"); at != std::string::npos;
       at = log.find("Error code: 0\r\n", at + 1)) {
    ++successes;
  }
  EXPECT_EQ(successes, 2u) << log;
}

}  // namespace
}  // namespace mailstow::e2e
