// Every shipped language, and a user's own files, shown by the real program under a system
// ANSI code page of the run's Wine prefix (its locale picks the code page): each language is
// chosen in the language list, the captions of the first wizard page are read back as wide
// text and compared with the file's text decoded from UTF-8, and the stored choice brings
// the same language back at the next start.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/ini_text.h"
#include "tests/e2e/wizard_session.h"
#include "ui/form_layout.h"

namespace mailstow::e2e {
namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Corvane\\Mailstow";
constexpr wchar_t kUtf8Mark[] = L"\uFEFF";

// A language file in the program folder and the text it must show.
struct Language {
  std::wstring file;  // base name: what the list chooses and the settings store
  IniText text;
};

std::wstring Decode(const std::string& bytes, UINT code_page) {
  const int size = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), length);
  return text;
}

std::string Encode(const std::wstring& text, UINT code_page) {
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(code_page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::wstring Trim(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// The shipped file, decoded strictly as UTF-8 after its byte-order mark.
Language Shipped(const std::wstring& file) {
  const std::string bytes = FileBytes(DistFolder() + file + L".lng");
  EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << "no UTF-8 byte-order mark";
  const std::wstring text = Decode(bytes.substr(3), CP_UTF8);
  EXPECT_FALSE(text.empty()) << "not UTF-8";
  return {file, IniText::Parse(text)};
}

// A user's own file, written as UTF-8 with a byte-order mark or in the system's ANSI code
// page.
Language Own(const std::wstring& folder, const std::wstring& file, const std::wstring& text,
             bool ansi) {
  EXPECT_TRUE(WriteBytes(folder + file + L".lng",
                         ansi ? Encode(text, CP_ACP) : Encode(kUtf8Mark + text, CP_UTF8)));
  return {file, IniText::Parse(text)};
}

// The first wizard page and the button row show the file's captions (or, where the program
// sets a caption from a message, one of its messages); returns how many were compared.
int ExpectFirstPageCaptions(WizardSession& wizard, const IniText& file) {
  int compared = 0;
  const std::vector<std::wstring> messages = file.KeyNames(L"Messages");
  for (const ComponentSpec& component : FindForm(L"Form1")->components) {
    if (component.page > 1) continue;
    const std::wstring name(component.name);
    HWND control = wizard.Control(name.c_str());
    if (control == nullptr || !IsWindowVisible(control)) continue;
    const std::wstring caption = Trim(file.ReadString(L"Form1", name, L""));
    if (caption.empty()) continue;
    const std::wstring shown = Trim(WindowText(control));
    bool from_message = false;
    for (const std::wstring& key : messages) {
      from_message = from_message || shown == Trim(file.ReadString(L"Messages", key, L""));
    }
    EXPECT_TRUE(shown == caption || from_message)
        << ::testing::PrintToString(name) << " shows " << ::testing::PrintToString(shown)
        << ", the file has " << ::testing::PrintToString(caption);
    ++compared;
  }
  return compared;
}

// Chooses the list entry that shows the file's [Language] value, as a user does.
::testing::AssertionResult Choose(WizardSession& wizard, const Language& language) {
  const std::wstring shown = language.text.ReadString(L"Language", L"Language", L"ERROR");
  HWND combo = wizard.Control(L"ComboBox1");
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring entry(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)), L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(entry.data()));
    if (entry != shown) continue;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    SendMessageTimeoutW(GetParent(combo), WM_COMMAND,
                        MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(combo), SMTO_NORMAL, 5000, nullptr);
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << ::testing::PrintToString(shown) << " is not listed";
}

class LanguageCodePageTest : public ::testing::TestWithParam<UINT> {};

TEST_P(LanguageCodePageTest, EveryLanguageShowsItsFilesTextAndIsStoredByItsName) {
  const UINT code_page = GetParam();
  ASSERT_EQ(GetACP(), code_page) << "the prefix's locale does not give the code page";
  Program probe;
  ASSERT_TRUE(probe.Start(DistFolder() + L"..\\tests\\e2e\\code_page_probe.exe", L""));
  ASSERT_EQ(probe.WaitForExit(), code_page) << "a started program has another code page";

  const wchar_t* shipped[] = {L"German", L"Espa\u00F1ol", L"French", L"Italiano",
                              L"Dutch",  L"Portuguese",   L"Romana", L"English"};
  std::vector<std::wstring> files = {L"Mailstow.exe", L"Sqx.dll"};
  for (const wchar_t* file : shipped) files.push_back(std::wstring(file) + L".lng");
  const std::wstring folder = PrepareProgramFolder(L"code page", files);
  std::vector<Language> languages;
  for (const wchar_t* file : shipped) languages.push_back(Shipped(file));
  // A name and texts beyond both code pages, and a file in the system's code page (its
  // letters are in both).
  const std::wstring russian = L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439";
  languages.push_back(Own(folder, russian,
                          L"[Language]\r\nLanguage=" + russian +
                              L"\r\n[Form1]\r\nLabel1=\u0414\u043E\u0431\u0440\u043E "
                              L"\u043F\u043E\u0436\u0430\u043B\u043E\u0432\u0430\u0442\u044C!\r\n"
                              L"Button4=\u0412\u044B\u0445\u043E\u0434\r\n",
                          false));
  languages.push_back(
      Own(folder, L"Own",
          L"[Language]\r\nLanguage=Gr\u00FC\u00DFe\r\n[Form1]\r\nLabel1=V\u00EDtejte, "
          L"Gr\u00FC\u00DFe!\r\nButton4=Schlie\u00DFen\r\n",
          true));
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Corvane");

  const Language* previous = nullptr;
  for (const Language& language : languages) {
    SCOPED_TRACE(::testing::PrintToString(language.file));
    WizardSession wizard;
    ASSERT_TRUE(wizard.Start(folder));
    if (previous != nullptr) {
      SCOPED_TRACE("started in the stored " + ::testing::PrintToString(previous->file));
      ExpectFirstPageCaptions(wizard, previous->text);
    }
    ASSERT_TRUE(Choose(wizard, language));
    EXPECT_TRUE(wizard.NoBox());
    EXPECT_GE(ExpectFirstPageCaptions(wizard, language.text), 2);
    if (code_page == 1252 && language.file == L"Romana") wizard.Screenshot(L"Romana_cp1252");
    wizard.Close();
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kSettingsKey, L"Language"), language.file);
    previous = &language;
  }
}

INSTANTIATE_TEST_SUITE_P(CodePages, LanguageCodePageTest, ::testing::Values(1250u, 1252u),
                         [](const auto& info) { return "cp" + std::to_string(info.param); });

}  // namespace
}  // namespace mailstow::e2e
