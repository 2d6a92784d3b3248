// The installer as a user meets it: run silently, it installs per user; the installed program
// backs up, a double-clicked archive opens the restore wizard on it, a second install over a
// running Stowclock succeeds, and the silent uninstall removes the program, its shortcut, file
// type and logon start while the user's archives and settings stay.
#include <gtest/gtest.h>

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <thread>

#include "tests/e2e/wizard_session.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mailstow";
constexpr wchar_t kBackups[] = L"C:\\Backups";

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &path))) return L"";
  std::wstring result = path;
  CoTaskMemFree(path);
  return result;
}

std::wstring Installer() {
  const char* installer = std::getenv("MAILSTOW_INSTALLER");
  return installer == nullptr ? L"" : WindowsPath(installer);
}

// Runs a setup program with /S and returns its exit code.
DWORD RunSilently(const std::wstring& program) {
  Program setup;
  if (!setup.Start(program, L"/S")) return STILL_ACTIVE;
  return setup.WaitForExit(120s);
}

int CountProcesses(const std::wstring& name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0) ++count;
  CloseHandle(snapshot);
  return count;
}

// The program a shortcut starts, or "" when it cannot be read.
std::wstring ShortcutTarget(const std::wstring& shortcut) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return L"";
  std::wstring target;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
      target = path;
    file->Release();
  }
  link->Release();
  return target;
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = 0) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

bool ValueExists(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = 0) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  const bool found =
      RegQueryValueExW(opened, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(opened);
  return found;
}

void SetValue(HKEY root, const std::wstring& key, const std::wstring& name,
              const std::wstring& value, REGSAM view = 0) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &opened,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = 60s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(200ms);
  }
  return true;
}

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    ASSERT_FALSE(Installer().empty()) << "MAILSTOW_INSTALLER is not set";
    program_folder_ = KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Mailstow\\";
    shortcut_ = KnownFolder(FOLDERID_Programs) + L"\\Mailstow.lnk";
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
    const std::wstring favorites = ReadRegistryString(
        HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        L"Favorites");
    CreateDirectoryW(favorites.c_str(), nullptr);
    HANDLE file = CreateFileW((favorites + L"\\Home.url").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    const char shortcut[] = "[InternetShortcut]\r\nURL=http://home.example/\r\n";
    DWORD written = 0;
    WriteFile(file, shortcut, sizeof(shortcut) - 1, &written, nullptr);
    CloseHandle(file);
    RemoveTree(kBackups);
    CreateDirectoryW(kBackups, nullptr);
  }
  void TearDown() override { CoUninitialize(); }

  // A Favorites backup through the installed wizard.
  void BackUp(const std::wstring& archive) {
    WizardSession wizard;
    ASSERT_TRUE(wizard.Start(program_folder_));
    wizard.Next();
    wizard.Next();
    wizard.Press(L"RadioButton16");
    wizard.Next();
    ASSERT_EQ(wizard.ActivePage(), 4);
    wizard.Next();
    wizard.FillArchivePage(archive, L"", false);
    wizard.Next();
    ASSERT_TRUE(wizard.RunFrom(6, 8));
    EXPECT_EQ(wizard.Text(L"Label14"), L"Backup completed!");
    wizard.Close();
  }

  std::wstring program_folder_;
  std::wstring shortcut_;
};

