#include "auto/passwd.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>

namespace mailstow {
namespace {

std::string RandomPassword(std::mt19937& random, std::size_t length) {
  std::uniform_int_distribution<int> byte(1, 255);
  std::string password(length, '\0');
  for (char& c : password) c = static_cast<char>(byte(random));
  return password;
}

// The filler count P of a text, from its size: 2 * (L + P + 4) characters.
int FillerCount(const std::string& text, std::size_t length) {
  return static_cast<int>(text.size() / 2 - length - 4);
}

TEST(PasswdTest, SavingTheSamePasswordTwiceGivesDifferentTextsThatBothReadBack) {
  const std::string first = ScramblePassword("Secret1");
  const std::string second = ScramblePassword("Secret1");
  EXPECT_NE(first, second);
  EXPECT_EQ(UnscramblePassword(first).password, "Secret1");
  EXPECT_EQ(UnscramblePassword(second).password, "Secret1");
}

TEST(PasswdTest, EveryLengthUpToTheLengthByteReadsBackWithTheLayoutsSize) {
  std::mt19937 random(20240611);
  for (std::size_t length = 1; length <= 255; ++length) {
    const std::string password = RandomPassword(random, length);
    const std::string text = ScramblePassword(password);
    SCOPED_TRACE(length);
    for (const char c : text) {
      ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')) << text;
    }
    ASSERT_EQ(text.size() % 2, 0u);
    const int base = static_cast<unsigned char>(password.front()) % 30;
    const int filler = FillerCount(text, length);
    EXPECT_GE(filler, base);
    EXPECT_LE(filler, base + 3);
    const UnscrambledPassword back = UnscramblePassword(text);
    EXPECT_FALSE(back.malformed);
    EXPECT_EQ(back.password, password);
  }
}

TEST(PasswdTest, PasswordsBeyondTheLengthByteReadBackTooWithTheLowByteStored) {
  std::mt19937 random(7);
  for (const std::size_t length : {256u, 300u, 511u, 1000u}) {
    const std::string password = RandomPassword(random, length);
    const UnscrambledPassword back = UnscramblePassword(ScramblePassword(password));
    EXPECT_FALSE(back.malformed) << length;
    EXPECT_EQ(back.password, password) << length;
  }
}

TEST(PasswdTest, TextsWrittenByHandAfterTheLayoutReadBack) {
  // "Zx", key 250 (wrapping past 255 after the first byte), one filler byte 0x11, mask 200.
  EXPECT_EQ(UnscramblePassword("CD1C46C2D9C9C8").password, "Zx");
  EXPECT_EQ(UnscramblePassword("cd1c46c2d9c9c8").password, "Zx");
  // "A" with key 0, no filler, mask 0.
  EXPECT_EQ(UnscramblePassword("0341000000").password, "A");
}

TEST(PasswdTest, EmptyPasswordAndEmptyTextMapToEachOther) {
  EXPECT_EQ(ScramblePassword(""), "");
  const UnscrambledPassword back = UnscramblePassword("");
  EXPECT_EQ(back.password, "");
  EXPECT_FALSE(back.malformed);
}

TEST(PasswdTest, MalformedTextsReadBackAsEmptyAndAreFlagged) {
  const std::string valid = ScramblePassword("mailbox");
  std::string wrong_count = valid;
  wrong_count[1] = wrong_count[1] == '0' ? '1' : '0';  // count byte no longer fits the size
  const std::string cases[] = {
      valid.substr(1),   // odd length
      "CD1C46C2D9C9CG",  // not a hex digit
      "CD1C 6C2D9C9C8",  // a space inside
      "C8",              // shorter than the smallest layout
      "000000",          // shorter than the smallest layout
      "0000FF00",        // filler count larger than the text
      wrong_count,
      "CD1C46C2D9C9C800",  // one byte too many
  };
  for (const std::string& text : cases) {
    const UnscrambledPassword back = UnscramblePassword(text);
    EXPECT_TRUE(back.malformed) << text;
    EXPECT_EQ(back.password, "") << text;
  }
}

}  // namespace
}  // namespace mailstow
