// Scheduled backups through the real programs: the auto-backup dialog opened from the
// wizard, and unattended runs of Mailstow.exe "/auto" with their archives, log and rotation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "base/ansi_text.h"
#include "base/date_time_value.h"
#include "tests/moment_at.h"
#include "ui/form_layout.h"
#include "base/registry_key.h"
#include "auto/archive_rotation.h"
#include "auto/stowclock_control.h"
#include "tests/e2e/archive_access.h"
#include "tests/e2e/outlook_express_machine.h"
#include "tests/e2e/wizard_session.h"
#include "tools/utf_text.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kSettings[] = L"Software\\Corvane\\Mailstow";
constexpr wchar_t kAutoBackup[] = L"Software\\Corvane\\Mailstow\\AutoBackup";
constexpr wchar_t kBackups[] = L"C:\\AutoBackups\\";

struct StoredValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool present() const { return type != REG_NONE; }
  DWORD dword() const {
    return data.size() == 4 ? *reinterpret_cast<const DWORD*>(data.data()) : ~0u;
  }
  std::wstring text() const {
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2).c_str();
  }
  double date_time() const {
    double value = 0;
    if (data.size() == 8) memcpy(&value, data.data(), 8);
    return value;
  }
};

StoredValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  StoredValue value;
  HKEY handle;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExW(handle, name.c_str(), nullptr, &value.type, nullptr, &size) ==
      ERROR_SUCCESS) {
    value.data.resize(size);
    RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, value.data.data(), &size);
  } else {
    value.type = REG_NONE;
  }
  RegCloseKey(handle);
  return value;
}

using testing::MomentAt;

std::wstring Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return AutoArchiveDateText(now.wDay, now.wMonth, now.wYear);
}

void WriteFileBytes(const std::wstring& path, const std::string& content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

// An older archive of that name, written `days_ago` days before now.
void PlaceOldArchive(const std::wstring& name, int days_ago) {
  const std::wstring path = kBackups + name;
  WriteFileBytes(path, "old archive " + std::string(name.begin(), name.end()));
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
  time.QuadPart -= static_cast<ULONGLONG>(days_ago) * 864000000000ULL;
  const FILETIME written{time.LowPart, time.HighPart};
  HANDLE file =
      CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring FavoritesFolder() {
  return ReadRegistryString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      L"Favorites");
}

class AutoBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StopStowclocks();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
    RegistryKey run;
    if (run.Open(HKEY_CURRENT_USER, kRunKeyPath, false)) run.DeleteValue(kStowclockRunValue);
    folder_ = PrepareProgramFolder(L"auto",
                                   {L"Mailstow.exe", L"English.lng", L"Sqx.dll", L"Stowclock.exe"});
    RemoveTree(L"C:\\AutoBackups");
    CreateDirectoryW(L"C:\\AutoBackups", nullptr);
    const std::wstring favorites = FavoritesFolder();
    ASSERT_FALSE(favorites.empty());
    RemoveTree(favorites);
    CreateDirectoryW(favorites.c_str(), nullptr);
    WriteFileBytes(favorites + L"\\Home.url", "[InternetShortcut]\r\nURL=http://home.example/\r\n");
  }
  void TearDown() override { StopStowclocks(); }

  // Settings of an unattended run into C:\AutoBackups with the clients selected.
  void StoreAutoSettings(int mode, int keep, std::initializer_list<const wchar_t*> clients) {
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettings, true));
    key.WriteString(L"BackupDir", kBackups);
    key.WriteInteger(L"BackupMode", mode);
    key.WriteInteger(L"BackupKeep", keep);
    for (const wchar_t* client : clients) {
      RegistryKey selection;
      ASSERT_TRUE(
          selection.Open(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\" + client, true));
      selection.WriteBool(L"Select", true);
      for (const wchar_t* flag :
           {L"Accounts", L"Mail", L"Signatures", L"Rules", L"Address Book", L"Stationery"}) {
        selection.WriteBool(flag, true);
      }
    }
  }

  // Runs Mailstow "/auto" to its end; its exit code.
  DWORD RunAuto() {
    Program run;
    if (!run.Start(folder_ + L"Mailstow.exe", L"/auto")) return ~0u;
    return run.WaitForExit(90s);
  }

  HWND DialogControl(HWND dialog, const wchar_t* component) const {
    return FindControl(dialog, ComponentId(L"Form4", component));
  }

  std::wstring folder_;
};

