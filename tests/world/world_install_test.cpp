#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "app/client_detection.h"
#include "base/registry_key.h"
#include "tools/machine_world.h"
#include "tools/utf_text.h"
#include "tools/world_installer.h"
#include "tools/world_removal.h"
#include "tools/world_snapshot.h"

namespace mailstow {
namespace {

constexpr wchar_t kMailClients[] = L"\\software\\clients\\mail";

WorldRequest Request(uint64_t seed, double scale) {
  WorldRequest request;
  request.seed = seed;
  request.scale = scale;
  request.clients = {L"OutlookExpress", L"Favorites"};
  return request;
}

std::string Lines(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += ToUtf8(line) + "\n";
  return text;
}

// Each test starts from a machine without the world of its request and installs it.
class WorldOnMachine : public ::testing::Test {
 protected:
  void Install(const WorldRequest& request) {
    std::wstring error;
    ASSERT_TRUE(DescribeMachineWorld(request, &worlds_, &error)) << ToUtf8(error);
    ASSERT_TRUE(RemoveScope(ScopeOf(worlds_), &error)) << ToUtf8(error);
    InstallSummary summary;
    ASSERT_TRUE(InstallWorld(worlds_, &summary, &error)) << ToUtf8(error);
    ASSERT_GT(summary.files, 40u);
  }
  Snapshot Shot() const { return TakeSnapshot(ScopeOf(worlds_)); }
  const FileSpec& FileEndingWith(std::wstring_view tail) const {
    for (const ClientWorld& world : worlds_) {
      for (const FileSpec& file : world.files) {
        if (file.path.ends_with(tail)) return file;
      }
    }
    ADD_FAILURE() << "no file ending with " << ToUtf8(tail);
    return worlds_.front().files.front();
  }

  std::vector<ClientWorld> worlds_;
};

std::vector<std::wstring> SubkeyNames(HKEY key) {
  std::vector<std::wstring> names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return names;
    }
    names.emplace_back(name, length);
  }
}

// A leading folder token replaced the way the backup of the client's data does it: the profile
// folder and the system drive are cut from the application-data folder.
std::wstring WithTokenReplaced(std::wstring text, const std::wstring& app_data) {
  const std::wstring folded = FoldCase(text);
  auto cut = [&](int separators) {
    size_t at = 0;
    for (int i = 0; i < separators; ++i) at = app_data.find(L'\\', at + (i > 0));
    return app_data.substr(0, at);
  };
  if (folded.starts_with(L"%USERPROFILE%")) return cut(3) + text.substr(13);
  if (folded.starts_with(L"%SYSTEMDRIVE%")) return cut(1) + text.substr(13);
  if (folded.starts_with(L"%PROGRAMFILES%")) return cut(1) + L"\\Program Files" + text.substr(14);
  return text;
}

bool FolderHolds(const std::wstring& folder, const std::wstring& pattern) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// The mail clients are 32-bit programs: on 64-bit Windows their machine keys live in the
// 32-bit view. The world writes them there, and detection reads them there in either build.
TEST_F(WorldOnMachine, MachineKeysAreInThe32BitViewWhereDetectionFindsThem) {
  Install(Request(5, 0.001));
  auto default_client_in = [](REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Clients\\Mail", 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS) {
      return std::wstring();
    }
    wchar_t text[256] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    RegQueryValueExW(key, L"", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return std::wstring(text);
  };
  EXPECT_EQ(default_client_in(KEY_WOW64_32KEY), L"Outlook Express");
  // Wine's own 64-bit view names a native mail client there: a 64-bit build reading that view
  // would miss every client.
  if (sizeof(void*) == 8) {
    EXPECT_NE(default_client_in(KEY_WOW64_64KEY), L"Outlook Express");
  }

  const DetectionResult detected = DetectClients(ReadDetectionInput());
  EXPECT_TRUE(detected.installed[1]);
  EXPECT_EQ(detected.default_client, 1);
}

