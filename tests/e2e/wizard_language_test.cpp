// The whole wizard walked through a backup and a restore in every shipped language, chosen in
// the language list at run time and then stored for the next start: every page is captured on
// screen, and every caption and message shown comes from that language's file.
#include <gtest/gtest.h>

#include "ui/form_layout.h"
#include "tests/e2e/wizard_session.h"

namespace mailstow::e2e {
namespace {

// A shipped language, and its file as the system's profile functions read it (they decode its
// UTF-8 byte-order mark, as the program does).
struct Language {
  const wchar_t* name;  // the language list entry and the file's base name
  const char* test_name;
};

constexpr Language kLanguages[] = {{L"English", "English"},       {L"German", "German"},
                                   {L"Espa\u00F1ol", "Spanish"},  {L"French", "French"},
                                   {L"Italiano", "Italian"},      {L"Dutch", "Dutch"},
                                   {L"Portuguese", "Portuguese"}, {L"Romana", "Romanian"}};

class LanguageFile {
 public:
  explicit LanguageFile(const std::wstring& path) : path_(path) {}
  // The value of a key, blanks around it dropped; "" when missing.
  std::wstring Read(const wchar_t* section, const std::wstring& key) const {
    wchar_t value[2048] = {};
    GetPrivateProfileStringW(section, key.c_str(), L"", value, 2048, path_.c_str());
    return Trim(value);
  }
  // Whether the text is one of the file's messages (the program sets some captions from them).
  bool IsMessage(const std::wstring& text) const {
    for (int number = 1; number < 100; ++number) {
      if (Read(L"Messages", L"Message" + std::to_wstring(number)) == text) return true;
    }
    return false;
  }
  static std::wstring Trim(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return L"";
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
  }

 private:
  std::wstring path_;
};

// Every visible control of the wizard's current page (and of the button row) whose component
// has a caption in the file shows that caption, or one of the file's messages where the
// program sets it from one; no control shows the missing-key text.
void ExpectCaptionsFromFile(WizardSession& wizard, const LanguageFile& file) {
  const int page = wizard.ActivePage();
  SCOPED_TRACE("page " + std::to_string(page));
  for (const ComponentSpec& component : FindForm(L"Form1")->components) {
    if (component.page != 0 && component.page != page) continue;
    HWND control = wizard.Control(std::wstring(component.name).c_str());
    if (control == nullptr || !IsWindowVisible(control)) continue;
    const std::wstring shown = LanguageFile::Trim(WindowText(control));
    const std::wstring name(component.name);
    EXPECT_NE(shown, L"ERROR") << ::testing::PrintToString(name);
    const std::wstring caption = file.Read(L"Form1", name);
    if (caption.empty()) continue;
    EXPECT_TRUE(shown == caption || file.IsMessage(shown))
        << ::testing::PrintToString(name) << " shows " << ::testing::PrintToString(shown)
        << ", the file has " << ::testing::PrintToString(caption);
  }
}

void ChooseLanguage(WizardSession& wizard, const std::wstring& language) {
  HWND combo = wizard.Control(L"ComboBox1");
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[128] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    if (language != text) continue;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    wizard.Press(L"Button1");  // settle; the about box is closed again below
    return;
  }
  FAIL() << "language not listed";
}

class WizardLanguageTest : public ::testing::TestWithParam<Language> {};

TEST_P(WizardLanguageTest, EveryPageInTheChosenLanguage) {
  const Language& language = GetParam();
  const bool english = std::wstring(language.name) == L"English";
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
  const std::wstring favorites = ReadRegistryString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      L"Favorites");
  CreateDirectoryW(favorites.c_str(), nullptr);
  CloseHandle(CreateFileW((favorites + L"\\Home.url").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, 0, nullptr));
  const std::wstring file_name = std::wstring(language.name) + L".lng";
  const std::wstring folder =
      PrepareProgramFolder(L"language", {L"Mailstow.exe", L"English.lng", L"Sqx.dll"});
  if (!english) CopyInto(DistFolder() + file_name, folder, file_name);
  const LanguageFile file(folder + file_name);
  RemoveTree(L"C:\\Backups");
  const std::string test_name = language.test_name;
  const std::wstring prefix = std::wstring(test_name.begin(), test_name.end()) + L"_page";
  auto shot = [&](WizardSession& wizard, int page) {
    EXPECT_EQ(wizard.ActivePage(), page);
    ExpectCaptionsFromFile(wizard, file);
    wizard.Screenshot(prefix + (page < 10 ? L"0" : L"") + std::to_wstring(page));
  };

  WizardSession wizard;
  ASSERT_TRUE(wizard.Start(folder));
  if (!english) {
    ChooseLanguage(wizard, language.name);
    HWND about = wizard.OtherForm();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(WindowText(FindControl(about, ComponentId(L"Form3", L"Button1"))),
              file.Read(L"Form3", L"Button1"));
    EXPECT_EQ(WindowText(about), file.Read(L"Form1", L"Button1") + L"...");
    PostMessageW(about, WM_CLOSE, 0, 0);
    Sleep(300);
  }
  // The buttons beside "Auto BackUp" follow its translated width.
  RECT auto_backup, help;
  GetWindowRect(wizard.Control(L"Button8"), &auto_backup);
  GetWindowRect(wizard.Control(L"Button9"), &help);
  EXPECT_EQ(help.left, auto_backup.right + 4);
  shot(wizard, 1);
  wizard.Next();
  shot(wizard, 2);
  wizard.Next();
  shot(wizard, 3);
  wizard.Press(L"RadioButton16");
  wizard.Next();
  shot(wizard, 4);
  wizard.Next();
  wizard.Type(L"Edit1", L"C:\\Backups\\lang.ebk");
  wizard.Press(L"CheckBox1");
  shot(wizard, 5);
  wizard.Next();
  shot(wizard, 6);
  Click(wizard.Control(L"Button3"));
  for (int i = 0; i < 200 && wizard.ActivePage() == 6; ++i) Sleep(5);
  if (wizard.ActivePage() == 7) wizard.Screenshot(prefix + L"07");
  wizard.WaitForPage(8);
  shot(wizard, 8);
  EXPECT_EQ(wizard.Text(L"Label14"), file.Read(L"Messages", L"Message37"));
  wizard.Close();

  WizardSession restore;
  ASSERT_TRUE(restore.Start(folder));  // the language chosen before was stored at close
  EXPECT_EQ(restore.Text(L"Label1"), file.Read(L"Form1", L"Label1"));
  restore.Next();
  restore.Press(L"RadioButton2");
  restore.Next();
  restore.Press(L"RadioButton16");
  restore.Next();
  restore.Type(L"Edit4", L"C:\\Backups\\lang.ebk");
  shot(restore, 9);
  restore.Next();
  shot(restore, 10);
  restore.Next();
  shot(restore, 11);
  restore.Next();
  EXPECT_TRUE(restore.Answer(file.Read(L"Messages", L"Message4"), L"Yes"));
  shot(restore, 12);
  Click(restore.Control(L"Button3"));
  for (int i = 0; i < 200 && restore.ActivePage() == 12; ++i) Sleep(5);
  if (restore.ActivePage() == 13) restore.Screenshot(prefix + L"13");
  restore.WaitForPage(14);
  shot(restore, 14);
  restore.Close();
}

INSTANTIATE_TEST_SUITE_P(Languages, WizardLanguageTest, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.test_name); });

}  // namespace
}  // namespace mailstow::e2e
