#include "helpers/encoding.h"
#include "tests/reference_search.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

// The tables are glibc's; other iconv libraries map some characters otherwise.
#if defined(__GLIBC__) && __has_include(<iconv.h>)
#define NARVO_TEST_GLIBC_ICONV 1
#include <iconv.h>
#endif

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

// The native mode's stricter rule: valid UTF-8 must also hold a character of
// three bytes or more, which a line of half-width katakana never does.
TEST(DecideDataEncoding, NativeModeWantsACharacterOfThreeBytesOrMore) {
  const DecisionCase cases[] = {
      {"\xc3\xb1\r\n\x83\x41", Encoding::ShiftJis},          // half-width ﾃｱ happen to be UTF-8
      {"\xc3\xb1\x1a\x1a\xe3\x81\x82", Encoding::ShiftJis},  // the rest after the end
      {"\xc3\xb1\xe3\x81\x82", Encoding::Utf8},              // ñ あ
      {"\xf0\x9f\x98\x80", Encoding::Utf8},
      {"\xef\xbb\xbf"
       "\xc3\xb1",
       Encoding::Utf8},                          // a byte-order mark decides alone
      {"\xe3\x81\x82\xff", Encoding::ShiftJis},  // あ, then not UTF-8
      {"\xe5\x8c\x97x", Encoding::Utf8},         // 北x: 97 78 would be one CP932 character
      {"abc\r\n", std::nullopt},
  };
  for (const DecisionCase& c : cases) {
    SCOPED_TRACE(c.data);
    EXPECT_EQ(DecideDataEncoding(c.data, true), c.expected);
  }
}

TEST(FirstHighByte, FindsTheFirstByteAbove127) {
  EXPECT_EQ(FirstHighByte("abc\r\n\x1a"), std::string::npos);
  EXPECT_EQ(FirstHighByte("ab\x80\x81"), 2u);
}

struct KeywordCase {
  std::string from;
  bool converts;
  std::string to;
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
    SCOPED_TRACE(c.from);
    std::string converted;
    EXPECT_EQ(KeywordToCp932(c.from, &converted), c.converts);
    if (c.converts) {
      EXPECT_EQ(converted, c.to);
    }
  }
}

// Keywords in the native mode are CP932; those that are no CP932 text are never found.
TEST(KeywordFromCp932, ConvertsWhatDecodesAndNothingElse) {
  const KeywordCase cases[] = {
      {"\x91\xe5\x8d\xe3", true, "\xe5\xa4\xa7\xe9\x98\xaa"},  // 大阪
      {"\x81\x60", true, "\xef\xbd\x9e"},                      // U+FF5E, as Windows reads it
      {"a\\~\xb1", true, "a\\~\xef\xbd\xb1"},                  // ASCII stays; half-width ｱ
      {"\xfa\x40\x87\x54", true, "\xe2\x85\xb0\xe2\x85\xa0"},  // ⅰ Ⅰ
      {"\x91\xe5\x83", false, ""},                             // a lead byte cut short
      {"\x83\x20", false, ""},                                 // a lead byte before no trail byte
      {"\x80", false, ""},
      {"\xa0", false, ""},
  };
  for (const KeywordCase& c : cases) {
    SCOPED_TRACE(c.from);
    std::string converted;
    EXPECT_EQ(KeywordFromCp932(c.from, &converted), c.converts);
    if (c.converts) {
      EXPECT_EQ(converted, c.to);
    }
  }
}

TEST(KeywordsForData, ConvertsOnlyWhereTheDataIsInTheOtherEncoding) {
  const std::vector<std::string> typed = {"\xe5\xa4\xa7", "\xc2\xa5"};  // 大, ¥
  EXPECT_EQ(KeywordsForData(typed, false, Encoding::ShiftJis), typed);
  EXPECT_EQ(KeywordsForData(typed, true, Encoding::Utf8), typed);
  EXPECT_EQ(KeywordsForData(typed, true, Encoding::ShiftJis),
            (std::vector<std::string>{"\x91\xe5", ""}));
  // The native mode's keywords (大, a lone lead byte) in UTF-8 data.
  EXPECT_EQ(KeywordsForData({"\x91\xe5", "\x91"}, false, Encoding::Utf8),
            (std::vector<std::string>{"\xe5\xa4\xa7", ""}));
}

