#include "tests/e2e/client_round_trip.h"

#include <windows.h>

#include <algorithm>

#include "base/folders.h"
#include "base/ini_file.h"
#include "tests/e2e/archive_access.h"
#include "tools/machine_world.h"
#include "tools/utf_text.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {

::testing::AssertionResult InstallClientWorld(const std::wstring& client, uint64_t seed,
                                              double scale, SnapshotSpec* scope) {
  WorldRequest request;
  request.seed = seed;
  request.scale = scale;
  request.clients = {client};
  std::wstring error;
  if (!InstallMachineWorld(request, scope, &error)) {
    return ::testing::AssertionFailure() << ToUtf8(error);
  }
  return ::testing::AssertionSuccess();
}

namespace {

Tree Below(const std::wstring& folder, bool with_folders) {
  Tree tree;
  for (const FileShot& file : TakeSnapshot({{}, {folder}}).files) {
    if (file.path.size() <= folder.size() + 1 || (file.folder && !with_folders)) continue;
    tree[file.path.substr(folder.size() + 1)] = file.folder ? "" : file.hash;
  }
  return tree;
}

}  // namespace

Tree TreeOf(const std::wstring& folder) { return Below(folder, true); }

Tree FilesBelow(const std::wstring& folder) { return Below(folder, false); }

namespace {

// The extended form of a full path, to which no length limit applies.
std::wstring Extended(const std::wstring& path) { return L"\\\\?\\" + path; }

void AddContents(const std::wstring& folder, const std::wstring& relative, Contents* tree) {
  const std::wstring here = relative.empty() ? folder : folder + L"\\" + relative;
  for (const std::wstring& name : ListFolder(Extended(here))) {
    const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    const DWORD attributes = GetFileAttributesW(Extended(folder + L"\\" + path).c_str());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      AddContents(folder, path, tree);
    } else {
      (*tree)[path] = FileBytes(Extended(folder + L"\\" + path));
    }
  }
}

}  // namespace

Contents ContentsBelow(const std::wstring& folder) {
  Contents tree;
  AddContents(folder, L"", &tree);
  return tree;
}

Tree TreeAround(const std::wstring& folder) {
  const std::wstring parent = folder.substr(0, folder.find_last_of(L'\\'));
  const std::wstring own = folder.substr(parent.size() + 1);
  Tree tree = TreeOf(parent);
  std::erase_if(tree, [&own](const auto& entry) {
    return entry.first == own || entry.first.starts_with(own + L"\\");
  });
  return tree;
}

std::string TreeDifferences(const Tree& expected, const Tree& actual) {
  std::vector<std::wstring> differing;
  for (const auto& [path, hash] : expected) {
    const auto found = actual.find(path);
    if (found == actual.end() || found->second != hash) differing.push_back(path);
  }
  for (const auto& [path, hash] : actual) {
    if (!expected.contains(path)) differing.push_back(L"extra " + path);
  }
  return Joined(differing);
}

std::set<std::wstring> Listed(const std::wstring& folder) {
  const std::vector<std::wstring> names = ListFolder(folder);
  return {names.begin(), names.end()};
}