TEST_F(AutoBackupTest, DialogStoresSelectionsAndScheduleAndStartsAndStopsStowclock) {
  {
    // The start day and time the pickers show: 15 March 2027, 09:00.
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettings, true));
    key.WriteDateTime(L"BackupDate", MomentAt(2027, 3, 15));
    key.WriteDateTime(L"BackupTime", MomentAt(2026, 1, 1, 9, 0));
  }
  WizardSession wizard;
  ASSERT_TRUE(wizard.Start(folder_));
  wizard.Press(L"Button8");
  HWND dialog = wizard.OtherForm();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(dialog), L"Auto BackUp...");

  // Outlook Express with its six items, and the Favorites.
  HWND clients = DialogControl(dialog, L"ListBox1");
  HWND items = DialogControl(dialog, L"ListBox2");
  ASSERT_EQ(ListCount(clients), 10);
  ListToggle(clients, 0);
  ASSERT_EQ(ListCount(items), 6);
  for (int row = 0; row < 6; ++row) ListToggle(items, row);
  ListToggle(clients, 9);
  EXPECT_EQ(ListText(items, 0), L"Favorites");
  EXPECT_TRUE(ListTicked(items, 0));
  Click(DialogControl(dialog, L"CheckBox1"));
  TypeText(DialogControl(dialog, L"Edit1"), L"C:\\AutoBackups\\Scheduled");
  TypeText(DialogControl(dialog, L"Edit2"), L"2");
  SendMessageW(DialogControl(dialog, L"ComboBox1"), CB_SETCURSEL, 2, 0);  // Weeks
  Click(DialogControl(dialog, L"RadioButton4"));
  std::this_thread::sleep_for(300ms);
  if (SendMessageW(DialogControl(dialog, L"CheckBox2"), BM_GETCHECK, 0, 0) != BST_CHECKED) {
    Click(DialogControl(dialog, L"CheckBox2"));
  }
  TypeText(DialogControl(dialog, L"Edit3"), L"4");
  std::this_thread::sleep_for(300ms);
  wizard.Screenshot(L"auto_backup_general");

  // A password pair that differs: the box, and nothing saved.
  Click(DialogControl(dialog, L"CheckBox3"));
  TypeText(DialogControl(dialog, L"Edit4"), L"one");
  TypeText(DialogControl(dialog, L"Edit5"), L"two");
  Click(DialogControl(dialog, L"Button2"));
  EXPECT_TRUE(wizard.Answer(L"Incorrect password!", L"OK"));
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupInterval").text() == L"Weeks");
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettings, L"LastBackupDate").present());
  EXPECT_EQ(WindowText(DialogControl(dialog, L"Edit4")), L"");
  wizard.Screenshot(L"auto_backup_advanced");

  TypeText(DialogControl(dialog, L"Edit4"), L"s3cret");
  TypeText(DialogControl(dialog, L"Edit5"), L"s3cret");
  Click(DialogControl(dialog, L"Button2"));
  for (int i = 0; i < 100 && IsShown(dialog); ++i) std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(IsShown(dialog));

  // The selections, as booleans.
  const std::wstring oe = std::wstring(kAutoBackup) + L"\\Outlook Express";
  for (const wchar_t* flag :
       {L"Select", L"Accounts", L"Mail", L"Signatures", L"Rules", L"Address Book", L"Stationery"}) {
    const StoredValue value = ReadValue(HKEY_CURRENT_USER, oe, flag);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << flag;
    EXPECT_EQ(value.dword(), 1u) << flag;
  }
  EXPECT_EQ(
      ReadValue(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\Favorites", L"Select").dword(),
      1u);
  const StoredValue eudora_mail =
      ReadValue(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\Eudora", L"Mail");
  EXPECT_EQ(eudora_mail.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(eudora_mail.dword(), 0u);

  // The settings with their types.
  const StoredValue dir = ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupDir");
  EXPECT_EQ(dir.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(dir.text(), L"C:\\AutoBackups\\Scheduled\\");
  EXPECT_TRUE(FileExists(L"C:\\AutoBackups\\Scheduled"));
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupPeriod").dword(), 2u);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupInterval").text(), L"Weeks");
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupMode").dword(), 2u);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupKeep").dword(), 4u);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupUsePsw").dword(), 1u);
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupPsw").text().empty());
  const StoredValue reference = ReadValue(HKEY_CURRENT_USER, kSettings, L"LastBackupDate");
  EXPECT_EQ(reference.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_NEAR(reference.date_time(), MomentAt(2027, 3, 1, 9, 0), 1.0 / 86400);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"AutoBackup").dword(), 1u);

  // Stowclock starts at logon from the user's Run key, with the path quoted, and runs now.
  const StoredValue run = ReadValue(HKEY_CURRENT_USER, kRunKeyPath, kStowclockRunValue);
  EXPECT_EQ(run.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(run.text(), L"\"" + folder_ + L"Stowclock.exe\"");
  EXPECT_EQ(RunningStowclocks().size(), 1u);

  // Reopened, the dialog shows what was stored; automatic backup off stops Stowclock.
  wizard.Press(L"Button8");
  dialog = wizard.OtherForm();
  ASSERT_NE(dialog, nullptr);
  items = DialogControl(dialog, L"ListBox2");
  for (int row = 0; row < 6; ++row) EXPECT_TRUE(ListTicked(items, row)) << row;
  EXPECT_EQ(WindowText(DialogControl(dialog, L"Edit4")), L"s3cret");
  EXPECT_EQ(SendMessageW(DialogControl(dialog, L"ComboBox1"), CB_GETCURSEL, 0, 0), 2);
  // "Run now" starts an unattended run of the stored selection at once.
  Click(DialogControl(dialog, L"Button4"));
  const std::wstring favorites_archive =
      L"C:\\AutoBackups\\Scheduled\\FavoritesBackup " + Today() + L".ebk";
  for (int i = 0;
       i < 600 && FileBytes(folder_ + L"AutoLog.txt").find("Error code") == std::string::npos;
       ++i) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(FileExists(favorites_archive));
  // Unticking a client clears its item flags.
  ListToggle(DialogControl(dialog, L"ListBox1"), 0);
  EXPECT_FALSE(ListTicked(items, 0));
  EXPECT_FALSE(ListEntryEnabled(items, 0));
  // A mouse click on Eudora's box, while another row is selected, ticks Eudora.
  HWND client_list = DialogControl(dialog, L"ListBox1");
  SendMessageW(client_list, LB_SETCURSEL, 0, 0);
  SendMessageW(client_list, LB_SETTOPINDEX, 0, 0);
  const LPARAM eudora_box = MAKELPARAM(8, 2 * 18 + 9);
  SendMessageW(client_list, WM_LBUTTONDOWN, MK_LBUTTON, eudora_box);
  SendMessageW(client_list, WM_LBUTTONUP, 0, eudora_box);
  EXPECT_TRUE(ListTicked(client_list, 2));
  EXPECT_EQ(ListCount(items), 5);
  EXPECT_TRUE(ListEntryEnabled(items, 0));
  Click(DialogControl(dialog, L"CheckBox1"));
  Click(DialogControl(dialog, L"Button2"));
  for (int i = 0; i < 100 && IsShown(dialog); ++i) std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(wizard.NoBox());
  EXPECT_EQ(
      ReadValue(HKEY_CURRENT_USER, std::wstring(kAutoBackup) + L"\\Eudora", L"Select").dword(), 1u);
  EXPECT_TRUE(RunningStowclocks().empty());
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRunKeyPath, kStowclockRunValue).present());
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettings, L"AutoBackup").dword(), 0u);
  // "Run now" put the start day to today.
  EXPECT_EQ(std::floor(ReadValue(HKEY_CURRENT_USER, kSettings, L"BackupDate").date_time()),
            std::floor(LocalNowAsDays()));
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, oe, L"Mail").dword(), 0u);
  wizard.Close();
}

