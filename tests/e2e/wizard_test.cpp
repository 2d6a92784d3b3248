// The wizard driven through its windows as a person would: every page's checks and
// messages, and the client detection on the real registry.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/client_detection.h"
#include "base/registry_key.h"
#include "tests/e2e/wizard_session.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kMailClients[] = L"Software\\Clients\\Mail";

void SetMailClients(const std::vector<std::wstring>& subkeys, const wchar_t* default_client) {
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, kMailClients);
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\Netscape");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Poco");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Opera Software");
  if (subkeys.empty() && default_client == nullptr) return;
  RegistryKey mail;
  ASSERT_TRUE(mail.Open(HKEY_LOCAL_MACHINE, kMailClients, true));
  for (const std::wstring& name : subkeys) {
    RegistryKey sub;
    ASSERT_TRUE(sub.Open(mail.handle(), name, true));
  }
  if (default_client != nullptr) mail.WriteString(L"", default_client);
}

std::wstring Personal() {
  return ReadRegistryString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      L"Personal");
}

std::wstring TodayDashed() {
  wchar_t date[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 64);
  std::wstring text = date;
  for (wchar_t& c : text) {
    if (c < L'0' || c > L'9') c = L'-';
  }
  return text;
}

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
    SetMailClients({}, nullptr);
    folder_ = PrepareProgramFolder(L"wizard", {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
    if (!FileExists(folder_ + L"Sqx.dll")) {
      CopyInto(DistFolder() + L"..\\tests\\e2e\\stub_archiver.dll", folder_, L"Sqx.dll");
    }
  }
  void TearDown() override { wizard_.Close(); }

  // From page 1 to the client page with the chosen action.
  void ToClientPage(const wchar_t* action) {
    ASSERT_TRUE(wizard_.Start(folder_));
    ASSERT_EQ(wizard_.ActivePage(), 1);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 2);
    wizard_.Press(action);
    wizard_.Next();
    ASSERT_EQ(wizard_.ActivePage(), 3);
  }

  std::wstring folder_;
  WizardSession wizard_;
};

TEST_F(WizardTest, ClientPageRefusesNoClientAndAGreyClientUnlessConfirmed) {
  ToClientPage(L"RadioButton1");
  wizard_.Screenshot(L"page03");
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"Please select an E-mail Client!", L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 3);

  wizard_.Press(L"RadioButton5");  // Eudora: not installed here
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(
      L"This E-mail Client doesn\u2019t seem to be installed. Would you like to continue?", L"No"));
  EXPECT_EQ(wizard_.ActivePage(), 3);
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(
      L"This E-mail Client doesn\u2019t seem to be installed. Would you like to continue?",
      L"Yes"));
  EXPECT_TRUE(wizard_.NoBox());
  EXPECT_EQ(wizard_.ActivePage(), 4);  // every client has its adapter
}

