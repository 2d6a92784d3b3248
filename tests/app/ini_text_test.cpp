#include "base/ini_text.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

// The other rules of the reader are checked against the system's own reader under Wine.
TEST(IniTextTest, NamesCompareIgnoringCaseAndValuesLoseBlanksAndOnePairOfQuotes) {
  const IniText ini = IniText::Parse(L"[Messages]\r\n  message2 =  \"Wrong password!\"  \r\n");
  EXPECT_EQ(ini.ReadString(L"MESSAGES", L"Message2", L"ERROR"), L"Wrong password!");
  EXPECT_EQ(ini.ReadString(L"Messages", L"Message3", L"ERROR"), L"ERROR");
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