TEST_F(AutoBackupTest, RotationKeepsTheNewestByModeAndDeletesSplitArchivesWhole) {
  StoreAutoSettings(2, 3, {L"Favorites"});
  for (int i = 1; i <= 5; ++i) {
    PlaceOldArchive(L"FavoritesBackup " + std::to_wstring(i) + L"-1-2020.ebk", 20 - i);
  }
  // The oldest was split: its volume parts go with it.
  PlaceOldArchive(L"FavoritesBackup 1-1-2020.z01", 19);
  PlaceOldArchive(L"FavoritesBackup 1-1-2020.z02", 19);
  PlaceOldArchive(L"OExpressBackup 1-1-2020.ebk", 30);
  PlaceOldArchive(L"Notes.txt", 30);

  ASSERT_EQ(RunAuto(), 0u);
  const std::wstring today = L"FavoritesBackup " + Today() + L".ebk";
  EXPECT_EQ(Sorted(ListFolder(kBackups)),
            Sorted({L"FavoritesBackup 3-1-2020.ebk", L"FavoritesBackup 4-1-2020.ebk",
                    L"FavoritesBackup 5-1-2020.ebk", today, L"OExpressBackup 1-1-2020.ebk",
                    L"Notes.txt"}));
  EXPECT_FALSE(ArchiveMembers(kBackups + today).empty());
  const std::string log = FileBytes(folder_ + L"AutoLog.txt");
  EXPECT_NE(log.find("Destination file: C:\\AutoBackups\\FavoritesBackup "), std::string::npos);
  EXPECT_NE(log.find("Error code: 0"), std::string::npos);

  // Keep 0 keeps all, even after a second run of the same day.
  StoreAutoSettings(2, 0, {L"Favorites"});
  ASSERT_EQ(RunAuto(), 0u);
  EXPECT_EQ(ListFolder(kBackups).size(), 6u);

  // Overwrite: the newest older archive goes, the rest stays.
  StoreAutoSettings(1, 0, {L"Favorites"});
  ASSERT_EQ(RunAuto(), 0u);
  EXPECT_EQ(Sorted(ListFolder(kBackups)),
            Sorted({L"FavoritesBackup 3-1-2020.ebk", L"FavoritesBackup 4-1-2020.ebk", today,
                    L"OExpressBackup 1-1-2020.ebk", L"Notes.txt"}));
}

