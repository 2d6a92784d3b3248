#include "engine/reg_text_parser.h"

#include <gtest/gtest.h>

#include "engine/reg_text_format.h"

namespace mailstow {
namespace {

bool FitsAll(std::wstring_view) { return true; }

RegistryValue Typed(std::wstring name, uint32_t type, std::vector<uint8_t> data) {
  return RegistryValue{std::move(name), type, std::move(data)};
}

bool AnyRefusalContains(const RegImportPlan& plan, std::wstring_view part) {
  for (const auto& message : plan.refused) {
    if (message.find(part) != message.npos) return true;
  }
  return false;
}

TEST(RegTextParserTest, WrittenValuesReadBackUnchanged) {
  const std::vector<RegistryValue> values = {
      StringValue(L"", L"default"),
      StringValue(L"Path", L"C:\\Mail\\"),
      StringValue(L"Quoted", L"say \"hi\" \"=\" and \""),
      StringValue(L"a=b", L"x=y"),
      StringValue(L"ends\"", L""),
      StringValue(L" padded ", L"  both sides  "),
      StringValue(L"Broken", L"one\r\n[HKEY_CURRENT_USER\\Run]\r\n\"x\"=\"y\""),
      Typed(L"Expand", kTypeExpandString, Utf16LeBytes(L"%USERPROFILE%\\x", true)),
      DwordValue(L"Zero", 0),
      DwordValue(L"Max", 0xFFFFFFFF),
      Typed(L"Bytes", kTypeBinary, {0, 1, 0xFE, 0xFF}),
      Typed(L"NoBytes", kTypeBinary, {}),
      Typed(L"Multi", kTypeMultiString, Utf16LeBytes(std::wstring(L"a\0b\0", 4), true)),
      Typed(L"Odd", kTypeString, {0x41}),
      Typed(L"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}),
  };
  std::vector<std::wstring> lines{std::wstring(kRegHeader), L"",
                                  KeyLine(TRootKeys::rkHKEY_CURRENT_USER, L"Software\\T")};
  for (const auto& value : values) lines.push_back(ValueLine(value, FitsAll).value());

  const RegImportPlan plan = ParseRegText(JoinLines(lines), nullptr);
  EXPECT_TRUE(plan.refused.empty());
  ASSERT_EQ(plan.keys.size(), 1u);
  EXPECT_EQ(plan.keys[0].root, TRootKeys::rkHKEY_CURRENT_USER);
  EXPECT_EQ(plan.keys[0].key_path, L"Software\\T");
  EXPECT_EQ(plan.keys[0].line_number, 3u);
  EXPECT_EQ(plan.keys[0].values, values);
}

TEST(RegTextParserTest, OlderDumpFormsReadAsStrings) {
  const RegImportPlan plan = ParseRegText(
      L"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n"
      L"\"WasEmptyBinary\"=\r\n"
      L"\"Unquoted\"=plain \"text\"\r\n"
      L"\"Foreign\"=qword:0000000000000001\r\n",
      nullptr);
  EXPECT_TRUE(plan.refused.empty());
  ASSERT_EQ(plan.keys.size(), 1u);
  EXPECT_EQ(plan.keys[0].root, TRootKeys::rkHKEY_LOCAL_MACHINE);
  EXPECT_EQ(plan.keys[0].values,
            (std::vector<RegistryValue>{StringValue(L"WasEmptyBinary", L""),
                                        StringValue(L"Unquoted", L"plain text"),
                                        StringValue(L"Foreign", L"qword:0000000000000001")}));
}

TEST(RegTextParserTest, KeyLinesAreReadAfterLeadingBlanksAndNormalised) {
  const RegImportPlan plan = ParseRegText(
      L"  REGEDIT4\n\t [HKEY_USERS\\\\a\\\\\\b\\]  \n   \"N\"=dword:00000001 \n ; note\n"
      L"[hkey_current_user]\n[HKEY_CURRENT_USER\\x]y]\n",
      nullptr);
  EXPECT_TRUE(plan.refused.empty());
  ASSERT_EQ(plan.keys.size(), 3u);
  EXPECT_EQ(plan.keys[0].root, TRootKeys::rkHKEY_USERS);
  EXPECT_EQ(plan.keys[0].key_path, L"a\\b");
  EXPECT_EQ(plan.keys[0].values, std::vector<RegistryValue>{DwordValue(L"N", 1)});
  EXPECT_EQ(plan.keys[1].key_path, L"");
  EXPECT_EQ(plan.keys[2].key_path, L"x]y");
}

TEST(RegTextParserTest, UnreadableValueLinesAreRefusedAloneAndTheRestIsKept) {
  const RegImportPlan plan = ParseRegText(
      L"[HKEY_CURRENT_USER\\K]\n"
      L"\"Before\"=dword:00000010\n"
      L"\"NoDigits\"=dword:\n"
      L"\"NineDigits\"=dword:100000000\n"
      L"\"BadBytes\"=hex:01,0G\n"
      L"\"BadType\"=hex(zz):01\n"
      L"\"NoColon\"=hex(1)01\n"
      L"\"Unclosed\"=\"text\n"
      L"\"Lone\"=\"\n"
      L"no quotes at all\n"
      L"\"NoDelim\" \"x\"\n"
      L"\"OddDigit\"=hex:01,0\n"
      L"\"After\"=\"ok\"\n"
      L"\"Truncat",
      nullptr);
  ASSERT_EQ(plan.keys.size(), 1u);
  EXPECT_EQ(plan.keys[0].values,
            (std::vector<RegistryValue>{DwordValue(L"Before", 16),
                                        Typed(L"OddDigit", kTypeBinary, {0x01}),
                                        StringValue(L"After", L"ok")}));
  EXPECT_EQ(plan.refused.size(), 10u);
  EXPECT_TRUE(AnyRefusalContains(plan, L"Line 3: bad 32-bit hexadecimal number"));
  EXPECT_TRUE(AnyRefusalContains(plan, L"Line 5: bad hexadecimal bytes"));
  EXPECT_TRUE(AnyRefusalContains(plan, L"Line 7: bad typed hexadecimal value"));
  EXPECT_TRUE(AnyRefusalContains(plan, L"Line 8: string without closing quote"));
  EXPECT_TRUE(AnyRefusalContains(plan, L"Line 10: unrecognised line"));
  EXPECT_TRUE(AnyRefusalContains(plan, L"Line 14: value line without"));
}

TEST(RegTextParserTest, OverlongLinesAreRefused) {
  const std::wstring long_text(kMaxRegLineLength, L'A');
  const RegImportPlan plan = ParseRegText(L"[HKEY_CURRENT_USER\\K]\n\"Long\"=\"" + long_text +
                                              L"\"\n\"Short\"=\"s\"\n[HKEY_CURRENT_USER\\" +
                                              long_text + L"]\n\"Lost\"=\"x\"\n",
                                          nullptr);
  ASSERT_EQ(plan.keys.size(), 1u);
  EXPECT_EQ(plan.keys[0].values, std::vector<RegistryValue>{StringValue(L"Short", L"s")});
  ASSERT_EQ(plan.refused.size(), 2u);
  EXPECT_NE(plan.refused[0].find(L"Line 2: line longer than"), std::wstring::npos);
  EXPECT_NE(plan.refused[1].find(L"Line 4: key line longer than"), std::wstring::npos);
  EXPECT_NE(plan.refused[1].find(L"1 value line(s)"), std::wstring::npos);
  EXPECT_LT(plan.refused[1].size(), 400u);
}

TEST(RegTextParserTest, OnlyKeysInsideAllowedBranchesAreKept) {
  const std::vector<RegistryBranch> allowed = {
      {TRootKeys::rkHKEY_CURRENT_USER, L"\\identities\\{A1}"},
      {TRootKeys::rkHKEY_CURRENT_USER, L"Software\\Mail"},
  };
  const std::wstring text =
      L"[HKEY_CURRENT_USER\\Identities\\{a1}\\Software]\n\"In\"=\"1\"\n"
      L"[HKEY_CURRENT_USER\\identities\\{A1}]\n\"Top\"=\"2\"\n"
      L"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      L"\"Planted\"=\"C:\\evil.exe\"\n"
      L"[HKEY_CURRENT_USER\\Software\\Mailbox]\n\"Near\"=\"3\"\n"
      L"[HKEY_LOCAL_MACHINE\\Software\\Mail]\n\"Root\"=\"4\"\n"
      L"[HKEY_CURRENT_USER\\identities]\n\"Parent\"=\"5\"\n"
      L"[HKEY_CURRENT_USER\\\\Software\\\\Mail\\\\Sub]\n\"Slashes\"=\"6\"\n";

  const RegImportPlan filtered = ParseRegText(text, &allowed);
  ASSERT_EQ(filtered.keys.size(), 3u);
  EXPECT_EQ(filtered.keys[0].key_path, L"Identities\\{a1}\\Software");
  EXPECT_EQ(filtered.keys[1].key_path, L"identities\\{A1}");
  EXPECT_EQ(filtered.keys[2].key_path, L"Software\\Mail\\Sub");
  ASSERT_EQ(filtered.refused.size(), 4u);
  EXPECT_NE(filtered.refused[0].find(L"CurrentVersion\\Run] lies outside the branches"),
            std::wstring::npos);
  EXPECT_NE(filtered.refused[0].find(L"1 value line(s)"), std::wstring::npos);

  const RegImportPlan unfiltered = ParseRegText(text, nullptr);
  EXPECT_EQ(unfiltered.keys.size(), 7u);
  EXPECT_TRUE(unfiltered.refused.empty());

  const std::vector<RegistryBranch> none;
  EXPECT_TRUE(ParseRegText(text, &none).keys.empty());
}

TEST(RegTextParserTest, LinesSplitAtCrLfCrOrLf) {
  const auto lines = SplitLines(L"a\r\nb\rc\nd\r\n\r\ne");
  EXPECT_EQ(lines, (std::vector<std::wstring_view>{L"a", L"b", L"c", L"d", L"", L"e"}));
  EXPECT_EQ(SplitLines(L"a\r\n"), std::vector<std::wstring_view>{L"a"});
  EXPECT_TRUE(SplitLines(L"").empty());
}

}  // namespace
}  // namespace mailstow
