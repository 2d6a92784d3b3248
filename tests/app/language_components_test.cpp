// The language list, the start-up choice and the two language components on real files.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/language_file_access.h"
#include "app/language_list.h"
#include "app/lng_ini_supp.h"
#include "app/msg_ini_supp.h"
#include "tests/app/language_test_support.h"

namespace mailstow {
namespace {

std::string ReadSourceFile(const std::string& relative_path) {
  std::ifstream in(std::string(MAILSTOW_SOURCE_DIR) + "/" + relative_path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Forms with a fixed set of components, keyed "Form/Component", holding their captions.
class Forms : public CaptionTarget {
 public:
  bool SetComponentText(const std::wstring& form, const std::wstring& component,
                        const std::wstring& text) override {
    const auto it = captions.find(form + L"/" + component);
    if (it == captions.end()) return false;
    it->second = text;
    return true;
  }
  std::map<std::wstring, std::wstring> captions = {
      {L"Form1/Button3", L"Next >"}, {L"Form1/Label1", L"Welcome"}, {L"Form2/Button1", L"OK"}};
};

const std::wstring kRussian = L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439";

const std::string kGerman =
    "[Language]\r\nLanguage=German\r\n\r\n[Messages]\r\nMessage2=\"Falsches Passwort!\"\r\n"
    "Message4=Erste Zeile\"#13#10\"Zweite Zeile\"#13#10\"\r\n\r\n"
    "[Form1]\r\nButton3=Weiter >\r\nbutton3=klein\r\n[form1]\r\nLabel1=falsch\r\n"
    "[Form2]\r\nButton1=\"Ja\"\r\nUnknown=1\r\n";

// UTF-16LE bytes with a byte-order mark.
std::string Utf16File(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

TEST(LanguageFileTextTest, DecodesEveryByteOrderMarkAndFallsBackToTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 1252u);  // the ANSI cases below are Windows-1252
  struct Case {
    const char* what;
    std::string bytes;
    std::wstring text;
  };
  const Case cases[] = {
      {"UTF-8 with mark", "\xEF\xBB\xBFN=fi\xC5\x9Fier \xE2\x80\x99", L"N=fi\u015Fier \u2019"},
      {"UTF-16LE with mark", Utf16File(L"N=fi\u015Fier \u0416"), L"N=fi\u015Fier \u0416"},
      {"UTF-16BE with mark", std::string("\xFE\xFF\0N\0=\x01\x5F\x04\x16", 10), L"N=\u015F\u0416"},
      {"ANSI", "N=Espa\xF1ol doesn\x92t", L"N=Espa\u00F1ol doesn\u2019t"},
      {"UTF-8 without mark", "N=Espa\xC3\xB1ol", L"N=Espa\u00F1ol"},
      {"ANSI that starts like UTF-8", "N=\xC3\xB1\xF1", L"N=\u00C3\u00B1\u00F1"},
      {"ASCII", "N=x\r\n", L"N=x\r\n"},
      {"malformed UTF-8 after mark", "\xEF\xBB\xBFN=a\xC3(b", L"N=a\uFFFD(b"},
      {"odd UTF-16 length", std::string("\xFF\xFEN\0=\0x", 7), L"N="},
      {"mark only", "\xEF\xBB\xBF", L""},
      {"empty", "", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeLanguageFileText(c.bytes), c.text) << c.what;
  }
}

TEST(LanguageListTest, WritesTheBuiltInEnglishWhenNoLanguageFileExists) {
  TempFolder folder;
  const LanguageChoice choice = ChooseStartupLanguage(folder.path(), L"German");
  EXPECT_EQ(choice.language, L"English");
  EXPECT_EQ(choice.file_name, folder.path() + L"English.lng");
  EXPECT_EQ(choice.languages, (std::vector<LanguageEntry>{{L"English", L"English"}}));
  EXPECT_EQ(choice.selected, 0);
  const std::string expected = ReadSourceFile("tests/app/data/English.expected.lng");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(folder.Read(L"English.lng"), expected);
}

TEST(LanguageListTest, ListsEveryFileUnderItsLanguageValueByItsOwnNameAndKeepsAnExistingEnglish) {
  TempFolder folder;
  const std::string english = "[Language]\r\nLanguage=English\r\n; edited by the user\r\n";
  folder.Write(L"English.lng", english);
  SetFileAttributesW(folder.Write(L"German.lng", kGerman).c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(folder.Write(L"Espa\u00F1ol.lng", "[Language]\nLanguage=Espa\xF1ol\n").c_str(),
                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  folder.Write(L"Deutsch.lng", "[Language]\r\nLanguage=Deutsch (Schweiz)\r\n");
  folder.Write(L"Broken.lng", "[Messages]\r\nLanguage=German\r\n");
  // A name and a value that the ANSI code page has no characters for.
  folder.Write(kRussian + L".lng", Utf16File(L"[Language]\r\nLanguage=" + kRussian + L"\r\n"));
  folder.Write(L"Readme.txt", "[Language]\r\nLanguage=Text\r\n");
  CreateDirectoryW((folder.path() + L"Folder.lng").c_str(), nullptr);

  const std::vector<LanguageEntry> listed = ListLanguages(folder.path());
  std::multiset<std::pair<std::wstring, std::wstring>> languages;
  for (const LanguageEntry& entry : listed) languages.insert({entry.name, entry.file});
  EXPECT_EQ(languages, (std::multiset<std::pair<std::wstring, std::wstring>>{
                           {L"English", L"English"},
                           {L"German", L"German"},
                           {L"Espa\u00F1ol", L"Espa\u00F1ol"},
                           {L"Deutsch (Schweiz)", L"Deutsch"},
                           {L"ERROR", L"Broken"},
                           {kRussian, kRussian}}));

  // A stored language whose file exists is kept as stored; the list entry is found
  // ignoring case.
  LanguageChoice choice = ChooseStartupLanguage(folder.path(), L"german");
  EXPECT_EQ(choice.language, L"german");
  EXPECT_EQ(choice.file_name, folder.path() + L"german.lng");
  ASSERT_GE(choice.selected, 0);
  EXPECT_EQ(choice.languages[choice.selected].name, L"German");

  // A language stored by its file's name is found whatever the list shows.
  for (const std::wstring& stored : {std::wstring(L"Deutsch"), kRussian}) {
    choice = ChooseStartupLanguage(folder.path(), stored);
    EXPECT_EQ(choice.language, stored);
    EXPECT_EQ(choice.file_name, folder.path() + stored + L".lng");
    ASSERT_GE(choice.selected, 0);
    EXPECT_EQ(choice.languages[choice.selected].file, stored);
  }

  // A missing one falls back to the existing English file, which stays as it is.
  choice = ChooseStartupLanguage(folder.path(), L"Italiano");
  EXPECT_EQ(choice.language, L"English");
  EXPECT_EQ(choice.languages[choice.selected].name, L"English");
  EXPECT_EQ(folder.Read(L"English.lng"), english);
}

TEST(LngINISuppTest, AppliesCaptionsByExactFormAndComponentName) {
  TempFolder folder;
  RecordingPrompts prompts;
  LngINISupp captions(prompts);
  captions.set_file_name(folder.Write(L"German.lng", kGerman));
  Forms forms;
  EXPECT_EQ(captions.Apply(forms), LanguageFileState::kRead);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(forms.captions[L"Form1/Button3"], L"Weiter >");
  EXPECT_EQ(forms.captions[L"Form1/Label1"], L"Welcome");  // only [form1] has it
  EXPECT_EQ(forms.captions[L"Form2/Button1"], L"Ja");
  EXPECT_EQ(forms.captions.size(), 3u);

  // A user's own file in UTF-16 with letters beyond the ANSI code page.
  captions.set_file_name(
      folder.Write(L"Own.lng", Utf16File(L"[Form1]\r\nButton3=" + kRussian + L" >\r\n")));
  EXPECT_EQ(captions.Apply(forms), LanguageFileState::kRead);
  EXPECT_EQ(forms.captions[L"Form1/Button3"], kRussian + L" >");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(LngINISuppTest, NoFileNameStopsAndAnUnreadableFileWarnsWithoutChangingCaptions) {
  TempFolder folder;
  RecordingPrompts prompts;
  LngINISupp captions(prompts);
  Forms forms;
  const Forms before = forms;
  EXPECT_EQ(captions.Apply(forms), LanguageFileState::kNoFileName);
  captions.set_file_name(folder.path() + L"Missing.lng");
  EXPECT_EQ(captions.Apply(forms), LanguageFileState::kUnreadable);
  EXPECT_EQ(forms.captions, before.captions);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0].text, L"ERROR!!!\r\nFile not preset!");
  EXPECT_EQ(prompts.shown[1].text,
            L"WARNING!!!\r\n Language File Not Found! Its now creating a new!");
  for (const RecordedPrompt& prompt : prompts.shown) {
    EXPECT_EQ(prompt.kind, PromptKind::kPlain);
    EXPECT_EQ(prompt.buttons, PromptButtons::kOk);
  }
  EXPECT_EQ(GetFileAttributesW((folder.path() + L"Missing.lng").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(MsgINISuppTest, LooksUpAndDecodesMessagesFromTheLinkedOrOwnFile) {
  TempFolder folder;
  RecordingPrompts prompts;
  LngINISupp captions(prompts);
  MsgINISupp messages(prompts, &captions);
  captions.set_file_name(folder.Write(L"German.lng", kGerman));
  EXPECT_EQ(messages.GetMessageText(L"message2"), L"Falsches Passwort!");
  EXPECT_EQ(messages.GetMessageText(L"Message4"), L"Erste Zeile\r\nZweite Zeile\r\n");
  EXPECT_EQ(messages.GetMessageText(L"Message37"), L"ERROR");
  EXPECT_TRUE(messages.loaded());

  messages.set_file_name(folder.Write(L"Other.lng", "[Messages]\r\nMessage2=Anders\r\n"));
  EXPECT_EQ(messages.GetMessageText(L"Message2"), L"Anders");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(MsgINISuppTest, UnreadableFileWarnsOnceAndClearedNameStopsEveryLookup) {
  TempFolder folder;
  RecordingPrompts prompts;
  MsgINISupp messages(prompts);
  messages.set_file_name(folder.path() + L"Missing.lng");
  EXPECT_EQ(messages.GetMessageText(L"Message2"), L"ERROR");
  EXPECT_EQ(messages.GetMessageText(L"Message3"), L"ERROR");
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, kUnreadableFileMessage);

  messages.Clear();
  EXPECT_FALSE(messages.loaded());
  EXPECT_EQ(messages.GetMessageText(L"Message2"), std::nullopt);
  EXPECT_EQ(messages.GetMessageText(L"Message2"), std::nullopt);
  ASSERT_EQ(prompts.shown.size(), 3u);
  EXPECT_EQ(prompts.shown[2].text, kNoFileNameMessage);
  EXPECT_FALSE(messages.loaded());
}

}  // namespace
}  // namespace mailstow
