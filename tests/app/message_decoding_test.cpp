#include "app/message_decoding.h"

#include <gtest/gtest.h>

#include "base/ini_text.h"

namespace mailstow {
namespace {

std::wstring DecodedFromFile(const std::wstring& line) {
  return DecodeMessageValue(
      IniText::Parse(L"[Messages]\r\n" + line).ReadString(L"Messages", L"Message1", L"ERROR"));
}

TEST(MessageDecodingTest, ValuesWithoutQuotesAreReturnedAsTheyAre) {
  EXPECT_EQ(DecodedFromFile(L"Message1=Abc"), L"Abc");
  EXPECT_EQ(DecodedFromFile(L"Message1=\"Abc\""), L"Abc");
  EXPECT_EQ(DecodeMessageValue(L""), L"");
}

TEST(MessageDecodingTest, EveryLineEndsWithCrLfWithOrWithoutEnclosingQuotes) {
  const std::wstring expected = L"First line\r\nSecond line\r\n";
  EXPECT_EQ(DecodedFromFile(L"Message1=First line\"#13#10\"Second line\"#13#10\""), expected);
  EXPECT_EQ(DecodedFromFile(L"Message1=\"First line\"#13#10\"Second line\"#13#10\"\""), expected);
  // Any seven characters after the quote are skipped; empty lines stay.
  EXPECT_EQ(DecodeMessageValue(L"A\"1234567\"1234567B\"xxxxxxx"), L"A\r\n\r\nB\r\n");
}

TEST(MessageDecodingTest, TextAfterTheLastSeparatorIsKeptAndShortTailsAreSafe) {
  EXPECT_EQ(DecodeMessageValue(L"One\"#13#10\"Two"), L"One\r\nTwo");
  EXPECT_EQ(DecodeMessageValue(L"One\""), L"One\r\n");
  EXPECT_EQ(DecodeMessageValue(L"One\"#1"), L"One\r\n");
  EXPECT_EQ(DecodeMessageValue(L"\""), L"\r\n");
}

}  // namespace
}  // namespace mailstow