TEST_F(AutoBackupTest, NothingSelectedLeavesOnlyTheDateLineAndUnavailableClientsAreSkipped) {
  StoreAutoSettings(2, 3, {});
  ASSERT_EQ(RunAuto(), 0u);
  std::string log = FileBytes(folder_ + L"AutoLog.txt");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_TRUE(ListFolder(kBackups).empty());

  // A client none of whose files are on this machine (no Eudora world) and one without
  // identities (no Pegasus Mail world) leave no archive and no deletion behind.
  RemoveTree(L"C:\\AutoBackups");
  CreateDirectoryW(L"C:\\AutoBackups", nullptr);
  PlaceOldArchive(L"EudoraBackup 1-1-2020.ebk", 3);
  StoreAutoSettings(1, 0, {L"Eudora", L"Pegasus Mail"});
  ASSERT_EQ(RunAuto(), 0u);
  EXPECT_EQ(ListFolder(kBackups), std::vector<std::wstring>{L"EudoraBackup 1-1-2020.ebk"});
  log = FileBytes(folder_ + L"AutoLog.txt");
  EXPECT_NE(log.find("Skipped Eudora"), std::string::npos) << log;
  EXPECT_NE(log.find("Skipped Pegasus Mail"), std::string::npos) << log;
}

TEST_F(AutoBackupTest, UninstallEndsEveryStowclockAndDeletesItsFile) {
  // Nothing running: no box holds the cleanup up, and the program file goes.
  Program quiet;
  ASSERT_TRUE(quiet.Start(folder_ + L"Mailstow.exe", L"/uninst"));
  EXPECT_EQ(quiet.WaitForExit(30s), 0u);
  EXPECT_FALSE(FileExists(folder_ + L"Stowclock.exe"));

  // Two running, one of them named in lower case: both are ended.
  CopyInto(DistFolder() + L"Stowclock.exe", folder_, L"Stowclock.exe");
  const std::wstring other = PrepareProgramFolder(L"auto-other", {});
  CopyInto(DistFolder() + L"Stowclock.exe", other, L"stowclock.exe");
  Program first;
  Program second;
  ASSERT_TRUE(first.Start(folder_ + L"Stowclock.exe", L""));
  ASSERT_TRUE(second.Start(other + L"stowclock.exe", L""));
  for (int i = 0; i < 50 && RunningStowclocks().size() < 2; ++i) std::this_thread::sleep_for(100ms);
  ASSERT_EQ(RunningStowclocks().size(), 2u);
  Program cleanup;
  ASSERT_TRUE(cleanup.Start(folder_ + L"Mailstow.exe", L"/uninst"));
  EXPECT_EQ(cleanup.WaitForExit(30s), 0u);
  EXPECT_NE(first.WaitForExit(5s), static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_NE(second.WaitForExit(5s), static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_FALSE(FileExists(folder_ + L"Stowclock.exe"));
}

// The wizard window of a running Mailstow, hidden or not: the one form with a taskbar button.
struct WizardWindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindWizardWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WizardWindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id || ClassName(window) != L"MailstowForm") return TRUE;
  if ((GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW) == 0) return TRUE;
  search->found = window;
  return FALSE;
}