bool Holds(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string Joined(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += ToUtf8(line) + "\n";
  return text;
}

std::vector<std::wstring> SectionValues(const IniText& ini, const wchar_t* section) {
  std::vector<std::wstring> values;
  for (const std::wstring& key : ini.KeyNames(section)) {
    values.push_back(ini.ReadString(section, key, L""));
  }
  return values;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

bool ValueExists(HKEY root, const std::wstring& key, const wchar_t* name) {
  HKEY opened = nullptr;
  const REGSAM view = root == HKEY_LOCAL_MACHINE ? KEY_WOW64_32KEY : 0;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  const bool found =
      RegQueryValueExW(opened, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(opened);
  return found;
}

void ClientRoundTrip::SetUp() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
  folder_ =
      PrepareProgramFolder(client_.program_name, {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
  RemoveTree(L"C:\\Backups");
  RemoveTree(L"C:\\Restore");
  if (client_.world != nullptr && client_.seed != 0) {
    ASSERT_TRUE(InstallWorld(client_.seed, client_.scale));
  }
}

::testing::AssertionResult ClientRoundTrip::InstallWorld(uint64_t seed, double scale) {
  return InstallClientWorld(client_.world, seed, scale, &scope_);
}

void ClientRoundTrip::StartAt(const wchar_t* action) {
  ASSERT_TRUE(wizard_.StartAt(folder_, action, client_.radio_button, client_.choose));
}

namespace {

// The lists of a lists page before any tick changes.
ListsShown ListsOf(HWND identities, HWND items) {
  ListsShown shown{ListTexts(identities), ListTexts(items), {}, IsWindowEnabled(items) != FALSE};
  for (int i = 0; i < ListCount(items); ++i) shown.items_ticked.push_back(ListTicked(items, i));
  return shown;
}

// Unticks every entry of a list that is not named, unless none are named.
void KeepOnly(HWND list, const std::vector<std::wstring>& names) {
  if (names.empty()) return;
  for (int i = 0; i < ListCount(list); ++i) {
    if (std::find(names.begin(), names.end(), ListText(list, i)) == names.end()) {
      ListToggle(list, i);
    }
  }
}

}  // namespace

void ClientRoundTrip::Backup(const std::wstring& archive, const BackupChoice& choice) {
  StartAt(L"RadioButton1");
  ASSERT_EQ(wizard_.ActivePage(), 4);
  HWND identities = wizard_.Control(L"CheckListBox1");
  HWND items = wizard_.Control(L"CheckListBox2");
  shown_ = ListsOf(identities, items);
  KeepOnly(identities, choice.identities);
  for (int position : choice.unticked) {
    ASSERT_LT(position, ListCount(identities));
    ListToggle(identities, position);
  }
  KeepOnly(items, choice.items);
  wizard_.Screenshot(std::wstring(client_.program_name) + L"_backup_lists");
  ASSERT_TRUE(wizard_.RunBackup(archive, choice.password, choice.split));
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
}

void ClientRoundTrip::OpenForRestore(const std::wstring& archive,
                                     const std::vector<std::wstring>& offered,
                                     const RestoreChoice& choice) {
  StartAt(L"RadioButton2");
  ASSERT_EQ(wizard_.ActivePage(), 9);
  wizard_.Type(L"Edit4", archive);
  wizard_.Next();
  if (!choice.password.empty()) {
    ASSERT_TRUE(wizard_.EnterPassword(choice.password));
    wizard_.WaitForPage(10, 10s);
  }
  ASSERT_EQ(wizard_.ActivePage(), 10);
  HWND identities = wizard_.Control(L"CheckListBox3");
  shown_ = ListsOf(identities, wizard_.Control(L"CheckListBox4"));
  if (!offered.empty()) {
    EXPECT_EQ(Joined(shown_.identities), Joined(offered));
  }
  for (int position : choice.unticked) {
    ASSERT_LT(position, ListCount(identities));
    ListToggle(identities, position);
  }
  wizard_.Screenshot(std::wstring(client_.program_name) + L"_restore_lists");
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 11);
}

void ClientRoundTrip::ConfirmDirectRestore() {
  EXPECT_TRUE(wizard_.Checked(L"RadioButton11"));  // the direct restore, preselected
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"Are you sure?", L"Yes"));
  ASSERT_EQ(wizard_.ActivePage(), 12);
}

void ClientRoundTrip::RestoreDirectly() {
  ConfirmDirectRestore();
  ASSERT_TRUE(wizard_.RunFrom(12, 14));
}

void ClientRoundTrip::RestoreInto(const std::wstring& folder) {
  wizard_.Press(L"RadioButton12");
  wizard_.Type(L"Edit5", folder);
  const bool exists = GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
  wizard_.Next();
  if (!exists) {
    EXPECT_TRUE(wizard_.Answer(L"Create directory?", L"Yes"));
  }
  // The folder is taken with a trailing separator.
  EXPECT_EQ(wizard_.Text(L"Edit5"), folder.ends_with(L"\\") ? folder : folder + L"\\");
  ASSERT_TRUE(wizard_.RunFrom(12, 14));
}

void ClientRoundTrip::Restore(const std::wstring& archive, const std::vector<std::wstring>& offered,
                              const RestoreChoice& choice) {
  ASSERT_NO_FATAL_FAILURE(OpenForRestore(archive, offered, choice));
  RestoreDirectly();
}

std::string ClientRoundTrip::ChangesSince(const Snapshot& before) const {
  return Joined(Differences(before, TakeSnapshot(scope_)));
}

std::wstring ClientRoundTrip::Log() const {
  return ReadSystemTextFile(folder_ + L"Log.txt").value_or(L"");
}

::testing::AssertionResult WriteFilesBelow(const std::wstring& folder, const FileBytesList& files) {
  for (const auto& [path, bytes] : files) {
    const std::wstring file = folder + L"\\" + path;
    if (!CreateFolderTree(file.substr(0, file.rfind(L'\\'))) || !WriteBytes(file, bytes)) {
      return ::testing::AssertionFailure() << "cannot write " << ToUtf8(file);
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult HoldsOnce(const std::wstring& archive, const std::wstring& stored,
                                     const std::string& bytes) {
  const std::vector<std::wstring> members = ArchiveMembers(archive);
  const auto count = std::count(members.begin(), members.end(), stored);
  std::string archived;
  if (count != 1 || !ReadArchiveMember(archive, stored, &archived)) {
    return ::testing::AssertionFailure() << ToUtf8(stored) << " is stored " << count << " times";
  }
  if (archived != bytes) {
    return ::testing::AssertionFailure() << ToUtf8(stored) << " holds \"" << archived << "\"";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ClientRoundTrip::LogHolds(const std::vector<std::wstring>& lines,
                                                     bool whole) const {
  const std::wstring log = Log();
  std::vector<std::wstring> missing;
  for (const std::wstring& line : lines) {
    if (log.find(whole ? line + L"\r\n" : line) == std::wstring::npos) missing.push_back(line);
  }
  if (missing.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the log lacks:\n"
                                       << Joined(missing) << "the log:\n"
                                       << ToUtf8(log);
}

}  // namespace mailstow::e2e
