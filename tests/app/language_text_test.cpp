// The built-in English text and the shipped English.lng, checked against files kept in
// the source tree.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "app/english_language.h"
#include "base/ini_text.h"
#include "app/language_files.h"
#include "base/text_case.h"

namespace mailstow {
namespace {

// Reads a Windows-1252 file that uses no character above 0x7F but the apostrophe 0x92 and
// the ellipsis 0x85.
std::wstring ReadWindows1252(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::wstring text;
  for (auto it = std::istreambuf_iterator<char>(in); it != std::istreambuf_iterator<char>(); ++it) {
    const auto byte = static_cast<unsigned char>(*it);
    EXPECT_TRUE(byte < 0x80 || byte == 0x92 || byte == 0x85) << "byte " << int{byte};
    text.push_back(byte == 0x92   ? L'\u2019'
                   : byte == 0x85 ? L'\u2026'
                                  : static_cast<wchar_t>(byte));
  }
  return text;
}

const std::string kSourceDir = MAILSTOW_SOURCE_DIR;

TEST(LanguageTextTest, BuiltInEnglishMatchesTheExpectedFileCharacterForCharacter) {
  const std::wstring expected =
      ReadWindows1252(kSourceDir + "/tests/app/data/English.expected.lng");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(BuiltInEnglishText(), expected);
}

TEST(LanguageTextTest, ShippedEnglishIsTheBuiltInTextPlusTheCompletionPageMessages) {
  const IniText shipped = IniText::Parse(ReadWindows1252(kSourceDir + "/dist/English.lng"));
  const IniText built_in = IniText::Parse(BuiltInEnglishText());
  ASSERT_EQ(shipped.SectionNames(), built_in.SectionNames());
  for (const std::wstring& section : built_in.SectionNames()) {
    for (const std::wstring& key : built_in.KeyNames(section)) {
      EXPECT_EQ(shipped.ReadString(section, key, kMissingText),
                built_in.ReadString(section, key, kMissingText));
    }
  }
  for (int number = 37; number <= 42; ++number) {
    const std::wstring key = L"Message" + std::to_wstring(number);
    EXPECT_EQ(built_in.ReadString(L"Messages", key, kMissingText), kMissingText);
    const std::wstring text = shipped.ReadString(L"Messages", key, kMissingText);
    EXPECT_NE(text, kMissingText);
    EXPECT_EQ(text.find(L'"'), std::wstring::npos) << "would be split into lines";
  }
}

TEST(LanguageTextTest, LanguageNamesMatchIgnoringCaseBeyondAscii) {
  EXPECT_TRUE(EqualsIgnoreCase(L"ESPAÑOL", L"español"));
  EXPECT_TRUE(EqualsIgnoreCase(L"ROMÂNA ŞĂ", L"româna şă"));
  EXPECT_TRUE(EqualsIgnoreCase(L"ŹŸĽ ΕΛΛΗΝΙΚΆ РУССКИЙ Ё", L"źÿľ ελληνικά русский ё"));
  EXPECT_FALSE(EqualsIgnoreCase(L"\u00D7", L"\u00F7"));  // multiplication and division signs
  EXPECT_FALSE(EqualsIgnoreCase(L"English", L"Englis"));

  const std::vector<std::wstring> list = {L"German", L"ERROR", L"german", L"Español"};
  EXPECT_EQ(LastIndexOfLanguage(list, L"GERMAN"), 2);
  EXPECT_EQ(LastIndexOfLanguage(list, L"ESPAÑOL"), 3);
  EXPECT_EQ(LastIndexOfLanguage(list, L"French"), -1);
}

TEST(LanguageTextTest, OnlyTheLngExtensionMakesALanguageFile) {
  EXPECT_TRUE(HasLanguageFileExtension(L"German.LNG"));
  EXPECT_TRUE(HasLanguageFileExtension(L".lng"));
  EXPECT_FALSE(HasLanguageFileExtension(L"German.lngold"));
  EXPECT_FALSE(HasLanguageFileExtension(L"lng"));
  EXPECT_EQ(LanguageFileName(L"C:\\Mailstow\\", L"German"), L"C:\\Mailstow\\German.lng");
}

}  // namespace
}  // namespace mailstow
