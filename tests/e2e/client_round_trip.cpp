#include "tests/e2e/client_round_trip.h"

#include <windows.h>

#include <algorithm>

#include "base/ini_file.h"
#include "tools/machine_world.h"
#include "tools/utf_text.h"
#include "tools/world_installer.h"
#include "tools/world_removal.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {

::testing::AssertionResult InstallClientWorld(const std::wstring& client, uint64_t seed,
                                              double scale, SnapshotSpec* scope) {
  WorldRequest request;
  request.seed = seed;
  request.scale = scale;
  request.clients = {client};
  std::vector<ClientWorld> worlds;
  std::wstring error;
  InstallSummary summary;
  if (!DescribeMachineWorld(request, &worlds, &error) || !RemoveScope(ScopeOf(worlds), &error) ||
      !InstallWorld(worlds, &summary, &error)) {
    return ::testing::AssertionFailure() << ToUtf8(error);
  }
  *scope = ScopeOf(worlds);
  return ::testing::AssertionSuccess();
}

std::map<std::wstring, std::string> TreeOf(const std::wstring& folder) {
  std::map<std::wstring, std::string> tree;
  const Snapshot snapshot = TakeSnapshot({{}, {folder}});
  for (const FileShot& file : snapshot.files) {
    if (file.path.size() > folder.size() + 1) tree[file.path.substr(folder.size() + 1)] = file.hash;
  }
  return tree;
}

std::string Joined(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += ToUtf8(line) + "\n";
  return text;
}

std::string TreeDifferences(const std::map<std::wstring, std::string>& expected,
                            const std::map<std::wstring, std::string>& actual) {
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

std::map<std::wstring, std::string> TreeAround(const std::wstring& folder) {
  const std::wstring parent = folder.substr(0, folder.find_last_of(L'\\'));
  const std::wstring own = folder.substr(parent.size() + 1);
  auto tree = TreeOf(parent);
  std::erase_if(tree, [&own](const auto& entry) {
    return entry.first == own || entry.first.starts_with(own + L"\\");
  });
  return tree;
}

void ClientRoundTrip::SetUp() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
  folder_ = PrepareProgramFolder(program_name_, {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
  RemoveTree(L"C:\\Backups");
  RemoveTree(L"C:\\Restore");
}

void ClientRoundTrip::StartAt(const wchar_t* action) {
  wizard_.Close();
  ASSERT_TRUE(wizard_.Start(folder_));
  wizard_.Next();
  wizard_.Press(action);
  wizard_.Next();
  ASSERT_TRUE(wizard_.Checked(radio_button_));  // the default mail client, preselected
  wizard_.Next();
}

namespace {

// Unticks every entry of a list that is not named, unless none are named; returns the texts.
std::vector<std::wstring> KeepOnly(HWND list, const std::vector<std::wstring>& names) {
  std::vector<std::wstring> texts;
  for (int i = 0; i < ListCount(list); ++i) {
    texts.push_back(ListText(list, i));
    if (!names.empty() && std::find(names.begin(), names.end(), texts.back()) == names.end()) {
      ListToggle(list, i);
    }
  }
  return texts;
}

}  // namespace

void ClientRoundTrip::Backup(const std::wstring& archive, const std::vector<std::wstring>& only,
                             const std::vector<std::wstring>& only_items) {
  StartAt(L"RadioButton1");
  ASSERT_EQ(wizard_.ActivePage(), 4);
  listed_ = KeepOnly(wizard_.Control(L"CheckListBox1"), only);
  KeepOnly(wizard_.Control(L"CheckListBox2"), only_items);
  wizard_.Screenshot(std::wstring(program_name_) + L"_backup_lists");
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 5);
  wizard_.FillArchivePage(archive, L"", false);
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 6);
  wizard_.Next();
  ASSERT_TRUE(wizard_.WaitForPage(8));
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
}

void ClientRoundTrip::OpenForRestore(const std::wstring& archive,
                                     const std::vector<std::wstring>& offered) {
  StartAt(L"RadioButton2");
  ASSERT_EQ(wizard_.ActivePage(), 9);
  wizard_.Type(L"Edit4", archive);
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 10);
  HWND list = wizard_.Control(L"CheckListBox3");
  std::vector<std::wstring> listed;
  for (int i = 0; i < ListCount(list); ++i) listed.push_back(ListText(list, i));
  EXPECT_EQ(Joined(listed), Joined(offered));
  wizard_.Screenshot(std::wstring(program_name_) + L"_restore_lists");
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 11);
}

void ClientRoundTrip::RestoreDirectly() {
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"Are you sure?", L"Yes"));
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
  ASSERT_TRUE(wizard_.RunFrom(12, 14));
}

std::wstring ClientRoundTrip::Log() const {
  return ReadSystemTextFile(folder_ + L"Log.txt").value_or(L"");
}

}  // namespace mailstow::e2e
