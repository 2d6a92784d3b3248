#include "app/ini_text.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

TEST(IniTextTest, NamesCompareIgnoringCaseAndBlanksAroundKeysAndValuesAreDropped) {
  const IniText ini = IniText::Parse(L"[Messages]\r\n  message2 =  Wrong password!  \r\n");
  EXPECT_EQ(ini.ReadString(L"MESSAGES", L"Message2", L"ERROR"), L"Wrong password!");
  EXPECT_EQ(ini.KeyNames(L"messages"), std::vector<std::wstring>{L"message2"});
}

TEST(IniTextTest, OnePairOfEnclosingQuotesIsRemoved) {
  const IniText ini = IniText::Parse(
      L"[S]\nDouble=\"\"quoted\"\"\nSingle='x'\nMixed=\"x'\nInner=a\"b\"\nLone=\"\nEmpty=\"\"\n");
  EXPECT_EQ(ini.ReadString(L"S", L"Double", L"-"), L"\"quoted\"");
  EXPECT_EQ(ini.ReadString(L"S", L"Single", L"-"), L"x");
  EXPECT_EQ(ini.ReadString(L"S", L"Mixed", L"-"), L"\"x'");
  EXPECT_EQ(ini.ReadString(L"S", L"Inner", L"-"), L"a\"b\"");
  EXPECT_EQ(ini.ReadString(L"S", L"Lone", L"-"), L"\"");
  EXPECT_EQ(ini.ReadString(L"S", L"Empty", L"-"), L"");
}

TEST(IniTextTest, MissingSectionsKeysAndValuelessLinesYieldTheFallback) {
  const IniText ini = IniText::Parse(L"Orphan=1\n[S]\nNoValue\n;Comment=2\nBlank=\n[T\nAfter=3\n");
  EXPECT_EQ(ini.ReadString(L"S", L"Orphan", L"ERROR"), L"ERROR");
  EXPECT_EQ(ini.ReadString(L"S", L"NoValue", L"ERROR"), L"ERROR");
  EXPECT_EQ(ini.ReadString(L"S", L"Blank", L"ERROR"), L"");
  EXPECT_EQ(ini.ReadString(L"Other", L"Blank", L"ERROR"), L"ERROR");
  // "[T" has no closing bracket: it is a key line of [S], and After stays in [S].
  EXPECT_EQ(ini.ReadString(L"S", L"After", L"ERROR"), L"3");
  EXPECT_EQ(ini.KeyNames(L"S"), (std::vector<std::wstring>{L"Blank", L"After"}));
  EXPECT_EQ(ini.SectionNames(), std::vector<std::wstring>{L"S"});
}

TEST(IniTextTest, RepeatedNamesResolveToTheFirstSectionAndTheFirstKey) {
  const IniText ini = IniText::Parse(L"[A]\nK=1\nk=2\n[B]\n[a]\nK=3\nL=4\n");
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::wstring>{L"A", L"B", L"a"}));
  EXPECT_EQ(ini.ReadString(L"A", L"K", L"-"), L"1");
  EXPECT_EQ(ini.ReadString(L"a", L"L", L"-"), L"-");
  EXPECT_EQ(ini.KeyNames(L"a"), (std::vector<std::wstring>{L"K", L"k"}));
}

TEST(IniTextTest, LineEndsAndSectionHeadersInAllForms) {
  const IniText ini =
      IniText::Parse(L"\x1A[One]x\rA=1\r[Two]]\nB=2\r\n\r\n\t[ Three ] \r\nC=3\x1A");
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::wstring>{L"One", L"Two]", L"Three"}));
  EXPECT_EQ(ini.ReadString(L"One", L"A", L"-"), L"1");
  EXPECT_EQ(ini.ReadString(L"Two]", L"B", L"-"), L"2");
  EXPECT_EQ(ini.ReadString(L"three", L"C", L"-"), L"3");
}

}  // namespace
}  // namespace mailstow
