#include "helpers/encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace narvo {
namespace {

using namespace std::string_literals;

struct DecisionCase {
  std::string data;
  std::optional<Encoding> expected;
};

TEST(DecideDataEncoding, TakesUtf8OnlyWhenTheFirstNonAsciiLineIsUtf8) {
  const DecisionCase cases[] = {
      {"x\r\n\xe5\xa4\xa7\xe9\x98\xaa,\"x\"\r\n\x91\xe5", Encoding::Utf8},  // 大阪, then no matter
      {"\xe5\xa4\xa7\xe9\x98", Encoding::ShiftJis},        // cut short by the end of the data
      {"\xe5\xa4\xa7\xe9\x98\n\xaa", Encoding::ShiftJis},  // and by its LF
      {"\xef\xbb\xbf"
       "abc\x83\x41",
       Encoding::Utf8},                              // a byte-order mark decides alone
      {"\x91\xe5\x8d\xe3", Encoding::ShiftJis},      // 大阪 in Shift-JIS
      {"\xb1\xb2", Encoding::ShiftJis},              // half-width ｱｲ
      {"\xc3\xb1\r\n\x83\x41", Encoding::Utf8},      // half-width ﾃｱ happen to be UTF-8
      {"\xe3\x81\x82\x83\x41", Encoding::ShiftJis},  // UTF-8, then not
      {"\xe3\x81"
       "a",
       Encoding::ShiftJis},                      // a sequence cut short inside
      {"\xc0\x80", Encoding::ShiftJis},          // overlong
      {"\xed\xa0\x80", Encoding::ShiftJis},      // surrogate
      {"\xf4\x90\x80\x80", Encoding::ShiftJis},  // beyond U+10FFFF
      {"\xf0\x9f\x98\x80", Encoding::Utf8},
      {"abc\r\n", std::nullopt},
      // End marks: where a line begins, or the second in a line, end the
      // input; the bytes after them never count.
      {"a\n\x1a\x83\x41", std::nullopt},
      {"a\x1a\x1a\n\x83\x41", std::nullopt},
      {"a\x1a\x83\x41\n\xc3\xb1", Encoding::ShiftJis},  // a skipped rest is in the line
      {"\xc3\xb1\x1a\x1a\x83\x41", Encoding::Utf8},
  };
  for (const DecisionCase& c : cases) {
    SCOPED_TRACE(c.data);
    EXPECT_EQ(DecideDataEncoding(c.data), c.expected);
  }
}

TEST(FirstHighByte, FindsTheFirstByteAbove127) {
  EXPECT_EQ(FirstHighByte("abc\r\n\x1a"), std::string::npos);
  EXPECT_EQ(FirstHighByte("ab\x80\x81"), 2u);
}

struct KeywordCase {
  std::string typed;  // UTF-8
  bool converts;
  std::string cp932;
};

TEST(KeywordToCp932, ConvertsWhatCp932HoldsAndNothingElse) {
  const KeywordCase cases[] = {
      {"\xe5\xa4\xa7\xe9\x98\xaa", true, "\x91\xe5\x8d\xe3"},  // 大阪
      {"\"oap\"", true, "\"oap\""},
      {"\xef\xbc\x8d", true, "\x81\x7c"},  // U+FF0D, as Windows writes it
      {"\xef\xbd\x9e", true, "\x81\x60"},  // U+FF5E
      {"\xef\xbd\xb1", true, "\xb1"},      // half-width ｱ
      {"\xc2\xa5", false, ""},             // ¥ would become a backslash
      {"a\xe2\x80\xbe", false, ""},        // ‾ would become a tilde
      {"\xf0\xa0\xae\xb7", false, ""},     // 𠮷: not in CP932
      {"\xff", false, ""},                 // not UTF-8 at all
  };
  for (const KeywordCase& c : cases) {
    SCOPED_TRACE(c.typed);
    std::string converted;
    EXPECT_EQ(KeywordToCp932(c.typed, &converted), c.converts);
    if (c.converts) {
      EXPECT_EQ(converted, c.cp932);
    }
  }
}

TEST(KeywordsForData, ConvertsOnlyForShiftJisDataOnAUtf8Console) {
  const std::vector<std::string> typed = {"\xe5\xa4\xa7", "\xc2\xa5"};  // 大, ¥
  EXPECT_EQ(KeywordsForData(typed, false, Encoding::ShiftJis), typed);
  EXPECT_EQ(KeywordsForData(typed, true, Encoding::Utf8), typed);
  EXPECT_EQ(KeywordsForData(typed, true, Encoding::ShiftJis),
            (std::vector<std::string>{"\x91\xe5", ""}));
}

TEST(ShiftJisToUtf8, KeepsBytesThatDoNotDecode) {
  EXPECT_EQ(ShiftJisToUtf8("\x91\xe5\x8d\xe3\x83"), "\xe5\xa4\xa7\xe9\x98\xaa\x83");
  EXPECT_EQ(ShiftJisToUtf8("\\~\x81\x60\r\n"), "\\~\xef\xbd\x9e\r\n");
  EXPECT_EQ(ShiftJisToUtf8("\x83\r\n\x83\x41"), "\x83\r\n\xe3\x82\xa2");
}

// The table gives what the converter gives: for every byte and pair on its
// own and between neighbours (a lead byte before a byte that is no trail, one
// at the end), and for random text from an alphabet of lead bytes, trail bytes
// of every kind and line ends.
TEST(ShiftJisToUtf8, GivesWhatTheConverterGives) {
#if !defined(_WIN32)
  ASSERT_TRUE(ShiftJisTableUsable());
#endif
  ConvertByTableAfter(0);
  std::string all;
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = 0; trail < 256; trail += lead >= 0x80 ? 1 : 37)
      all += {static_cast<char>(lead), static_cast<char>(trail), '\n'};
  }
  ASSERT_EQ(ShiftJisToUtf8(all), ShiftJisToUtf8ByConverter(all));
  const std::string alphabet =
      "\x81\x82\x83\x85\x88\x9f\xa0\xa1\xdf\xe0\xea\xeb\xef\xf0\xfa\xfc"
      "\xfd\xff\x40\x5c\x7e\x7f\x80\xa0\x61Z\r\n\x00,1"s;
  std::uint32_t seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int k = 0; k < round % 40; ++k) {
      seed = seed * 1103515245 + 12345;
      text += alphabet[(seed >> 16) % alphabet.size()];
    }
    ASSERT_EQ(ShiftJisToUtf8(text), ShiftJisToUtf8ByConverter(text))
        << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace narvo
