// The installer as a user meets it: run silently, it installs per user; the installed program
// backs up, a double-clicked archive opens the restore wizard on it, a second install over a
// running Stowclock succeeds, and the silent uninstall removes the program, its shortcut, file
// type and logon start while the user's archives and settings stay. A running wizard stops
// setup and uninstall, a folder the user typed gets a program folder of its own whose foreign
// files stay, and another program's ".ebk" type is left to it.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "tests/e2e/wizard_session.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mailstow";
constexpr wchar_t kBackups[] = L"C:\\Backups";
constexpr wchar_t kEbk[] = L"Software\\Classes\\.ebk";
constexpr wchar_t kProgId[] = L"Mailstow.Backup";
// What an install or uninstall that meets a running Mailstow ends with.
constexpr DWORD kStoppedExitCode = 2;

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

// Runs a setup program with /S (and further arguments) and returns its exit code.
DWORD RunSilently(const std::wstring& program, const std::wstring& arguments = L"") {
  Program setup;
  if (!setup.Start(program, L"/S" + arguments)) return STILL_ACTIVE;
  return setup.WaitForExit(120s);
}

// A string of a program file's version resource (US English, Unicode), "" when missing.
std::wstring VersionString(const std::wstring& file, const std::wstring& name) {
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
  std::vector<BYTE> data(size);
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return L"";
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
    return L"";
  return std::wstring(value, length > 0 ? length - 1 : 0);
}