TEST(ShiftJisToUtf8, KeepsBytesThatDoNotDecode) {
  EXPECT_EQ(ShiftJisToUtf8("\x91\xe5\x8d\xe3\x83"), "\xe5\xa4\xa7\xe9\x98\xaa\x83");
  EXPECT_EQ(ShiftJisToUtf8("\\~\x81\x60\r\n"), "\\~\xef\xbd\x9e\r\n");
  EXPECT_EQ(ShiftJisToUtf8("\x83\r\n\x83\x41"), "\x83\r\n\xe3\x82\xa2");
}

#ifdef NARVO_TEST_GLIBC_ICONV
// This system's glibc iconv, the library the tables were generated from
// (through its command): bytes that do not decode are copied and decoding
// resumes after them, as the programs did when they called iconv themselves.
// False where keepInvalid is not set and something does not convert.
bool ByIconv(iconv_t cd, std::string_view text, bool keepInvalid, std::string* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out->clear();
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char chunk[256];
    char* dst = chunk;
    std::size_t dstLeft = sizeof chunk;
    const std::size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    out->append(chunk, static_cast<std::size_t>(dst - chunk));
    if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    if (!keepInvalid) return false;
    out->push_back(*in++);
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return true;
}

// Every byte alone and every byte before every other, and random text from an
// alphabet of lead bytes, trail bytes of every kind and line ends, alone or in runs.
TEST(Cp932Tables, DecodeAsGlibcIconvDoes) {
  const iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // A cross build's tests may run where glibc finds no converter modules
    // (under an emulator); CI checks the tables against its own glibc.
    GTEST_SKIP() << "this system's iconv has no CP932 converter";
  }
  std::string expected;
  for (int first = 0; first < 256; ++first) {
    const std::string one(1, static_cast<char>(first));
    ASSERT_TRUE(ByIconv(cd, one, true, &expected));
    ASSERT_EQ(ShiftJisToUtf8(one), expected) << testing::PrintToString(one);
    for (int second = 0; second < 256; ++second) {
      const std::string two = {static_cast<char>(first), static_cast<char>(second)};
      ASSERT_TRUE(ByIconv(cd, two, true, &expected));
      ASSERT_EQ(ShiftJisToUtf8(two), expected) << testing::PrintToString(two);
    }
  }
  // Runs of each kind, long and short, so that the converter's blocks start
  // and end anywhere in them.
  const std::string alphabet =
      "\x81\x82\x83\x85\x88\x9f\xa0\xa1\xdf\xe0\xea\xeb\xef\xf0\xfa\xfc"
      "\xfd\xff\x40\x5c\x7e\x7f\x80\xa0\x61Z\r\n\x00,1"s;
  const std::string runs[] = {"a",        "\",\"",           "\xb1", "\xdf\xa1\xc0\xbf",
                              "\x8c\xa7", "\x91\xe5\x83\x5c"};
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::size_t n) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 16) % n;
  };
  for (int round = 0; round < 4000; ++round) {
    std::string text;
    const int pieces = round % 80;
    for (int k = 0; k < pieces; ++k) {
      if (round % 2 == 0) {
        text += alphabet[next(alphabet.size())];
      } else {
        const std::string& run = runs[next(std::size(runs))];
        for (std::size_t n = 1 + next(40); n > 0; --n)
          text += run;
        if (next(4) == 0) text += alphabet[next(alphabet.size())];
      }
    }
    ASSERT_TRUE(ByIconv(cd, text, true, &expected));
    ASSERT_EQ(ShiftJisToUtf8(text), expected) << testing::PrintToString(text);
  }
  iconv_close(cd);
}

// Every character from U+0080 to U+FFFF: what iconv writes, except that one
// written as an ASCII byte counts as one CP932 lacks.
TEST(Cp932Tables, EncodeAsGlibcIconvDoes) {
  const iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    GTEST_SKIP() << "this system's iconv has no CP932 converter";
  }
  for (std::uint32_t u = 0x80; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    std::string utf8;
    if (u < 0x800) {
      utf8 = {static_cast<char>(0xC0 | u >> 6), static_cast<char>(0x80 | (u & 0x3F))};
    } else {
      utf8 = {static_cast<char>(0xE0 | u >> 12), static_cast<char>(0x80 | (u >> 6 & 0x3F)),
              static_cast<char>(0x80 | (u & 0x3F))};
    }
    std::string expected, converted;
    const bool held = ByIconv(cd, utf8, false, &expected) &&
                      !(expected.size() == 1 && static_cast<unsigned char>(expected[0]) < 0x80);
    ASSERT_EQ(KeywordToCp932(utf8, &converted), held) << std::hex << u;
    if (held) {
      ASSERT_EQ(converted, expected) << std::hex << u;
    }
  }
  iconv_close(cd);
}
#endif

}  // namespace
}  // namespace narvo
