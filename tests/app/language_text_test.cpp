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

// Reads a file that must be UTF-8 with a byte-order mark; characters beyond U+FFFF and
// malformed sequences fail the test.
std::wstring ReadUtf8WithMark(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << path << " has no UTF-8 byte-order mark";
  std::wstring text;
  for (size_t i = 3; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const size_t length = lead < 0x80             ? 1
                          : (lead & 0xE0) == 0xC0 ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                                                  : 0;
    if (length == 0 || i + length > bytes.size()) {
      ADD_FAILURE() << "not UTF-8 at byte " << i;
      break;
    }
    unsigned code = length == 1 ? lead : lead & (length == 2 ? 0x1Fu : 0x0Fu);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      EXPECT_EQ(next & 0xC0, 0x80) << "byte " << i + k;
      code = code << 6 | (next & 0x3Fu);
    }
    text.push_back(static_cast<wchar_t>(code));
    i += length;
  }
  return text;
}

const std::string kSourceDir = MAILSTOW_SOURCE_DIR;

TEST(LanguageTextTest, BuiltInEnglishMatchesTheExpectedFileCharacterForCharacter) {
  const std::wstring expected =
      ReadUtf8WithMark(kSourceDir + "/tests/app/data/English.expected.lng");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(BuiltInEnglishText(), expected);
}

TEST(LanguageTextTest, ShippedEnglishIsTheBuiltInTextPlusTheCompletionPageMessages) {
  const IniText shipped = IniText::Parse(ReadUtf8WithMark(kSourceDir + "/dist/English.lng"));
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

  const std::vector<LanguageEntry> list = {{L"German", L"German"},
                                           {L"ERROR", L"Broken"},
                                           {L"Deutsch", L"german"},
                                           {L"Español", L"Español"}};
  EXPECT_EQ(LastIndexOfLanguage(list, L"GERMAN"), 2);
  EXPECT_EQ(LastIndexOfLanguage(list, L"ESPAÑOL"), 3);
  EXPECT_EQ(LastIndexOfLanguage(list, L"French"), -1);
  EXPECT_EQ(LastIndexOfLanguage(list, L"Deutsch"), -1);  // entries are chosen by their file
  EXPECT_EQ(LastIndexOfLanguage(list, L"ERROR"), -1);
}

TEST(LanguageTextTest, OnlyTheLngExtensionMakesALanguageFile) {
  EXPECT_TRUE(HasLanguageFileExtension(L"German.LNG"));
  EXPECT_TRUE(HasLanguageFileExtension(L".lng"));
  EXPECT_FALSE(HasLanguageFileExtension(L"German.lngold"));
  EXPECT_FALSE(HasLanguageFileExtension(L"lng"));
  EXPECT_EQ(LanguageFileName(L"C:\\Mailstow\\", L"German"), L"C:\\Mailstow\\German.lng");
  EXPECT_EQ(LanguageOfFileName(L"Espa\u00F1ol.LNG"), L"Espa\u00F1ol");
  EXPECT_EQ(LanguageOfFileName(L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439.lng"),
            L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439");
  EXPECT_EQ(LanguageOfFileName(L".lng"), L"");
}

}  // namespace
}  // namespace mailstow
