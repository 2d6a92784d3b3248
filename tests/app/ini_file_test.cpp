// The INI reader against the system's own profile functions, on files with the awkward
// corners of the format.
#include "base/ini_file.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/app/language_test_support.h"

namespace mailstow {
namespace {

std::vector<std::wstring> SplitNulList(const wchar_t* list) {
  std::vector<std::wstring> names;
  for (const wchar_t* p = list; *p != 0; p += names.back().size() + 1) names.emplace_back(p);
  return names;
}

std::vector<std::wstring> SystemSectionNames(const std::wstring& file) {
  std::vector<wchar_t> buffer(8192);
  GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
  return SplitNulList(buffer.data());
}

std::vector<std::wstring> SystemKeyNames(const std::wstring& file, const std::wstring& section) {
  std::vector<wchar_t> buffer(8192);
  GetPrivateProfileStringW(section.c_str(), nullptr, L"", buffer.data(),
                           static_cast<DWORD>(buffer.size()), file.c_str());
  return SplitNulList(buffer.data());
}

std::wstring SystemString(const std::wstring& file, const std::wstring& section,
                          const std::wstring& key) {
  std::vector<wchar_t> buffer(8192);
  GetPrivateProfileStringW(section.c_str(), key.c_str(), L"DEFAULT", buffer.data(),
                           static_cast<DWORD>(buffer.size()), file.c_str());
  return buffer.data();
}

// Every section and key name either reader knows, plus names that only a wrong reader
// would find, are looked up by both.
void ExpectSameAsSystem(const std::string& bytes) {
  TempFolder folder;
  const std::wstring file = folder.Write(L"case.ini", bytes);
  const std::optional<IniText> ours = LoadIniFile(file);
  ASSERT_TRUE(ours);
  EXPECT_EQ(ours->SectionNames(), SystemSectionNames(file));

  std::set<std::wstring> sections = {L"", L"Missing", L"s", L"T", L"[T"};
  std::set<std::wstring> keys = {L"Orphan", L"NoValue", L";Comment", L"[T", L"Missing", L""};
  for (const std::wstring& section : SystemSectionNames(file)) sections.insert(section);
  for (const std::wstring& section : sections) {
    EXPECT_EQ(ours->KeyNames(section), SystemKeyNames(file, section)) << section;
    for (const std::wstring& key : ours->KeyNames(section)) keys.insert(key);
  }
  for (const std::wstring& section : sections) {
    for (const std::wstring& key : keys) {
      EXPECT_EQ(ours->ReadString(section, key, L"DEFAULT"), SystemString(file, section, key))
          << "[" << section << "] " << key;
    }
  }
}

TEST(IniFileTest, ReadsLikeTheSystemReader) {
  ExpectSameAsSystem(
      "Orphan=1\r\n[S]\r\nNoValue\r\n;Comment=2\r\nBlank=\r\n[T\r\nAfter=3\r\n"
      "  key  =  'single'  \r\n=NoName\r\n");
  ExpectSameAsSystem("[One]\rA=1\r[Two]\rB=2\r");
  ExpectSameAsSystem("\xEF\xBB\xBF[L]\nN=\xC3\xB1");
  ExpectSameAsSystem(std::string("\xFF\xFE[\0L\0]\0\n\0N\0=\0\xF1\0\x19\x20", 18));
  ExpectSameAsSystem("[A]\r\nK=1\r\nk=2\r\n[B]\r\n[a]\r\nK=3\r\nL=4\r\n");
  ExpectSameAsSystem("[One]x\r\nA=1\r\n[Two]]\r\nB=2\r\n\r\n\t[ Three ] \r\nC=3\r\n[]\r\nD=4");
  ExpectSameAsSystem(
      "[S]\nDouble=\"\"quoted\"\"\nMixed=\"x'\nLone=\"\nEmpty=\"\"\nInner=a\"b\"\n"
      "Sep=\"One\"#13#10\"Two\"#13#10\"\"\n");
  ExpectSameAsSystem("[Language]\r\nLanguage=Espa\xF1ol\r\n[Messages]\r\nMessage9=doesn\x92t\r\n");
}

TEST(IniFileTest, DecodesTheAnsiCodePageAndTellsUnreadableFiles) {
  TempFolder folder;
  const std::string ansi = "[L]\r\nName=Espa\xF1ol doesn\x92t\r\n";
  const std::optional<IniText> from_ansi = LoadIniFile(folder.Write(L"a.lng", ansi));
  ASSERT_TRUE(from_ansi);
  EXPECT_EQ(from_ansi->ReadString(L"L", L"Name", L""), L"Español doesn\u2019t");

  EXPECT_FALSE(LoadIniFile(folder.path() + L"missing.lng"));
  EXPECT_FALSE(LoadIniFile(folder.path()));  // a folder is no file
}

TEST(IniFileTest, CreatingATextFileNeverReplacesAnExistingOne) {
  TempFolder folder;
  ASSERT_TRUE(CreateAnsiTextFile(folder.path() + L"x.lng", L"doesn\u2019t\r\n"));
  EXPECT_EQ(folder.Read(L"x.lng"), "doesn\x92t\r\n");
  EXPECT_FALSE(CreateAnsiTextFile(folder.path() + L"x.lng", L"other"));
  EXPECT_EQ(folder.Read(L"x.lng"), "doesn\x92t\r\n");
}

}  // namespace
}  // namespace mailstow