TEST_F(WizardTest, BackupListsAndArchiveFileChecks) {
  ToClientPage(L"RadioButton1");
  wizard_.Press(L"RadioButton16");  // Favorites are always there
  wizard_.Next();
  EXPECT_TRUE(wizard_.NoBox());
  ASSERT_EQ(wizard_.ActivePage(), 4);
  wizard_.Screenshot(L"page04");
  HWND identities = wizard_.Control(L"CheckListBox1");
  HWND items = wizard_.Control(L"CheckListBox2");
  ASSERT_EQ(ListCount(identities), 1);
  EXPECT_EQ(ListText(identities, 0), L"Default");
  EXPECT_EQ(ListText(items, 0), L"Favorites");
  EXPECT_TRUE(ListTicked(identities, 0));
  EXPECT_TRUE(ListTicked(items, 0));

  ListToggle(identities, 0);
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"You must select at least one identity!", L"OK"));
  ListToggle(identities, 0);
  ListToggle(items, 0);
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"You must select at least one Item!", L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 4);
  ListToggle(items, 0);
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 5);
  wizard_.Screenshot(L"page05");
  const std::wstring default_name = Personal() + L"\\FavoritesBackup " + TodayDashed() + L".ebk";
  EXPECT_EQ(wizard_.Text(L"Edit1"), default_name);

  // Back and forward again replaces a hand-edited path with a fresh default name.
  wizard_.Type(L"Edit1", L"C:\\edited.ebk");
  wizard_.Back();
  EXPECT_EQ(wizard_.ActivePage(), 4);
  wizard_.Next();
  EXPECT_EQ(wizard_.Text(L"Edit1"), default_name);

  wizard_.Type(L"Edit1", L"");
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"Invalid filename!", L"OK"));
  wizard_.Type(L"Edit1", L"C:\\windows");
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"Invalid filename!", L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 5);

  CreateDirectoryW(L"C:\\Existing", nullptr);
  CloseHandle(
      CreateFileW(L"C:\\Existing\\old.ebk", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  wizard_.Type(L"Edit1", L"C:\\Existing\\old.ebk");
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"This file already exists. Overwrite?", L"No"));
  EXPECT_EQ(wizard_.ActivePage(), 5);

  // Passwords: a one-character mismatch empties both fields.
  wizard_.Press(L"CheckBox1");
  EXPECT_TRUE(IsWindowEnabled(wizard_.Control(L"Edit2")));
  wizard_.Type(L"Edit1", L"C:\\New Folder\\Deeper\\backup.ebk");
  wizard_.Type(L"Edit2", L"secret1");
  wizard_.Type(L"Edit3", L"secret2");
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"Incorrect password!", L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 5);
  EXPECT_EQ(wizard_.Text(L"Edit2"), L"");
  EXPECT_EQ(wizard_.Text(L"Edit3"), L"");

  // Equal empty passwords untick the box; the missing folder is created at Next.
  EXPECT_TRUE(wizard_.Checked(L"CheckBox1"));
  wizard_.Next();
  EXPECT_TRUE(wizard_.NoBox());
  EXPECT_EQ(wizard_.ActivePage(), 6);
  EXPECT_FALSE(wizard_.Checked(L"CheckBox1"));
  EXPECT_TRUE(FileExists(L"C:\\New Folder\\Deeper"));
  wizard_.Screenshot(L"page06");
}

TEST_F(WizardTest, RestoreGoesFromTheClientPageToTheArchivePageAndBack) {
  ToClientPage(L"RadioButton2");
  wizard_.Press(L"RadioButton16");
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 9);
  wizard_.Screenshot(L"page09");
  EXPECT_EQ(wizard_.Text(L"Edit4"), Personal() + L"\\FavoritesBackup " + TodayDashed() + L".ebk");
  wizard_.Type(L"Edit4", L"C:\\nowhere\\missing.ebk");
  wizard_.Next();
  EXPECT_TRUE(wizard_.Answer(L"This filename doesn\u2019t exist!", L"OK"));
  EXPECT_EQ(wizard_.ActivePage(), 9);
  wizard_.Back();
  EXPECT_EQ(wizard_.ActivePage(), 3);
}

// The text of every edit and combo box of a dialog, for finding a proposed file name.
std::wstring DialogFieldTexts(HWND dialog) {
  std::wstring texts;
  for (int id = 0; id < 0x2000; ++id) {
    HWND field = GetDlgItem(dialog, id);
    if (field == nullptr) continue;
    const std::wstring cls = ClassName(field);
    if (_wcsicmp(cls.c_str(), L"Edit") == 0 || _wcsicmp(cls.c_str(), L"ComboBox") == 0 ||
        _wcsicmp(cls.c_str(), L"ComboBoxEx32") == 0) {
      texts += WindowText(field) + L"|";
    }
  }
  return texts;
}