DWORD ReadDword(HKEY root, const std::wstring& key, const std::wstring& name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
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

struct DescendantSearch {
  const wchar_t* window_class;
  HWND found;
};

BOOL CALLBACK FindVisibleDescendant(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<DescendantSearch*>(data);
  if (ClassName(child) != search->window_class || !IsWindowVisible(child)) return TRUE;
  search->found = child;
  return FALSE;
}

// The first visible descendant of the class, waiting up to ten seconds; null when none.
HWND WaitForDescendant(HWND parent, const wchar_t* window_class) {
  DescendantSearch search = {window_class, nullptr};
  for (int i = 0; i < 100 && search.found == nullptr; ++i) {
    EnumChildWindows(parent, FindVisibleDescendant, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) std::this_thread::sleep_for(100ms);
  }
  return search.found;
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
    // What an earlier test of this prefix may have left when it failed.
    EndProcessesNamed(L"Mailstow.exe");
    EndProcessesNamed(L"Stowclock.exe");
    RemoveTree(program_folder_);
    for (const wchar_t* key : {kUninstallKey, kEbk, L"Software\\Classes\\Mailstow.Backup"})
      RegDeleteTreeW(HKEY_CURRENT_USER, key);
  }
  void TearDown() override { CoUninitialize(); }

  // The silent uninstall of the program folder; true once it has ended: the uninstaller works
  // on from a copy of itself after the started program has ended, and its last step removes
  // its entry in the list of installed programs.
  bool Uninstall(const std::wstring& folder) {
    return RunSilently(folder + L"Uninstall.exe") == 0 &&
           WaitUntil([] { return !KeyExists(HKEY_CURRENT_USER, kUninstallKey); });
  }

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

  // The entry in the list of installed programs, and the version resources of both programs,
  // tell the same version and publisher.
  const std::wstring version = VersionString(program_folder_ + L"Mailstow.exe", L"ProductVersion");
  EXPECT_FALSE(version.empty());
  for (const wchar_t* program : {L"Mailstow.exe", L"Stowclock.exe"}) {
    for (const wchar_t* name : {L"ProductVersion", L"FileVersion"})
      EXPECT_EQ(VersionString(program_folder_ + program, name), version) << program << name;
    EXPECT_EQ(VersionString(program_folder_ + program, L"CompanyName"), L"Corvane") << program;
  }
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion"), version);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kUninstallKey, L"Publisher"), L"Corvane");
  for (const wchar_t* link : {L"URLInfoAbout", L"HelpLink"})
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kUninstallKey, link),
              program_folder_ + L"help.html");
  // In kilobytes, at least the programs themselves.
  HANDLE program = CreateFileW((program_folder_ + L"Mailstow.exe").c_str(), GENERIC_READ,
                               FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  const DWORD program_size = GetFileSize(program, nullptr);
  CloseHandle(program);
  EXPECT_GE(ReadDword(HKEY_CURRENT_USER, kUninstallKey, L"EstimatedSize"), program_size / 1024);
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, std::wstring(kEbk) + L"\\OpenWithProgids", kProgId));

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

  // The undo of a restore (a copy of the user's mail) lives beside the program's settings.
  wchar_t local[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local), S_OK);
  const std::wstring undo = std::wstring(local) + L"\\Mailstow\\Undo";
  ASSERT_TRUE(CreateDirectoryW((std::wstring(local) + L"\\Mailstow").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(undo.c_str(), nullptr));
  CopyFileW(archive.c_str(), (undo + L"\\PegasusMailBackup.ebk").c_str(), FALSE);
  CopyFileW(archive.c_str(), (undo + L"\\PegasusMailBackup.trail").c_str(), FALSE);

  // Installing again while Stowclock runs replaces it, and starts it again because automatic
  // backup is on (its logon start is registered); an upgrade keeps the undo.
  SetValue(HKEY_CURRENT_USER, kRunKey, L"Stowclock", L"\"" + program_folder_ + L"Stowclock.exe\"");
  Program scheduler;
  ASSERT_TRUE(scheduler.Start(program_folder_ + L"Stowclock.exe", L""));
  ASSERT_TRUE(WaitUntil([] { return CountProcesses(L"Stowclock.exe") == 1; }));
  ASSERT_EQ(RunSilently(Installer()), 0u);
  EXPECT_TRUE(FileExists(undo + L"\\PegasusMailBackup.ebk")) << "an upgrade dropped the undo";
  EXPECT_EQ(scheduler.WaitForExit(10s), 0xFFFFFFFFu) << "the old Stowclock was not stopped";
  EXPECT_TRUE(FileExists(program_folder_ + L"Stowclock.exe"));
  EXPECT_TRUE(WaitUntil([] { return CountProcesses(L"Stowclock.exe") == 1; }, 20s));

  // The silent uninstall stops Stowclock and removes the program and the undo of a restore (a
  // copy of the user's mail); an archive the user kept in the program folder keeps the folder.
  CopyFileW(archive.c_str(), (program_folder_ + L"kept.ebk").c_str(), FALSE);
  SetValue(HKEY_LOCAL_MACHINE, kRunKey, L"Stowclock", L"old machine-wide start", KEY_WOW64_32KEY);
  ASSERT_TRUE(Uninstall(program_folder_));
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

TEST_F(InstallerTest, RunningWizardStopsSetupAndUninstallUntilItIsClosed) {
  ASSERT_EQ(RunSilently(Installer()), 0u);
  WizardSession wizard;
  ASSERT_TRUE(wizard.Start(program_folder_));

  // Neither replaces nor removes anything while the wizard runs, and says so by the exit code.
  // The uninstaller runs in place ("_?="), so that its own exit code is the one seen.
  EXPECT_EQ(RunSilently(Installer()), kStoppedExitCode);
  std::wstring folder = program_folder_;
  folder.pop_back();
  EXPECT_EQ(RunSilently(program_folder_ + L"Uninstall.exe", L" _?=" + folder), kStoppedExitCode);
  EXPECT_TRUE(wizard.program().Running());
  for (const wchar_t* file : {L"Mailstow.exe", L"Stowclock.exe", L"Sqx.dll", L"English.lng"})
    EXPECT_TRUE(FileExists(program_folder_ + file)) << file;
  EXPECT_TRUE(FileExists(shortcut_));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Mailstow.Backup"));

  // Setup run by the user asks to close it, and goes on once it is closed.
  Program setup;
  ASSERT_TRUE(setup.Start(Installer(), L""));
  HWND pages = setup.WaitForWindow(L"#32770");
  ASSERT_NE(pages, nullptr);
  ASSERT_TRUE(PressButton(pages, L"Next >"));
  Settle(pages);
  ASSERT_TRUE(PressButton(pages, L"Install"));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND window : setup.TopLevelWindows(L"#32770"))
      if (window != pages) box = window;
    return box != nullptr;
  }));
  EXPECT_NE(MessageBoxText(box).find(L"Mailstow is running"), std::wstring::npos)
      << MessageBoxText(box);
  EXPECT_EQ(MessageBoxButtons(box), (std::vector<std::wstring>{L"Retry", L"Cancel"}));
  wizard.Close();
  ASSERT_TRUE(PressButton(box, L"Retry"));
  // The finish page's offer to start Mailstow, declined.
  HWND run_now = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    HWND page = FindWindowExW(pages, nullptr, L"#32770", nullptr);
    run_now = FindWindowExW(page, nullptr, L"Button", L"&Run Mailstow");
    return run_now != nullptr;
  }));
  Click(run_now);
  Settle(pages);
  ASSERT_EQ(SendMessageW(run_now, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ASSERT_TRUE(PressButton(pages, L"Finish"));
  EXPECT_EQ(setup.WaitForExit(), 0u);
  EXPECT_EQ(CountProcesses(L"Mailstow.exe"), 0);
  EXPECT_TRUE(Uninstall(program_folder_));
  EXPECT_FALSE(FileExists(program_folder_ + L"Mailstow.exe"));
}

TEST_F(InstallerTest, TypedFolderGetsAProgramFolderOfItsOwnAndForeignFilesStay) {
  const std::wstring tools = L"C:\\Tools";
  RemoveTree(tools);
  ASSERT_TRUE(CreateDirectoryW(tools.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((tools + L"\\Temp").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(tools + L"\\notes.txt", "the user's notes"));
  ASSERT_TRUE(WriteBytes(tools + L"\\Temp\\scratch.txt", "a scratch file"));
  ASSERT_TRUE(WriteBytes(tools + L"\\English.lng", "another program's text"));

  ASSERT_EQ(RunSilently(Installer(), L" /D=" + tools), 0u);
  const std::wstring installed = tools + L"\\Mailstow\\";
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation"),
            tools + L"\\Mailstow");
  EXPECT_TRUE(FileExists(installed + L"Mailstow.exe"));
  EXPECT_EQ(FileBytes(tools + L"\\English.lng"), "another program's text");

  // The program's own run files go with it; files the user put beside it stay, a language
  // file of their own among them.
  ASSERT_TRUE(WriteBytes(installed + L"Log.txt", "log"));
  ASSERT_TRUE(CreateDirectoryW((installed + L"Temp").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(installed + L"Mine.lng", "the user's translation"));
  ASSERT_TRUE(WriteBytes(installed + L"notes.txt", "more notes"));
  ASSERT_TRUE(Uninstall(installed));
  EXPECT_EQ(ListFolder(installed), (std::vector<std::wstring>{L"Mine.lng", L"notes.txt"}));
  EXPECT_EQ(ListFolder(tools),
            (std::vector<std::wstring>{L"English.lng", L"Mailstow", L"notes.txt", L"Temp"}));
  EXPECT_EQ(ListFolder(tools + L"\\Temp"), std::vector<std::wstring>{L"scratch.txt"});
  RemoveTree(tools);
}

// ".ebk" of another program stays that program's; Mailstow is only offered for it. A type
// that names nothing described is taken over, and named again at uninstall.
TEST_F(InstallerTest, ArchiveTypeOfAnotherProgramIsLeftToIt) {
  struct Case {
    const wchar_t* previous_type;
    bool described;
    const wchar_t* type_after_install;
  };
  for (const Case& test :
       {Case{L"Other.Archive", true, L"Other.Archive"}, Case{L"Gone.Archive", false, kProgId}}) {
    SCOPED_TRACE(test.previous_type);
    const std::wstring type_key = std::wstring(L"Software\\Classes\\") + test.previous_type;
    RegDeleteTreeW(HKEY_CURRENT_USER, type_key.c_str());
    SetValue(HKEY_CURRENT_USER, kEbk, L"", test.previous_type);
    if (test.described)
      SetValue(HKEY_CURRENT_USER, type_key + L"\\shell\\open\\command", L"",
               L"\"C:\\Other\\other.exe\" \"%1\"");

    ASSERT_EQ(RunSilently(Installer()), 0u);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kEbk, L""), test.type_after_install);
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, std::wstring(kEbk) + L"\\OpenWithProgids", kProgId));
    EXPECT_TRUE(
        KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Mailstow.Backup\\shell\\open\\command"));

    ASSERT_TRUE(Uninstall(program_folder_));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kEbk, L""), test.previous_type);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kEbk) + L"\\OpenWithProgids"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Mailstow.Backup"));
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, type_key), test.described);
    RegDeleteTreeW(HKEY_CURRENT_USER, type_key.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kEbk);
  }
}