TEST_F(WorldOnMachine, TheInstalledWorldIsWhereTheClientsAreLookedFor) {
  Install(Request(7, 0.001));

  RegistryKey mail;
  ASSERT_TRUE(mail.Open(HKEY_LOCAL_MACHINE, kMailClients, false, KEY_READ));
  const std::vector<std::wstring> clients = SubkeyNames(mail.handle());
  EXPECT_TRUE(std::any_of(clients.begin(), clients.end(), [](const std::wstring& name) {
    return name.find(L"Outlook Express") != std::wstring::npos;
  }));
  EXPECT_EQ(mail.ReadString(L"").value, L"Outlook Express");

  RegistryKey shell;
  ASSERT_TRUE(shell.Open(HKEY_CURRENT_USER,
                         L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         false, KEY_READ));
  const std::wstring app_data = shell.ReadString(L"AppData").value;
  const std::wstring favorites = shell.ReadString(L"Favorites").value;
  EXPECT_TRUE(FolderHolds(favorites, L"*.url"));
  EXPECT_TRUE(FolderHolds(favorites + L"\\News\\Technology", L"*.url"));
  EXPECT_FALSE(FolderHolds(favorites + L"\\News", L"*.url"));
  EXPECT_TRUE(FolderHolds(favorites + L"\\Old Stuff", L"."));
  EXPECT_TRUE(FolderHolds(app_data + L"\\Microsoft\\Address Book", L"*.wab"));

  // Every identity has a display name and a store root that, with its token replaced from the
  // application-data folder, names a folder of .dbx files.
  RegistryKey identities;
  ASSERT_TRUE(identities.Open(HKEY_CURRENT_USER, L"\\identities", false, KEY_READ));
  const std::vector<std::wstring> keys = SubkeyNames(identities.handle());
  ASSERT_GE(keys.size(), 3u);
  int with_token = 0;
  for (const std::wstring& key : keys) {
    RegistryKey identity, settings;
    ASSERT_TRUE(identity.Open(HKEY_CURRENT_USER, L"\\identities\\" + key, false, KEY_READ));
    EXPECT_FALSE(identity.ReadString(L"Username").value.empty());
    ASSERT_TRUE(settings.Open(
        HKEY_CURRENT_USER, L"\\identities\\" + key + L"\\Software\\Microsoft\\Outlook Express\\5.0",
        false, KEY_READ));
    std::wstring root = settings.ReadString(L"Store Root").value;
    if (root.starts_with(L"%")) ++with_token;
    if (root.ends_with(L"\\")) root.pop_back();
    const std::wstring store = WithTokenReplaced(root, app_data);
    EXPECT_TRUE(FolderHolds(store, L"Inbox.dbx")) << ToUtf8(store);
  }
  EXPECT_GE(with_token, 2);

  RegistryKey stationery;
  ASSERT_TRUE(stationery.Open(HKEY_LOCAL_MACHINE,
                              L"\\SOFTWARE\\Microsoft\\Shared Tools\\Stationery", false, KEY_READ));
  const std::wstring folder =
      WithTokenReplaced(stationery.ReadString(L"Stationery Folder").value, app_data);
  EXPECT_TRUE(FolderHolds(folder, L"*.htm")) << ToUtf8(folder);
}

