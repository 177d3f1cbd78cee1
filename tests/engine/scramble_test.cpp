#include "crypto/scramble.h"

#include <gtest/gtest.h>

#include "provider_config.h"

namespace zelquo {
namespace {

TEST(ScrambleTest, EveryShiftRoundTripsTextsOfAllLengthsAndBytes) {
  std::string text;
  for (int length = 0; length <= 20; ++length) {
    for (int shift = 1; shift <= 8; ++shift) {
      const std::string scrambled = ScrambleTextWithShift(text, shift);
      ASSERT_EQ(scrambled.size(), text.size() + 1);
      EXPECT_EQ(UnscrambleText(scrambled), text) << "length " << length << " shift " << shift;
    }
    text.push_back(static_cast<char>(length * 13));  // NUL, high bytes and wrap-around included
  }
  EXPECT_EQ(UnscrambleText(ScrambleText("Secret99")), "Secret99");
}

TEST(ScrambleTest, KnownFormAndSignedShiftByte) {
  EXPECT_EQ(ScrambleTextWithShift("abc", 1), std::string("\x60\x61\x62\x45"));
  EXPECT_EQ(UnscrambleText("\x60\x61\x62\x45"), "abc");
  // A last byte below 0x44 is a negative shift, applied by the same rule: 'C' is -1.
  EXPECT_EQ(UnscrambleText("bcdC"), "abc");
  // A last byte above 0x7F reads as a negative 8-bit number: 0x80 is -128 - 68.
  EXPECT_EQ(UnscrambleText(std::string("\x10\x80", 2)), std::string(1, static_cast<char>(0x10 - 196)));
}

TEST(ScrambleTest, ShortStoredValuesAreAMissingPassword) {
  EXPECT_EQ(UnscrambleText(""), "");
  EXPECT_EQ(UnscrambleText("E"), "");
  EXPECT_EQ(ScrambleText("").size(), 1u);
  EXPECT_EQ(UnscrambleText(ScrambleText("")), "");
}

TEST(ScrambleTest, DrawnShiftIsInRangeAndAlphanumericPasswordsStayPrintable) {
  const std::string password = "Zz09AaQq";
  for (int i = 0; i < 50; ++i) {
    const std::string scrambled = ScrambleText(password);
    const char shift_byte = scrambled.back();
    EXPECT_GE(shift_byte, 'E');
    EXPECT_LE(shift_byte, 'L');
    for (const char c : scrambled.substr(0, password.size())) {
      EXPECT_GE(c, 0x28);
      EXPECT_LE(c, 0x79);
    }
  }
}

TEST(ScrambleTest, ClientHeaderLineConstantUnscramblesToOnePrintableLine) {
  const std::string_view stored = provider::kScrambledClientHeaderLine;
  ASSERT_EQ(stored.size(), 23u);
  for (const char c : stored) {
    EXPECT_TRUE(c > 0x20 && c < 0x7f) << static_cast<int>(c);
  }
  const std::string line = UnscrambleText(stored);
  EXPECT_EQ(line.size(), 22u);
  EXPECT_NE(line.find(':'), std::string::npos);
}

}  // namespace
}  // namespace zelquo