// The uninstall wizard offers to remove the settings as well, unticked; ticked, they go.
TEST_F(InstallerTest, UninstallWizardRemovesTheSettingsWhenAsked) {
  ASSERT_EQ(RunSilently(Installer()), 0u);
  SetValue(HKEY_CURRENT_USER, L"Software\\Corvane\\Mailstow", L"LastPath", L"C:\\Mail");
  std::wstring folder = program_folder_;
  folder.pop_back();
  Program uninstaller;
  ASSERT_TRUE(uninstaller.Start(program_folder_ + L"Uninstall.exe", L"_?=" + folder));
  HWND wizard = uninstaller.WaitForWindow(L"#32770");
  ASSERT_NE(wizard, nullptr);
  Click(GetDlgItem(wizard, IDOK));  // from the confirmation to the choice
  HWND choice = WaitForDescendant(wizard, WC_TREEVIEWW);
  ASSERT_NE(choice, nullptr);
  ASSERT_EQ(SendMessageW(choice, TVM_GETCOUNT, 0, 0), 1);
  const auto option = reinterpret_cast<LPARAM>(SendMessageW(choice, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  const auto tick = [&] {
    return SendMessageW(choice, TVM_GETITEMSTATE, static_cast<WPARAM>(option), TVIS_STATEIMAGEMASK);
  };
  const LRESULT unticked = tick();
  SendMessageW(choice, TVM_SELECTITEM, TVGN_CARET, option);
  SendMessageW(choice, WM_CHAR, VK_SPACE, 0);
  ASSERT_NE(tick(), unticked);

  Click(GetDlgItem(wizard, IDOK));  // Uninstall
  EXPECT_TRUE(WaitUntil([] { return !KeyExists(HKEY_CURRENT_USER, kUninstallKey); }));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Corvane"));
  EXPECT_FALSE(FileExists(program_folder_ + L"Mailstow.exe"));
  Click(GetDlgItem(wizard, IDOK));  // Close
  EXPECT_EQ(uninstaller.WaitForExit(), 0u);
}

}  // namespace
}  // namespace mailstow::e2e