HWND WizardWindowOf(DWORD process_id) {
  WizardWindowSearch search{process_id, nullptr};
  EnumWindows(FindWizardWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_F(AutoBackupTest, FailedPackSecondRunAndClosedWindowDeleteNothing) {
  SnapshotSpec scope;
  ASSERT_TRUE(InstallOutlookExpressWorld(&scope));
  StoreAutoSettings(1, 0, {L"Outlook Express", L"Favorites"});
  PlaceOldArchive(L"OExpressBackup 1-1-2020.ebk", 5);
  PlaceOldArchive(L"FavoritesBackup 1-1-2020.ebk", 5);
  // A folder holds the name of today's Outlook Express archive: the pack fails with its
  // error box, where the run waits.
  const std::wstring blocked = kBackups + (L"OExpressBackup " + Today() + L".ebk");
  CreateDirectoryW(blocked.c_str(), nullptr);

  for (const bool close_window : {false, true}) {
    SCOPED_TRACE(close_window ? "window closed" : "box answered");
    Program first;
    ASSERT_TRUE(first.Start(folder_ + L"Mailstow.exe", L"/auto"));
    const HWND box = first.WaitForWindow(L"#32770", 60s);
    ASSERT_NE(box, nullptr);
    const std::string log_before = FileBytes(folder_ + L"AutoLog.txt");

    // A second run meanwhile ends at once and touches nothing.
    Program second;
    ASSERT_TRUE(second.Start(folder_ + L"Mailstow.exe", L"/auto"));
    EXPECT_EQ(second.WaitForExit(30s), 2u);
    EXPECT_EQ(FileBytes(folder_ + L"AutoLog.txt"), log_before);

    if (close_window) {
      // Shown from the tray icon, then closed.
      const HWND form = WizardWindowOf(first.pid());
      ASSERT_NE(form, nullptr);
      PostMessageW(form, WM_APP + 41, 1, WM_LBUTTONDBLCLK);
      for (int i = 0; i < 100 && !IsShown(form); ++i) std::this_thread::sleep_for(50ms);
      EXPECT_TRUE(IsShown(form));
      PostMessageW(form, WM_CLOSE, 0, 0);
      for (int i = 0; i < 100 && IsShown(form); ++i) std::this_thread::sleep_for(50ms);
      EXPECT_FALSE(IsShown(form));
    }
    PressButton(box, L"OK");
    EXPECT_EQ(first.WaitForExit(60s), 0u);
    const std::string log = FileBytes(folder_ + L"AutoLog.txt");
    EXPECT_NE(log.find("Backup of Microsoft Outlook Express"), std::string::npos) << log;
    // Only the closed window keeps the Favorites from being backed up.
    EXPECT_EQ(FileExists(kBackups + (L"FavoritesBackup " + Today() + L".ebk")), !close_window);
    EXPECT_EQ(log.find("Skipped Internet Explorer Favorites") != std::string::npos, close_window);
    EXPECT_EQ(FileBytes(kBackups + std::wstring(L"OExpressBackup 1-1-2020.ebk")),
              "old archive OExpressBackup 1-1-2020.ebk");
    EXPECT_NE(GetFileAttributesW(blocked.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    DeleteFileW((kBackups + (L"FavoritesBackup " + Today() + L".ebk")).c_str());
    PlaceOldArchive(L"FavoritesBackup 1-1-2020.ebk", 5);
  }
}

// A store file that another program holds open fails that client's backup without a box
// that nobody would answer: the log names the file, the older archive stays, the run goes on.
TEST_F(AutoBackupTest, AHeldStoreFileIsLoggedAndFailsOnlyItsClient) {
  SnapshotSpec scope;
  ASSERT_TRUE(InstallOutlookExpressWorld(&scope));
  StoreAutoSettings(1, 0, {L"Outlook Express", L"Favorites"});
  PlaceOldArchive(L"OExpressBackup 1-1-2020.ebk", 5);
  const std::vector<OeIdentity> identities = MachineIdentities();
  ASSERT_FALSE(identities.empty());
  const std::vector<std::wstring> store_files = ListFolder(identities[0].store);
  ASSERT_FALSE(store_files.empty());
  const std::wstring held_path = identities[0].store + L"\\" + store_files[0];
  const HANDLE held = CreateFileW(held_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const DWORD exit_code = RunAuto();
  CloseHandle(held);
  ASSERT_EQ(exit_code, 0u) << "the run waited";

  const std::wstring log = FromAnsi(FileBytes(folder_ + L"AutoLog.txt"));
  EXPECT_NE(log.find(L"In use by another program: " + held_path + L"\r\n"), std::wstring::npos)
      << ToUtf8(log);
  EXPECT_NE(log.find(L"Backup of Microsoft Outlook Express failed: no old backup deleted."),
            std::wstring::npos);
  EXPECT_EQ(FileBytes(kBackups + std::wstring(L"OExpressBackup 1-1-2020.ebk")),
            "old archive OExpressBackup 1-1-2020.ebk");
  EXPECT_FALSE(FileExists(kBackups + (L"OExpressBackup " + Today() + L".ebk")));
  EXPECT_FALSE(ArchiveMembers(kBackups + (L"FavoritesBackup " + Today() + L".ebk")).empty());
}

}  // namespace
}  // namespace mailstow::e2e
