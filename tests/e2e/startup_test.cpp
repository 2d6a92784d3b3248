// Start-up of the real Mailstow.exe: the archiver check, the command-line modes, the
// settings written on a first start and at close, and the window placement.
#include <gtest/gtest.h>

#include "ui/form_layout.h"
#include "base/registry_key.h"
#include "tests/e2e/driver.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Corvane\\Mailstow";

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
    folder_ = PrepareProgramFolder(L"startup", {L"Mailstow.exe", L"English.lng"});
  }
  void InstallArchiver(const std::wstring& variant = L"stub_archiver.dll") {
    CopyInto(DistFolder() + L"..\\tests\\e2e\\" + variant, folder_, L"Sqx.dll");
  }
  HWND StartWizard(const std::wstring& arguments = L"") {
    EXPECT_TRUE(program_.Start(folder_ + L"Mailstow.exe", arguments));
    return program_.WaitForWindow(L"MailstowForm");
  }
  HWND Control(HWND form, const wchar_t* name) {
    return FindControl(form, ComponentId(L"Form1", name));
  }
  void CloseWizard(HWND form) {
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(program_.WaitForExit(), 0u);
  }
  RegistryKey OpenSettings() {
    RegistryKey key;
    key.Open(HKEY_CURRENT_USER, kSettingsKey, false);
    return key;
  }

  std::wstring folder_;
  Program program_;
};

TEST_F(StartupTest, WithoutTheArchiverTheErrorBoxEndsTheProgramHavingWrittenNothing) {
  for (const wchar_t* variant : {L"", L"stub_archiver_incomplete.dll"}) {
    SCOPED_TRACE(variant);
    SetUp();
    DeleteFileW((folder_ + L"English.lng").c_str());
    if (*variant != L'\0') InstallArchiver(variant);
    ASSERT_TRUE(program_.Start(folder_ + L"Mailstow.exe", L""));
    HWND box = program_.WaitForWindow(L"#32770");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"SQX.DLL not found! Reinstall Letterkeep!");
    EXPECT_EQ(MessageBoxButtons(box), std::vector<std::wstring>{L"OK"});
    ASSERT_TRUE(PressButton(box, L"OK"));
    const DWORD code = program_.WaitForExit();
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, STILL_ACTIVE);
    EXPECT_TRUE(program_.TopLevelWindows(L"MailstowForm").empty());
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    const std::vector<std::wstring> files = ListFolder(folder_);
    EXPECT_EQ(files.size(), *variant != L'\0' ? 2u : 1u);  // nothing but what was there
    EXPECT_FALSE(FileExists(folder_ + L"Temp"));
  }
}

TEST_F(StartupTest, FirstStartWritesEveryValueWithItsTypeAndDefault) {
  InstallArchiver();
  const double before = LocalNowAsDays();
  HWND form = StartWizard();
  ASSERT_NE(form, nullptr);
  const double after = LocalNowAsDays();
  EXPECT_TRUE(FileExists(folder_ + L"Temp"));

  RegistryKey key = OpenSettings();
  ASSERT_TRUE(key.is_open());
  const std::wstring personal =
      ReadRegistryString(HKEY_CURRENT_USER,
                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         L"Personal") +
      L"\\";
  EXPECT_EQ(key.ReadString(L"LastPath").value, personal);
  EXPECT_EQ(key.ReadString(L"BackupDir").value, personal);
  EXPECT_EQ(key.ReadInteger(L"X").value, 282);
  EXPECT_EQ(key.ReadInteger(L"Y").value, 179);
  for (const wchar_t* name :
       {L"MultipleVolumes", L"AutoMultipleVolumes", L"AutoBackup", L"BackupUsePsw"}) {
    const auto value = key.ReadBool(name);
    EXPECT_TRUE(value.ok()) << name;
    EXPECT_FALSE(value.value) << name;
  }
  for (auto [name, expected] :
       {std::pair{L"Volumes", 1}, std::pair{L"AutoVolumes", 1}, std::pair{L"BackupPeriod", 3},
        std::pair{L"BackupMode", 2}, std::pair{L"BackupKeep", 3}}) {
    const auto value = key.ReadInteger(name);
    EXPECT_TRUE(value.ok()) << name;
    EXPECT_EQ(value.value, expected) << name;
  }
  for (int slot = 1; slot <= 9; ++slot) {
    const auto value = key.ReadString(L"Last" + std::to_wstring(slot));
    EXPECT_TRUE(value.ok()) << slot;
    EXPECT_EQ(value.value, L"") << slot;
  }
  EXPECT_EQ(key.ReadString(L"BackupInterval").value, L"Days");
  EXPECT_TRUE(key.ReadString(L"BackupPsw").ok());
  EXPECT_EQ(key.ReadString(L"Language").value, L"English");
  const auto time = key.ReadDateTime(L"BackupTime");
  ASSERT_TRUE(time.ok());
  EXPECT_GE(time.value, before - 1e-6);
  EXPECT_LE(time.value, after + 1e-6);
  EXPECT_DOUBLE_EQ(key.ReadDateTime(L"BackupDate").value,
                   static_cast<double>(static_cast<long long>(time.value)));
  EXPECT_FALSE(key.ValueExists(L"LastBackupDate"));
  CloseWizard(form);
}