TEST_F(WizardTest, BrowseButtonsOpenTheCommonDialogsAndCancelKeepsTheFields) {
  ToClientPage(L"RadioButton1");
  wizard_.Press(L"RadioButton16");
  wizard_.Next();
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 5);
  const std::wstring path = wizard_.Text(L"Edit1");
  Click(wizard_.Control(L"Button5"));
  HWND save = wizard_.WaitForBox(10s);
  ASSERT_NE(save, nullptr);
  EXPECT_EQ(WindowText(save), L"Save file ...");
  SYSTEMTIME today;
  GetLocalTime(&today);
  const std::wstring suggested = L"FavoritesBackup " + std::to_wstring(today.wDay) + L"-" +
                                 std::to_wstring(today.wMonth) + L"-" +
                                 std::to_wstring(today.wYear);
  EXPECT_NE(DialogFieldTexts(save).find(suggested), std::wstring::npos)
      << DialogFieldTexts(save).size();
  wizard_.Screenshot(L"save_dialog");
  PostMessageW(save, WM_COMMAND, IDCANCEL, 0);
  Sleep(500);
  EXPECT_EQ(wizard_.Text(L"Edit1"), path);
  wizard_.Close();

  ToClientPage(L"RadioButton2");
  wizard_.Press(L"RadioButton16");
  wizard_.Next();
  ASSERT_EQ(wizard_.ActivePage(), 9);
  wizard_.Type(L"Edit4", L"C:\\kept.ebk");
  Click(wizard_.Control(L"Button6"));
  HWND open = wizard_.WaitForBox(10s);
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(WindowText(open), L"Open file ...");
  PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
  Sleep(500);
  EXPECT_EQ(wizard_.Text(L"Edit4"), L"C:\\kept.ebk");
}

TEST_F(WizardTest, AboutBoxShowsTheVersionInThreeParts) {
  ASSERT_TRUE(wizard_.Start(folder_));
  wizard_.Press(L"Button1");
  HWND about = wizard_.OtherForm();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(WindowText(about), L"About...");
  const std::wstring version = WindowText(FindControl(about, 1001));
  ASSERT_TRUE(version.starts_with(L"Version "));
  EXPECT_EQ(std::count(version.begin(), version.end(), L'.'), 2);
  wizard_.Screenshot(L"about");
  PostMessageW(about, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
  Sleep(300);
  EXPECT_FALSE(IsShown(about));
  EXPECT_TRUE(IsWindowEnabled(wizard_.form()));
}

TEST_F(WizardTest, DetectionPreselectsTheDefaultClient) {
  // Installed and default: no question on the client page.
  SetMailClients({L"Outlook Express", L"Microsoft Outlook"}, L"Microsoft Outlook");
  DetectionResult detected = DetectClients(ReadDetectionInput());
  EXPECT_TRUE(detected.installed[1]);
  EXPECT_TRUE(detected.installed[2]);
  ToClientPage(L"RadioButton1");
  EXPECT_TRUE(wizard_.Checked(L"RadioButton4"));
  EXPECT_FALSE(wizard_.Checked(L"RadioButton3"));
  wizard_.Next();
  EXPECT_TRUE(wizard_.NoBox());  // not the grey question
  EXPECT_EQ(wizard_.ActivePage(), 4);
  wizard_.Close();

  // A default whose own key is missing is preselected but grey: the question comes.
  SetMailClients({L"Outlook Express"}, L"Netscape");
  detected = DetectClients(ReadDetectionInput());
  EXPECT_FALSE(detected.installed[4]);
  EXPECT_EQ(detected.default_client, 4);
  WizardSession second;
  ASSERT_TRUE(second.Start(folder_));
  second.Next();
  second.Next();
  EXPECT_TRUE(second.Checked(L"RadioButton6"));
  second.Next();
  EXPECT_TRUE(second.Answer(
      L"This E-mail Client doesn\u2019t seem to be installed. Would you like to continue?", L"No"));
  second.Close();

  // No mail-client key: the user-level PocoMail key does not count.
  SetMailClients({}, nullptr);
  RegistryKey poco;
  ASSERT_TRUE(poco.Open(HKEY_CURRENT_USER, L"Software\\Poco", true));
  detected = DetectClients(ReadDetectionInput());
  EXPECT_FALSE(detected.installed[8]);
  EXPECT_TRUE(detected.installed[10]);
  EXPECT_EQ(detected.default_client, 0);

  // "The Bat! 2" marks The Bat!; a default of "The Bat" preselects nothing.
  SetMailClients({L"The Bat! 2"}, L"The Bat");
  detected = DetectClients(ReadDetectionInput());
  EXPECT_TRUE(detected.installed[7]);
  EXPECT_EQ(detected.default_client, 0);
}

}  // namespace
}  // namespace mailstow::e2e
