#include "tests/e2e/client_world.h"

#include "base/ini_file.h"
#include "tools/machine_world.h"
#include "tools/utf_text.h"
#include "tools/world_installer.h"
#include "tools/world_removal.h"
#include "tools/world_snapshot.h"

namespace mailstow::e2e {

::testing::AssertionResult InstallClientWorld(const std::wstring& client, uint64_t seed,
                                              SnapshotSpec* scope) {
  WorldRequest request;
  request.seed = seed;
  request.scale = 0.01;
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

std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder) {
  std::map<std::wstring, std::string> files;
  for (const FileShot& file : TakeSnapshot({{}, {folder}}).files) {
    if (!file.folder) files[file.path.substr(folder.size() + 1)] = file.hash;
  }
  return files;
}

std::vector<std::wstring> SectionValues(const IniText& ini, const wchar_t* section) {
  std::vector<std::wstring> values;
  for (const std::wstring& key : ini.KeyNames(section))
    values.push_back(ini.ReadString(section, key, L""));
  return values;
}

std::string Joined(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) text += ToUtf8(line) + "\n";
  return text;
}

void ClientWizardTest::SetUp() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
  folder_ =
      PrepareProgramFolder(program_folder_name_, {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
  RemoveTree(L"C:\\Backups");
  RemoveTree(L"C:\\Restore");
}

void ClientWizardTest::StartAt(const wchar_t* action) {
  wizard_.Close();
  ASSERT_TRUE(wizard_.Start(folder_));
  wizard_.Next();
  wizard_.Press(action);
  wizard_.Next();
  ASSERT_TRUE(wizard_.Checked(client_radio_));  // the default mail client, preselected
  wizard_.Next();
}

void ClientWizardTest::BackupFromIdentityPage(const std::wstring& archive) {
  ASSERT_EQ(wizard_.ActivePage(), 4);
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 5);
  wizard_.Type(L"Edit1", archive);
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 6);
  wizard_.Next();
  wizard_.WaitForPage(8);
  ASSERT_EQ(wizard_.ActivePage(), 8);
  EXPECT_EQ(wizard_.Text(L"Label14"), L"Backup completed!");
  wizard_.Close();
}

void ClientWizardTest::Restore(const std::wstring& archive, const std::wstring& other_folder) {
  StartAt(L"RadioButton2");
  ASSERT_EQ(wizard_.ActivePage(), 9);
  wizard_.Type(L"Edit4", archive);
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 10);
  HWND identities = wizard_.Control(L"CheckListBox3");
  restore_identities_.clear();
  for (int i = 0; i < ListCount(identities); ++i)
    restore_identities_.push_back(ListText(identities, i));
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 11);
  if (other_folder.empty()) {
    wizard_.Next();
    EXPECT_TRUE(wizard_.Answer(L"Are you sure?", L"Yes"));
  } else {
    wizard_.Press(L"RadioButton12");
    wizard_.Type(L"Edit5", other_folder);
    wizard_.Next();
    EXPECT_TRUE(wizard_.Answer(L"Create directory?", L"Yes"));
  }
  ASSERT_TRUE(wizard_.RunFrom(12, 14));
  wizard_.Close();
}

std::wstring ClientWizardTest::Log() const {
  return ReadSystemTextFile(folder_ + L"Log.txt").value_or(L"");
}

}  // namespace mailstow::e2e
