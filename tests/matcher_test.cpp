#include "engine/matcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace narvo {
namespace {

using namespace std::string_literals;

struct LineCase {
  std::string keyword;  // as typed
  std::string line;
  Encoding encoding;
  bool found;
  bool cp932Letters = false;  // UTF-8 folds the native mode's letters too
};

// Occurrences the buffer search must find, or refuse, exactly as the
// character-boundary search does. Shift-JIS: ア 83 41, 至 8E 61, 熊 8C 46,
// 掲 8C 66, 表 95 5C, 阪 8D E3 (a trail byte in the lead range), 大 91 E5.
const LineCase kLineCases[] = {
    {"a", "\x83\x41", Encoding::ShiftJis, false},  // trail byte 'A'
    {"a", "\x8e\x61", Encoding::ShiftJis, false},  // trail byte 'a'
    {"A",
     "x\x8e\x61"
     "a",
     Encoding::ShiftJis, true},                     // the single 'a' after it
    {"\\", "\x95\x5c", Encoding::ShiftJis, false},  // 0x5C as a trail byte
    {"\\", "\x95\x5c\\", Encoding::ShiftJis, true},
    {"\x8c\x66", "\x8c\x46", Encoding::ShiftJis, false},  // 掲 is no 熊 in another case
    {"\x8c\x46", "\x8c\x66", Encoding::ShiftJis, false},
    {"oap", "\x83OAP", Encoding::ShiftJis, false},  // 'O' is a trail byte
    {"oap", "\x83\x41OaP", Encoding::ShiftJis, true},
    {"\x40", "\x83\x40", Encoding::ShiftJis, false},             // ァ
    {"\x40\x40", "\x83\x40\x40\x40", Encoding::ShiftJis, true},  // overlapping a refused one
    // Lead-range bytes pair off from the last other byte: 大 阪 阪 then 阪's trail.
    {"\x8d\xe3", "\x91\xe5\x8d\xe3\x8d\xe3", Encoding::ShiftJis, true},
    {"\xe3\x8d", "\x91\xe5\x8d\xe3\x8d\xe3", Encoding::ShiftJis, false},
    {"\xe3\x8d", "a\x8d\xe3\x8d\xe3", Encoding::ShiftJis, false},
    {"\xe3\x8d", "\xe3\x8d\xe3", Encoding::ShiftJis, true},
    {"\x83", "ab\x83", Encoding::ShiftJis, true},  // a lone lead byte at the end
    {"\x83", "\x83\x83", Encoding::ShiftJis, true},
    {"\x83\x83", "a\x83\x83\x83", Encoding::ShiftJis, true},
    // UTF-8: あ E3 81 82, 阪 E9 98 AA; Shift-JIS rules would take 82 E9 as a character.
    {"\xe9\x98\xaa", "\xe3\x81\x82\xe9\x98\xaa", Encoding::Utf8, true},
    {"\x82\xe9", "\xe3\x81\x82\xe9\x98\xaa", Encoding::Utf8, false},
    {"\x98\xaa", "\xe9\x98\xaa", Encoding::Utf8, false},  // starts on a continuation byte
    {"OAP", "\xc3\xa9oap", Encoding::Utf8, true},
    {"\xc3\xa9", "\xc3\x89", Encoding::Utf8, false},  // é and É: only ASCII folds
    // The native mode's letters in UTF-8: σ CF 83 is Σ CE A3, р D1 80 is Р D0 A0,
    // ё D1 91 is Ё D0 81, ａ EF BD 81 is Ａ EF BC A1, ⅰ E2 85 B0 is Ⅰ E2 85 A0.
    {"\xcf\x83", "\xce\xa3", Encoding::Utf8, false},
    {"\xcf\x83", "x\xce\xa3", Encoding::Utf8, true, true},
    {"\xce\xa3", "\xcf\x83", Encoding::Utf8, true, true},
    {"\xd1\x80\xd1\x91", "\xd0\xa0\xd0\x81", Encoding::Utf8, true, true},
    {"\xd0\x81", "\xd1\x91", Encoding::Utf8, true, true},
    {"A\xef\xbd\x81", "a\xef\xbc\xa1", Encoding::Utf8, true, true},
    {"\xe2\x85\xb0", "\xe2\x85\xa0", Encoding::Utf8, true, true},
    {"\xcf\x82", "\xce\xa3", Encoding::Utf8, false, true},  // ς: CP932 folds Σ to σ only
    {"\xc3\xa9", "\xc3\x89", Encoding::Utf8, false, true},  // É is none of them
    {"\x83x", "\xce\xa3x", Encoding::Utf8, false, true},    // a capital's last byte
    {"\xa3x", "\xce\xa3x", Encoding::Utf8, false, true},
    {"x\xce", "x\xce\xa3", Encoding::Utf8, false, true},  // cut inside: the line is folded first
    {"x", "\xe5\x8c\x97x", Encoding::Utf8, true, true},   // 北 ends in a CP932 lead byte
    {"", "abc", Encoding::ShiftJis, false},               // an empty keyword is never found
    {"b\nc", "abc", Encoding::ShiftJis, false},
};

TEST(KeywordSet, FindsWhatTheCharacterBoundarySearchFinds) {
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(c.keyword + " in " + c.line);
    const Matcher matcher = MakeMatcher({c.keyword}, false, c.encoding, c.cp932Letters);
    EXPECT_EQ(LineSelected(matcher, c.line), c.found);
    for (bool loose : {false, true}) {
      EXPECT_EQ(TextHoldsKeywords(MakeKeywordSet(matcher, loose), c.line), c.found);
    }
    // Where lower-casing folds more than ASCII letters (Windows), only the matcher decides.
    if (MakeKeywordSet(matcher).exact) {
      EXPECT_EQ(PositionFoldingAscii(matcher.lowerTerms[0], c.line, c.encoding) != 0, c.found);
    }
  }
}