TEST_F(InstallerTest, InstallUseReinstallOverRunningSchedulerAndUninstall) {
  // Silent install into the per-user program folder.
  ASSERT_EQ(RunSilently(Installer()), 0u);
  for (const wchar_t* file :
       {L"Mailstow.exe", L"Stowclock.exe", L"Sqx.dll", L"help.html", L"Uninstall.exe"})
    EXPECT_TRUE(FileExists(program_folder_ + file)) << file;
  for (const std::wstring& file : ListFolder(DistFolder())) {
    if (file.size() > 4 && file.substr(file.size() - 4) == L".lng") {
      EXPECT_TRUE(FileExists(program_folder_ + file)) << file;
    }
  }
  EXPECT_EQ(
      lstrcmpiW(ShortcutTarget(shortcut_).c_str(), (program_folder_ + L"Mailstow.exe").c_str()), 0)
      << ShortcutTarget(shortcut_);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString"),
            L"\"" + program_folder_ + L"Uninstall.exe\"");

  // The installed program backs up; it writes its log beside itself.
  const std::wstring archive = std::wstring(kBackups) + L"\\installed.ebk";
  BackUp(archive);
  EXPECT_TRUE(FileExists(archive));
  EXPECT_TRUE(FileExists(program_folder_ + L"Log.txt"));

  // A double-clicked archive opens the restore wizard on it, and it reads. Wine's shell does
  // not consult per-user file types, so the test starts the registered "open" command with the
  // archive for "%1" as the shell of Windows does.
  {
    const std::wstring type =
        ReadRegistryString(HKEY_CURRENT_USER, L"Software\\Classes\\.ebk", L"");
    const std::wstring command = ReadRegistryString(
        HKEY_CURRENT_USER, L"Software\\Classes\\" + type + L"\\shell\\open\\command", L"");
    const std::wstring program = L"\"" + program_folder_ + L"Mailstow.exe\" ";
    ASSERT_EQ(command, program + L"\"%1\"");
    WizardSession restore;
    ASSERT_TRUE(restore.Start(program_folder_, L"\"" + archive + L"\""));
    EXPECT_EQ(restore.ActivePage(), 9);
    EXPECT_EQ(restore.Text(L"Edit4"), archive);
    restore.Next();
    EXPECT_EQ(restore.ActivePage(), 10);
    restore.Close();
  }

  // Installing again while Stowclock runs replaces it, and starts it again because automatic
  // backup is on (its logon start is registered).
  SetValue(HKEY_CURRENT_USER, kRunKey, L"Stowclock", L"\"" + program_folder_ + L"Stowclock.exe\"");
  Program scheduler;
  ASSERT_TRUE(scheduler.Start(program_folder_ + L"Stowclock.exe", L""));
  ASSERT_TRUE(WaitUntil([] { return CountProcesses(L"Stowclock.exe") == 1; }));
  ASSERT_EQ(RunSilently(Installer()), 0u);
  EXPECT_EQ(scheduler.WaitForExit(10s), 0xFFFFFFFFu) << "the old Stowclock was not stopped";
  EXPECT_TRUE(FileExists(program_folder_ + L"Stowclock.exe"));
  EXPECT_TRUE(WaitUntil([] { return CountProcesses(L"Stowclock.exe") == 1; }, 20s));

  // The silent uninstall stops Stowclock and removes the program and the undo of a restore (a
  // copy of the user's mail); an archive the user kept in the program folder keeps the folder.
  CopyFileW(archive.c_str(), (program_folder_ + L"kept.ebk").c_str(), FALSE);
  wchar_t local[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local), S_OK);
  const std::wstring undo = std::wstring(local) + L"\\Mailstow\\Undo";
  ASSERT_TRUE(CreateDirectoryW((std::wstring(local) + L"\\Mailstow").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(undo.c_str(), nullptr));
  CopyFileW(archive.c_str(), (undo + L"\\PegasusMailBackup.ebk").c_str(), FALSE);
  CopyFileW(archive.c_str(), (undo + L"\\PegasusMailBackup.trail").c_str(), FALSE);
  SetValue(HKEY_LOCAL_MACHINE, kRunKey, L"Stowclock", L"old machine-wide start", KEY_WOW64_32KEY);
  ASSERT_EQ(RunSilently(program_folder_ + L"Uninstall.exe"), 0u);
  // The uninstaller works on from a copy of itself once the started program has ended; its
  // last step removes its entry in the list of installed programs.
  EXPECT_TRUE(WaitUntil([] { return !KeyExists(HKEY_CURRENT_USER, kUninstallKey); }));
  EXPECT_EQ(CountProcesses(L"Stowclock.exe"), 0);
  EXPECT_EQ(ListFolder(program_folder_), std::vector<std::wstring>{L"kept.ebk"});
  EXPECT_FALSE(FileExists(shortcut_));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\.ebk"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Mailstow.Backup"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunKey, L"Stowclock"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, L"Stowclock", KEY_WOW64_32KEY));
  EXPECT_TRUE(FileExists(archive));
  EXPECT_FALSE(FileExists(std::wstring(local) + L"\\Mailstow"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Corvane\\Mailstow"));
}

}  // namespace
}  // namespace mailstow::e2e
