// The whole wizard walked through a backup and a restore in English and, after switching
// the language list to German (longer captions), in German: every page is captured on
// screen, the captions and messages follow the chosen language at once, and the layout
// follows the translated captions.
#include <gtest/gtest.h>

#include "tests/e2e/wizard_session.h"

namespace mailstow::e2e {
namespace {

struct Language {
  const wchar_t* name;
  const wchar_t* prefix;  // of the screenshot names
  const wchar_t* welcome;
  const wchar_t* next;
  const wchar_t* are_you_sure;
  const wchar_t* completed;
};

constexpr Language kEnglish = {
    L"English",          L"en", L"Welcome to Letterkeep!", L"Next >", L"Are you sure?",
    L"Backup completed!"};
constexpr Language kGerman = {L"German",
                              L"de",
                              L"Willkommen bei Letterkeep!",
                              L"Weiter >",
                              L"Sind Sie sicher?",
                              L"Sicherung abgeschlossen!"};

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
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");
  const std::wstring favorites = ReadRegistryString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      L"Favorites");
  CreateDirectoryW(favorites.c_str(), nullptr);
  CloseHandle(CreateFileW((favorites + L"\\Home.url").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, 0, nullptr));
  const std::wstring folder = PrepareProgramFolder(
      L"language", {L"Mailstow.exe", L"English.lng", L"German.lng", L"Sqx.dll"});
  RemoveTree(L"C:\\Backups");
  const std::wstring prefix = std::wstring(language.prefix) + L"_page";
  auto shot = [&](WizardSession& wizard, int page) {
    EXPECT_EQ(wizard.ActivePage(), page);
    wizard.Screenshot(prefix + (page < 10 ? L"0" : L"") + std::to_wstring(page));
  };

  WizardSession wizard;
  ASSERT_TRUE(wizard.Start(folder));
  if (language.name != kEnglish.name) {
    ChooseLanguage(wizard, language.name);
    HWND about = wizard.OtherForm();
    ASSERT_NE(about, nullptr);
    PostMessageW(about, WM_CLOSE, 0, 0);
    Sleep(300);
  }
  EXPECT_EQ(wizard.Text(L"Label1"), language.welcome);
  EXPECT_EQ(wizard.Text(L"Button3"), language.next);
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
  EXPECT_EQ(wizard.Text(L"Label14"), language.completed);
  wizard.Close();

  WizardSession restore;
  ASSERT_TRUE(restore.Start(folder));  // the language chosen before was stored at close
  EXPECT_EQ(restore.Text(L"Label1"), language.welcome);
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
  EXPECT_TRUE(restore.Answer(language.are_you_sure, L"Yes"));
  shot(restore, 12);
  Click(restore.Control(L"Button3"));
  for (int i = 0; i < 200 && restore.ActivePage() == 12; ++i) Sleep(5);
  if (restore.ActivePage() == 13) restore.Screenshot(prefix + L"13");
  restore.WaitForPage(14);
  shot(restore, 14);
  restore.Close();
}

INSTANTIATE_TEST_SUITE_P(Languages, WizardLanguageTest, ::testing::Values(kEnglish, kGerman),
                         [](const auto& info) {
                           return info.param.prefix[0] == L'e' ? "English" : "German";
                         });

}  // namespace
}  // namespace mailstow::e2e