// Where candidates keep failing, a line is decided in linear time: the same
// answers on crafted lines (one keyword byte off, periodic, runs of lead
// bytes) and on random lines from an alphabet of letters, lead and trail bytes.
TEST(KeywordSet, DecidesInLinearTimeWhatTheCandidatesDecide) {
  const std::string periodic = std::string(4000, 'Q') + "," + std::string(4000, 'Q');
  std::string pairs;  // 81 82 repeated: in a run of lead bytes after 82, never a character
  for (int i = 0; i < 5000; ++i)
    pairs += "\x81\x82";
  const LineCase crafted[] = {
      {periodic, std::string(50000, 'Q'), Encoding::ShiftJis, false},
      {periodic, std::string(30000, 'q') + periodic, Encoding::ShiftJis, true},
      {"\x81\x82", "a\x82" + pairs, Encoding::ShiftJis, false},
      {"\x81\x82", "a" + pairs, Encoding::ShiftJis, true},
      {"aaab", std::string(3000, 'A') + "B", Encoding::Utf8, true},
  };
  for (const LineCase& c : crafted) {
    const Matcher matcher = MakeMatcher({c.keyword}, false, c.encoding);
    EXPECT_EQ(LineSelected(matcher, c.line), c.found);
    EXPECT_EQ(TextHoldsKeywords(MakeKeywordSet(matcher), c.line), c.found);
    if (!MakeKeywordSet(matcher).exact) continue;
    EXPECT_EQ(PositionFoldingAscii(matcher.lowerTerms[0], c.line, c.encoding) != 0, c.found);
  }
  const std::string alphabet = "aAbB\x81\x83\x8d\xe3\x41\x61\x5c\xe9\x98\xaa,"s;
  std::uint32_t seed = 7;
  auto pick = [&](std::size_t n) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 16) % n;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string line, keyword;
    for (std::size_t n = pick(30); n > 0; --n)
      line += alphabet[pick(alphabet.size())];
    for (std::size_t n = 1 + pick(4); n > 0; --n)
      keyword += alphabet[pick(alphabet.size())];
    const Encoding encoding = round % 2 ? Encoding::Utf8 : Encoding::ShiftJis;
    const Matcher matcher = MakeMatcher({keyword}, false, encoding);
    if (!MakeKeywordSet(matcher).exact) continue;
    ASSERT_EQ(PositionFoldingAscii(matcher.lowerTerms[0], line, encoding) != 0,
              LineSelected(matcher, line))
        << testing::PrintToString(keyword) << " in " << testing::PrintToString(line);
  }
}

TEST(KeywordSet, SearchesFirstForTheRarestKeywordOrOneNeverFound) {
  // Field separators fill every line of the postal data; 県 (8C A7) less so.
  EXPECT_EQ(MakeKeywordSet(MakeMatcher({"\",\"", "\x8c\xa7"}, false, Encoding::ShiftJis)).primary,
            1u);
  const KeywordSet never =
      MakeKeywordSet(MakeMatcher({"\x8c\xa7", "x\ny"}, true, Encoding::ShiftJis));
  EXPECT_EQ(never.primary, 1u);
  EXPECT_EQ(never.findable.size(), 1u);  // exclude mode looks only for the one that can be there
}

}  // namespace
}  // namespace narvo