TEST_F(StartupTest, AWronglyTypedValueIsReportedAndStartUpCompletes) {
  InstallArchiver();
  {
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettingsKey, true));
    key.WriteString(L"Volumes", L"4");
  }
  ASSERT_TRUE(program_.Start(folder_ + L"Mailstow.exe", L""));
  HWND box = program_.WaitForWindow(L"#32770");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Invalid data type for 'Volumes'");
  EXPECT_TRUE(FileExists(folder_ + L"Temp"));
  ASSERT_TRUE(PressButton(box, L"OK"));
  HWND form = program_.WaitForWindow(L"MailstowForm");
  ASSERT_NE(form, nullptr);
  // The values after the bad one were still loaded and written.
  EXPECT_TRUE(OpenSettings().ReadString(L"Language").ok());
  EXPECT_EQ(OpenSettings().ReadString(L"Volumes").value, L"4");
  CloseWizard(form);
}

TEST_F(StartupTest, TheSaveAtCloseMovesBackupDirOnlyWhileItIsTheDefault) {
  InstallArchiver();
  HWND form = StartWizard();
  ASSERT_NE(form, nullptr);
  CloseWizard(form);
  const std::wstring personal = OpenSettings().ReadString(L"LastPath").value;

  // The user chose another folder in the wizard: the backup folder follows it.
  OpenSettings().WriteString(L"LastPath", L"C:\\Backups\\");
  form = StartWizard();
  ASSERT_NE(form, nullptr);
  MoveWindow(form, 40, 50, 600, 460, TRUE);
  CloseWizard(form);
  EXPECT_EQ(OpenSettings().ReadString(L"BackupDir").value, L"C:\\Backups\\");
  RECT frame;
  GetWindowRect(form, &frame);
  EXPECT_EQ(OpenSettings().ReadInteger(L"X").value, 40);
  EXPECT_EQ(OpenSettings().ReadInteger(L"Y").value, 50);

  // A backup folder chosen elsewhere stays.
  OpenSettings().WriteString(L"BackupDir", L"D:\\Auto\\");
  OpenSettings().WriteString(L"LastPath", L"C:\\Other\\");
  form = StartWizard();
  ASSERT_NE(form, nullptr);
  CloseWizard(form);
  EXPECT_EQ(OpenSettings().ReadString(L"BackupDir").value, L"D:\\Auto\\");
  EXPECT_NE(personal, L"C:\\Other\\");
}

