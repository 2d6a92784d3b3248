#include "engine/reg_text_format.h"

#include <gtest/gtest.h>

namespace mailstow {
namespace {

// A single-byte code page in miniature: only the first 256 characters fit.
bool FitsLatin1(std::wstring_view text) {
  for (const wchar_t c : text) {
    if (static_cast<uint32_t>(c) > 0xFF) return false;
  }
  return true;
}

std::wstring Line(const RegistryValue& value) { return ValueLine(value, FitsLatin1).value(); }

RegistryValue Typed(std::wstring name, uint32_t type, std::vector<uint8_t> data) {
  return RegistryValue{std::move(name), type, std::move(data)};
}

TEST(RegTextFormatTest, DataThatCannotStandBetweenQuotesIsWrittenAsTypedBytes) {
  // Expandable strings keep their type.
  EXPECT_EQ(Line(Typed(L"E", kTypeExpandString, Utf16LeBytes(L"%A%", true))),
            L"\"E\"=hex(2):25,00,41,00,25,00,00,00");
  // A line break would split the line and let the rest be read as a key line.
  EXPECT_EQ(Line(StringValue(L"S", L"a\r\n[x]")),
            L"\"S\"=hex(1):61,00,0D,00,0A,00,5B,00,78,00,5D,00,00,00");
  // Embedded NUL, missing terminator, odd length: the exact bytes are kept.
  EXPECT_EQ(Line(Typed(L"S", kTypeString, {0x61, 0, 0, 0, 0x62, 0, 0, 0})),
            L"\"S\"=hex(1):61,00,00,00,62,00,00,00");
  EXPECT_EQ(Line(Typed(L"S", kTypeString, {0x61, 0})), L"\"S\"=hex(1):61,00");
  // Characters the code page lacks are not replaced by look-alikes.
  EXPECT_EQ(Line(StringValue(L"S", L"\u0416")), L"\"S\"=hex(1):16,04,00,00");
  EXPECT_EQ(Line(StringValue(L"S", L"\u00e9")), L"\"S\"=\"\u00e9\"");
  // Numbers of the wrong size and other types.
  EXPECT_EQ(Line(Typed(L"D", kTypeDword, {1, 2})), L"\"D\"=hex(4):01,02");
  EXPECT_EQ(Line(Typed(L"Q", 11, {1, 0, 0, 0, 0, 0, 0, 0})),
            L"\"Q\"=hex(b):01,00,00,00,00,00,00,00");
  EXPECT_EQ(Line(Typed(L"X", 0x12345678, {0xAB})), L"\"X\"=hex(12345678):AB");
}

TEST(RegTextFormatTest, NamesThatWouldReadBackDifferentlyAreRefused) {
  EXPECT_FALSE(ValueLine(StringValue(L"a\"=b", L"x"), FitsLatin1));
  EXPECT_FALSE(ValueLine(StringValue(L"a\nb", L"x"), FitsLatin1));
  EXPECT_FALSE(ValueLine(StringValue(L"\u0416", L"x"), FitsLatin1));
  // A quote or an equals sign alone is unambiguous.
  EXPECT_EQ(Line(StringValue(L"a=b", L"x")), L"\"a=b\"=\"x\"");
  EXPECT_EQ(Line(StringValue(L"say \"hi\"", L"x")), L"\"say \"hi\"\"=\"x\"");
}

TEST(RegTextFormatTest, KeyLinesNameTheRootAndThePath) {
  EXPECT_EQ(KeyLine(TRootKeys::rkHKEY_LOCAL_MACHINE, L"\\SOFTWARE\\X"),
            L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]");
  EXPECT_EQ(KeyLine(TRootKeys::rkNONE, L"A"), L"[HKEY_CURRENT_USER\\A]");
  EXPECT_EQ(KeyLine(TRootKeys::rkHKEY_USERS, L""), L"[HKEY_USERS\\]");
  EXPECT_TRUE(KeyPathWritable(L"Software\\caf\u00e9 ]x", FitsLatin1));
  EXPECT_FALSE(KeyPathWritable(L"Software\\a\nb", FitsLatin1));
  EXPECT_FALSE(KeyPathWritable(L"Software\\\u0416", FitsLatin1));
}

TEST(RegTextFormatTest, RootNamesMapBothWays) {
  for (auto root : {TRootKeys::rkHKEY_CLASSES_ROOT, TRootKeys::rkHKEY_CURRENT_USER,
                    TRootKeys::rkHKEY_LOCAL_MACHINE, TRootKeys::rkHKEY_USERS,
                    TRootKeys::rkHKEY_CURRENT_CONFIG, TRootKeys::rkHKEY_DYN_DATA}) {
    EXPECT_EQ(RootKeyFromName(RootKeyName(root)), root);
  }
  EXPECT_EQ(RootKeyFromName(L"hkey_local_machine"), TRootKeys::rkHKEY_LOCAL_MACHINE);
  EXPECT_EQ(RootKeyFromName(L"HKCU"), std::nullopt);
  EXPECT_EQ(RootKeyName(TRootKeys::rkNONE), L"HKEY_CURRENT_USER");
}

TEST(RegTextFormatTest, Utf16BytesRoundTripIncludingSurrogatePairs) {
  const std::wstring text = L"a\u00e9\u0416\U0001F600z";
  const auto bytes = Utf16LeBytes(text, true);
  ASSERT_EQ(bytes.size(), 14u);  // Six code units and the terminator.
  EXPECT_EQ(bytes[6], 0x3D);     // High surrogate D83D.
  EXPECT_EQ(bytes[7], 0xD8);
  EXPECT_EQ(TextFromUtf16Le({bytes.begin(), bytes.end() - 2}), text);
  EXPECT_EQ(TextFromUtf16Le({0x61, 0x00, 0x62}), L"a");  // Odd last byte ignored.
}

}  // namespace
}  // namespace mailstow
