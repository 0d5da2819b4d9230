#include "helpers/text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace narvo {
namespace {

using namespace std::string_literals;

// Shift-JIS traps are built from bytes: 0x83 0x40 is ァ, 0x95 0x5C is 表,
// 0x83 0x41 is ア (trail byte 'A'), 0x8E 0x61 is 至 (trail byte 'a').
const std::string kSmallA = "\x83\x40";
const std::string kHyou = "\x95\x5C";
const std::string kKanaA = "\x83\x41";

struct PositionCase {
  std::string needle;
  std::string haystack;
  std::size_t expected;
};

TEST(Position, RespectsShiftJisBoundaries) {
  const PositionCase cases[] = {
      {"@", kSmallA, 0},              // trail byte only
      {"@@", "\x83\x40\x40\x40", 3},  // overlaps a rejected hit, starts on a boundary
      {"\x40", "x" + kSmallA + "@", 4},
      {"A", kKanaA, 0},  // a letter-valued trail byte is not a letter
      {"\\", kHyou, 0},  // neither is 0x5C
      {"\\", kHyou + "\\", 3},
      {"\x41\x83", kKanaA + kKanaA, 0},  // across a character boundary
      {kKanaA, "a" + kKanaA, 2},
      {"\x83", "\x83\x40", 1},  // a lone lead byte in the needle still matches bytes
      {"b", "a\x83", 0},        // lone lead byte at the end
      {"\x83", "ab\x83", 3},
      {"abc", "xxabcabc", 3},
      {"", "abc", 0},  // empty needle is never found
      {"abc", "", 0},
      {"abcd", "abc", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Position(c.needle, c.haystack, Encoding::ShiftJis), c.expected)
        << "needle " << c.needle << " in " << c.haystack;
  }
}

TEST(Position, StopsAtTheFirstNul) {
  EXPECT_EQ(Position("b", "a\0b"s, Encoding::ShiftJis), 0u);
  EXPECT_EQ(Position("a\0x"s, "zab"s, Encoding::ShiftJis), 2u);  // needle is just "a"
  EXPECT_EQ(Position("\0"s, "a\0"s, Encoding::ShiftJis), 0u);
  EXPECT_EQ(Position("b", "a\0b"s, Encoding::Utf8), 0u);
}

TEST(Position, Utf8OccurrencesStartOnCharacterBoundaries) {
  // あ阪 is E3 81 82 E9 98 AA; Shift-JIS rules would pair 0x82 with 0xE9.
  const std::string aHan = "\xE3\x81\x82\xE9\x98\xAA";
  EXPECT_EQ(Position("\xE9\x98\xAA", aHan, Encoding::Utf8), 4u);
  EXPECT_EQ(Position("\x98\xAA", aHan, Encoding::Utf8), 0u);  // starts on a continuation byte
  EXPECT_EQ(Position("A",
                     "\xE3\x81\x82"
                     "A",
                     Encoding::Utf8),
            4u);
}

TEST(LowerCase, FoldsAsciiLettersOnlyAndNeverATrailByte) {
  EXPECT_EQ(LowerCase("ABC xyz 123", Encoding::ShiftJis), "abc xyz 123");
  EXPECT_EQ(LowerCase(kKanaA + "A", Encoding::ShiftJis), kKanaA + "a");
  // Full-width Ａ folds to ａ on Windows and stays elsewhere, but always as a whole character.
  const std::string fullWidthA = LowerCase("\x82\x60", Encoding::ShiftJis);
  EXPECT_TRUE(fullWidthA == "\x82\x60" || fullWidthA == "\x82\x81") << fullWidthA;
  EXPECT_EQ(LowerCase("A\x83", Encoding::ShiftJis), "a\x83");  // lone lead byte at the end
  EXPECT_EQ(LowerCase("\xE3\x81\x82"
                      "A\0B"s,
                      Encoding::Utf8),
            "\xE3\x81\x82"
            "a\0b"s);
}

// A path written with '/' in the platform's own separator.
std::string P(std::string path) {
  for (char& c : path) {
    if (c == '/') c = platform::PathSeparator();
  }
  return path;
}

TEST(FileNameParts, SplitAtTheLastSeparator) {
  EXPECT_EQ(FileName(P("/usr/local/bin/narvo")), "narvo");
  EXPECT_EQ(FileName("narvo"), "narvo");
  EXPECT_EQ(DirectoryPart(P("/usr/local/bin/narvo")), P("/usr/local/bin/"));
  EXPECT_EQ(DirectoryPart("narvo"), "");
  EXPECT_EQ(ChangeExtension(P("/opt/find.exe"), ".csv"), P("/opt/find.csv"));
  EXPECT_EQ(ChangeExtension(P("/opt/zanpo"), ".txt"), P("/opt/zanpo.txt"));
  EXPECT_EQ(ChangeExtension(P("/a.b/zanpo"), ".csv"),
            P("/a.b/zanpo.csv"));  // dot in the folder only
  EXPECT_EQ(ChangeExtension(P("/opt/x.tar.gz"), ""), P("/opt/x.tar"));
  EXPECT_EQ(ChangeExtension(P("/opt/.hidden"), ".csv"), P("/opt/.csv"));
  // 表 ends in 0x5C: never a separator, wherever the platform puts them.
  EXPECT_EQ(FileName(P("/d/\x95\x5C.txt")), "\x95\x5C.txt");
}

TEST(ParseDecimal, AcceptsSigned32BitValuesOnly) {
  std::int32_t v = -1;
  EXPECT_TRUE(ParseDecimal("0000000000003", &v));
  EXPECT_EQ(v, 3);
  EXPECT_TRUE(ParseDecimal("2147483647", &v));
  EXPECT_EQ(v, 2147483647);
  EXPECT_FALSE(ParseDecimal("2147483648", &v));
  EXPECT_FALSE(ParseDecimal("99999999999999999999999", &v));
  EXPECT_FALSE(ParseDecimal("", &v));
  EXPECT_FALSE(ParseDecimal("12a", &v));
}

}  // namespace
}  // namespace narvo