TEST_F(StartupTest, AStoredPositionBeyondTheScreenIsClamped) {
  InstallArchiver();
  {
    RegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSettingsKey, true));
    key.WriteInteger(L"X", 100000);
    key.WriteInteger(L"Y", 10000);
  }
  HWND form = StartWizard();
  ASSERT_NE(form, nullptr);
  RECT frame;
  GetWindowRect(form, &frame);
  EXPECT_EQ(frame.left, GetSystemMetrics(SM_CXSCREEN) - 5);
  EXPECT_EQ(frame.top, GetSystemMetrics(SM_CYSCREEN) - 150);
  CloseWizard(form);
}

TEST_F(StartupTest, CommandLineModesAreCaseSensitive) {
  InstallArchiver();
  // "/auto" runs unattended and ends without a window.
  ASSERT_TRUE(program_.Start(folder_ + L"Mailstow.exe", L"/auto"));
  EXPECT_EQ(program_.WaitForExit(), 0u);
  EXPECT_TRUE(program_.TopLevelWindows(L"MailstowForm").empty());

  // "/AUTO" is an archive path: the wizard opens on the restore-file page with it.
  Program wizard;
  ASSERT_TRUE(wizard.Start(folder_ + L"Mailstow.exe", L"/AUTO"));
  HWND form = wizard.WaitForWindow(L"MailstowForm");
  ASSERT_NE(form, nullptr);
  HWND edit4 = Control(form, L"Edit4");
  ASSERT_NE(edit4, nullptr);
  EXPECT_EQ(WindowText(edit4), L"/AUTO");
  EXPECT_TRUE(IsShown(edit4));
  EXPECT_FALSE(IsShown(Control(form, L"ComboBox1")));
  EXPECT_FALSE(IsWindowEnabled(Control(form, L"Button2")));
  PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

}  // namespace
}  // namespace mailstow::e2e

namespace mailstow::e2e {
namespace {

TEST_F(StartupTest, UninstallStopsTheSchedulerAndDeletesItsFileWithoutAWindow) {
  // A user who never started Mailstow, in an installation that lacks the archiver: the
  // cleanup runs all the same, shows nothing and writes no settings and no staging folder.
  {
    CopyInto(DistFolder() + L"Stowclock.exe", folder_, L"Stowclock.exe");
    Program cleanup;
    ASSERT_TRUE(cleanup.Start(folder_ + L"Mailstow.exe", L"/uninst"));
    EXPECT_EQ(cleanup.WaitForExit(), 0u);
    EXPECT_FALSE(FileExists(folder_ + L"Stowclock.exe"));
    EXPECT_FALSE(OpenSettings().is_open());
    EXPECT_FALSE(FileExists(folder_ + L"Temp"));
  }

  InstallArchiver();
  RegistryKey run;
  ASSERT_TRUE(
      run.Open(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", true));
  run.WriteString(L"Stowclock", folder_ + L"Stowclock.exe");
  CopyInto(DistFolder() + L"..\\tests\\guard\\fake_client.exe", folder_, L"Stowclock.exe");
  Program scheduler;
  ASSERT_TRUE(scheduler.Start(folder_ + L"Stowclock.exe", L""));
  ASSERT_NE(scheduler.WaitForWindow(L"FakeClient"), nullptr);

  ASSERT_TRUE(program_.Start(folder_ + L"Mailstow.exe", L"/uninst"));
  EXPECT_EQ(program_.WaitForExit(), 0u);
  EXPECT_TRUE(program_.TopLevelWindows(L"MailstowForm").empty());
  EXPECT_EQ(scheduler.WaitForExit(5s), 0xFFFFFFFFu);
  EXPECT_FALSE(FileExists(folder_ + L"Stowclock.exe"));
  // The logon start value stays.
  EXPECT_EQ(run.ReadString(L"Stowclock").value, folder_ + L"Stowclock.exe");

  // Nothing running and no file: nothing to report.
  Program again;
  ASSERT_TRUE(again.Start(folder_ + L"Mailstow.exe", L"/uninst"));
  EXPECT_EQ(again.WaitForExit(), 0u);
}

}  // namespace
}  // namespace mailstow::e2e