TEST_F(WorldOnMachine, TheComparatorReportsExactlyTheChangesMade) {
  Install(Request(7, 0.001));
  const Snapshot before = Shot();
  ASSERT_GT(before.keys.size(), 30u);
  EXPECT_TRUE(Differences(before, Shot()).empty());

  // One value changed, one file deleted, one byte altered, one key added.
  RegistryKey identities;
  ASSERT_TRUE(identities.Open(HKEY_CURRENT_USER, L"Identities", false, KEY_READ));
  const std::wstring key = SubkeyNames(identities.handle()).front();
  RegistryKey identity;
  ASSERT_TRUE(identity.Open(HKEY_CURRENT_USER, L"Identities\\" + key, false));
  const std::wstring name = identity.ReadString(L"Username").value;
  ASSERT_TRUE(identity.WriteString(L"Username", L"Renamed"));
  RegistryKey added;
  ASSERT_TRUE(added.Open(HKEY_CURRENT_USER, L"Identities\\" + key + L"\\Extra", true));

  const std::wstring shortcut = FileEndingWith(L"\\Links\\old.url.bak").path;
  ASSERT_TRUE(DeleteFileW(shortcut.c_str()));
  const std::wstring inbox = FileEndingWith(L"\\Inbox.dbx").path;
  HANDLE file = CreateFileW(inbox.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char byte = 0;
  DWORD done = 0;
  SetFilePointer(file, 40, nullptr, FILE_BEGIN);
  ASSERT_TRUE(ReadFile(file, &byte, 1, &done, nullptr) && done == 1);
  byte ^= 0x20;
  SetFilePointer(file, 40, nullptr, FILE_BEGIN);
  ASSERT_TRUE(WriteFile(file, &byte, 1, &done, nullptr) && done == 1);
  CloseHandle(file);

  const std::vector<std::wstring> expected = {
      L"value data changed: HKEY_CURRENT_USER\\Identities\\" + key + L" [Username] \"" + name +
          L"\" -> \"Renamed\"",
      L"key added: HKEY_CURRENT_USER\\Identities\\" + key + L"\\Extra",
      L"file content changed: " + inbox,
      L"file missing: " + shortcut,
  };
  std::vector<std::wstring> found = Differences(before, Shot());
  std::vector<std::wstring> sorted_expected = expected;
  std::sort(found.begin(), found.end());
  std::sort(sorted_expected.begin(), sorted_expected.end());
  EXPECT_EQ(found, sorted_expected) << Lines(found);
}

TEST_F(WorldOnMachine, TheSameSeedRebuildsTheSameWorldAndTheScaleItsSizes) {
  Install(Request(21, 0.001));
  const Snapshot first = Shot();
  std::wstring error;
  ASSERT_TRUE(RemoveScope(ScopeOf(worlds_), &error)) << ToUtf8(error);
  const Snapshot destroyed = Shot();
  EXPECT_TRUE(destroyed.keys.empty());
  EXPECT_TRUE(destroyed.files.empty());
  EXPECT_GT(Differences(first, destroyed).size(), first.keys.size() + first.files.size() - 1);

  Install(Request(21, 0.001));
  EXPECT_TRUE(Differences(first, Shot()).empty()) << Lines(Differences(first, Shot()));

  auto total_bytes = [](const Snapshot& snapshot) {
    uint64_t total = 0;
    for (const FileShot& file : snapshot.files) total += file.size;
    return total;
  };
  Install(Request(21, 0.01));
  const Snapshot larger = Shot();
  EXPECT_EQ(larger.keys, first.keys);
  EXPECT_EQ(larger.files.size(), first.files.size());
  EXPECT_GT(total_bytes(larger), 5 * total_bytes(first));

  Install(Request(22, 0.001));
  EXPECT_FALSE(Differences(first, Shot()).empty());
}

// make_world.exe run as a separate program; the build gives its Linux path.
class MakeWorldProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* linux_path = std::getenv("MAKE_WORLD");
    ASSERT_NE(linux_path, nullptr);
    program_ = L"Z:" + FromUtf8(linux_path);
    std::replace(program_.begin(), program_.end(), L'/', L'\\');
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"make_world_test";
    CreateDirectoryW(folder_.c_str(), nullptr);
  }

  // Runs the program with the arguments; returns its exit code and puts its output in *output.
  DWORD Run(const std::wstring& arguments, std::string* output) {
    const std::wstring output_file = folder_ + L"\\output.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileW(output_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + program_ + L"\" " + arguments;
    DWORD code = 999;
    if (CreateProcessW(program_.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &process)) {
      WaitForSingleObject(process.hProcess, INFINITE);
      GetExitCodeProcess(process.hProcess, &code);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
    CloseHandle(out);
    output->clear();
    HANDLE in = CreateFileW(output_file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    char piece[4096];
    DWORD got = 0;
    while (ReadFile(in, piece, sizeof(piece), &got, nullptr) && got > 0) output->append(piece, got);
    CloseHandle(in);
    return code;
  }

  std::wstring program_;
  std::wstring folder_;
};

TEST_F(MakeWorldProgram, InstallsSnapshotsAndComparesFromTheCommandLine) {
  const std::wstring options = L"--seed 5 --scale 0.001 --clients Favorites ";
  const std::wstring first = L"\"" + folder_ + L"\\first.snap\"";
  const std::wstring second = L"\"" + folder_ + L"\\second.snap\"";
  std::string output;
  ASSERT_EQ(Run(options + L"--remove", &output), 0u) << output;
  ASSERT_EQ(Run(options, &output), 0u) << output;
  EXPECT_NE(output.find("Installed 1 clients"), std::string::npos) << output;
  ASSERT_EQ(Run(options + L"--snapshot " + first, &output), 0u) << output;

  std::vector<ClientWorld> worlds;
  std::wstring error;
  WorldRequest request = Request(5, 0.001);
  request.clients = {L"Favorites"};
  ASSERT_TRUE(DescribeMachineWorld(request, &worlds, &error));
  const std::wstring favorites = worlds[0].scope.folders[0];
  ASSERT_TRUE(DeleteFileW((favorites + L"\\desktop.ini").c_str()));
  ASSERT_EQ(Run(options + L"--snapshot " + second, &output), 0u) << output;

  EXPECT_EQ(Run(L"--compare " + first + L" " + first, &output), 0u);
  EXPECT_EQ(output, "");
  EXPECT_EQ(Run(L"--compare " + first + L" " + second, &output), 1u);
  EXPECT_EQ(output, ToUtf8(L"file missing: " + favorites + L"\\desktop.ini\n"));

  EXPECT_EQ(Run(L"--compare " + first + L" \"" + folder_ + L"\\absent.snap\"", &output), 2u);
  EXPECT_NE(output.find("cannot read"), std::string::npos) << output;
  EXPECT_EQ(Run(L"--clients Nonesuch", &output), 2u);
  EXPECT_NE(output.find("Nonesuch"), std::string::npos) << output;
}

}  // namespace
}  // namespace mailstow
