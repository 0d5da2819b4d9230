// The fast searcher against the straightforward one, on random data made to
// hit the traps: trail bytes that look like letters or a backslash, lone lead
// bytes, lone CRs, LF-only lines, end marks, NULs, lines longer than the
// buffer, and UTF-8 next to Shift-JIS. Both must write the same bytes and
// report the same last line.
//
// NARVO_DIFF_SECONDS=600 runs the comparison for that long instead of a fixed
// number of rounds; NARVO_DIFF_SEED picks the first seed.
#include "engine/searcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/matcher.h"
#include "engine/prefilter.h"
#include "helpers/encoding.h"
#include "platform/platform.h"
#include "tests/reference_search.h"

namespace narvo {
namespace {

using Random = std::mt19937;

// Pieces data is made of; the more often a piece is listed, the more often it comes.
// clang-format off
const std::vector<std::string> kPieces = {
    "a", "A", "k", "K", "s", "z", "Z", "0", "4", "1", ",", ",", "\"", " ", "\\", "|",
    "\x83\x41", "\x8e\x61", "\x96\x6b",  // ア 至 北: trail bytes 'A', 'a', 'k'
    "\x95\x5c",                          // 表: trail byte backslash
    "\x83\x40", "\x8c\x46", "\x8c\x66", "\x91\xe5", "\x8d\xe3", "\x8c\xa7", "\x83\x8c", "\xe0\x40",
    "\x82\x60", "\x82\x81",  // Ａ ａ: Windows lower-cases the one to the other
    "\x83\xb0", "\x83\xd0", "\x84\x51", "\x84\x82",  // Σ σ Р р: in UTF-8 the lead byte changes
    "\x87\x54", "\xfa\x40",  // Ⅰ ⅰ: there even the lead byte changes
    "\x81\x81", "\x83", "\x8c", "\xe0",  // lone lead bytes
    "\xb1", "\xde",                    // half-width kana
    "\xe3\x81\x82", "\xe9\x98\xaa", "\xc3\xa9", "\x98", "\xe3",  // UTF-8, whole and broken
    // Line ends and the bytes the line reader treats specially come last.
    "\r\n", "\r\n", "\r\n", "\r\n", "\n", "\n", "\r", "\x1a", std::string(1, '\0'),
};
// clang-format on

// Keywords are made of the pieces before the nine line ends and odd bytes.
const std::size_t kKeywordPieces = kPieces.size() - 9;

std::size_t Pick(Random& random, std::size_t n) {
  return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
}

std::string RandomData(Random& random) {
  std::string data;
  const std::size_t pieces = Pick(random, 4) == 0 ? Pick(random, 2000) : Pick(random, 200);
  // The bytes the line reader treats specially come as often as the others, a
  // few times in a long input (so they land anywhere in a block), or never.
  const std::size_t keepOddOneIn = std::vector<std::size_t>{1, 100, 0}[Pick(random, 3)];
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::string& piece = kPieces[Pick(random, kPieces.size())];
    const bool odd = piece == "\x1a" || piece == std::string(1, '\0') || piece == "\r";
    if (odd && (keepOddOneIn == 0 || Pick(random, keepOddOneIn) != 0)) continue;
    data += piece;
  }
  return data;
}

std::string FlipCase(Random& random, std::string text) {
  for (char& c : text) {
    if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && Pick(random, 2) == 0) c ^= 0x20;
  }
  return text;
}

// A keyword: mostly a stretch of the data (so that lines are found), sometimes pieces.
std::string RandomKeyword(Random& random, const std::string& data) {
  std::string keyword;
  if (!data.empty() && Pick(random, 3) != 0) {
    const std::size_t at = Pick(random, data.size());
    keyword = data.substr(at, 1 + Pick(random, 5));
  } else {
    for (std::size_t n = 1 + Pick(random, 3); n > 0; --n)
      keyword += kPieces[Pick(random, kKeywordPieces)];
  }
  // Keywords come from the command line: no NUL, rarely a line end.
  keyword = keyword.substr(0, keyword.find('\0'));
  return FlipCase(random, keyword.empty() ? "a" : keyword);
}

// A read function handing out data in pieces of random length.
ReadFunction ChunkedReader(const std::string& data, unsigned seed) {
  auto random = std::make_shared<Random>(seed);
  auto offset = std::make_shared<std::size_t>(0);
  return [&data, random, offset](char* buffer, std::size_t size, platform::IoError*) {
    const std::size_t left = data.size() - *offset;
    const std::size_t n = std::min({size, left, 1 + Pick(*random, 1 << 12)});
    std::copy_n(data.data() + *offset, n, buffer);
    *offset += n;
    return static_cast<std::ptrdiff_t>(n);
  };
}

struct Round {
  SearchSetup setup;
  std::string data;
};

Round RandomRound(Random& random) {
  static const std::size_t kBufferSizes[] = {1, 2, 3, 5, 8, 13, 64, 100, 4096, 1 << 18};
  Round r;
  r.data = RandomData(random);
  r.setup.consoleUtf8 = Pick(random, 3) == 0;
  r.setup.decideNative = !r.setup.consoleUtf8 && Pick(random, 2) == 0;
  // The native mode decides between a Shift-JIS file and its UTF-8 copy.
  const bool utf8Copy = r.setup.decideNative && Pick(random, 2) == 0;
  const std::string shiftJis = r.data;
  if (utf8Copy) r.data = ShiftJisToUtf8(r.data);
  // A byte-order mark decides alone, also where reads cut it up.
  const bool deciding = r.setup.consoleUtf8 || r.setup.decideNative;
  if (deciding && Pick(random, 4) == 0) r.data.insert(0, "\xef\xbb\xbf");
  r.setup.excludeMode = Pick(random, 3) == 0;
  r.setup.bufferSize = kBufferSizes[Pick(random, std::size(kBufferSizes))];
  // Lines longer than longLine are searched alone and regions cut into pieces:
  // small values make both happen in small data.
  if (Pick(random, 2) == 0) r.setup.longLine = 1 + Pick(random, 80);
  // Now and then many keywords, which exclude mode looks for all at once.
  const std::size_t keywords = Pick(random, 8) == 0 ? 8 + Pick(random, 8) : 1 + Pick(random, 3);
  for (std::size_t n = keywords; n > 0; --n) {
    // Typed in the native mode, a keyword is CP932.
    std::string keyword = RandomKeyword(random, utf8Copy ? shiftJis : r.data);
    // Typed on a UTF-8 console, a keyword taken from Shift-JIS data is UTF-8.
    const std::string typed = ShiftJisToUtf8(keyword);
    std::string back;
    if (r.setup.consoleUtf8 && KeywordToCp932(typed, &back) && back == keyword &&
        Pick(random, 2) == 0) {
      keyword = typed;
    }
    r.setup.terms.push_back(keyword);
  }
  return r;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      hex += static_cast<char>(c);
    } else {
      hex += "\\x";
      hex += digits[c >> 4];
      hex += digits[c & 15];
    }
  }
  return hex;
}

// Runs one round through both searchers; true when they agree.
bool Agree(unsigned seed) {
  Random random(seed);
  const Round r = RandomRound(random);
  std::string straight;
  const SearchOutcome b = SearchStreamByLine(r.setup, ChunkedReader(r.data, seed + 1),
                                             [&](std::string_view bytes) { straight += bytes; });
  std::string keywords;
  for (const std::string& t : r.setup.terms)
    keywords += " [" + Hex(t) + "]";
  bool agreed = true;
  // Every scan level this processor has (portable, SSE2, AVX2, ...) with exact
  // keyword sets, then one of them with the loose ones lower-casing beyond
  // ASCII needs.
  const std::vector<ScanLevel> levels = ScanLevelsHere();
  const std::size_t widest = levels.size() - 1;
  for (std::size_t run = 0; run <= widest + 1; ++run) {
    const ScanLevel level = levels[run <= widest ? run : seed % levels.size()];
    SearchSetup setup = r.setup;
    setup.kernels = &KernelsFor(level);
    setup.looseKeywordSets = run > widest;
    std::string fast;
    const SearchOutcome a = SearchStream(setup, ChunkedReader(r.data, seed),
                                         [&](std::string_view bytes) { fast += bytes; });
    SCOPED_TRACE("seed " + std::to_string(seed) + " level " +
                 std::to_string(static_cast<int>(level)) + (run > widest ? " loose" : "") +
                 (r.setup.excludeMode ? " exclude" : " include") +
                 (r.setup.consoleUtf8 ? " utf8-console" : "") +
                 (r.setup.decideNative ? " native-decides" : "") + " buffer " +
                 std::to_string(r.setup.bufferSize) + " long line " +
                 std::to_string(r.setup.longLine) + keywords + "\ndata: " + Hex(r.data));
    EXPECT_EQ(Hex(fast), Hex(straight));
    EXPECT_EQ(Hex(a.lastMatch), Hex(b.lastMatch));
    // Before the decision every line is ASCII, and its encoding does not matter.
    if (FirstHighByte(a.lastMatch) != std::string::npos) {
      EXPECT_EQ(a.lastMatchEncoding, b.lastMatchEncoding);
    }
    agreed = agreed && fast == straight && a.lastMatch == b.lastMatch;
  }
  return agreed;
}

// Exclude mode looks for many keywords at once; 熊 8C 46 and 掲 8C 66 differ
// only in the case of a trail byte, and ア 83 41 holds a letter that is none.
TEST(SearchStream, ManyKeywordsExcludeWhatEachExcludes) {
  SearchSetup setup;
  setup.excludeMode = true;
  setup.terms = {"\x8c\x46", "\x8c\x66", "a1", "A2", "a3", "a4", "a5", "a6", "\x83\x41", "zz"};
  const std::string data =
      "x\x8c\x66y\r\n\x8c\x46\r\nkeep\r\n\x83\x41\r\n\x83\x61\r\n\x95\x41"
      "1\r\nZZ\r\nb a2\n";
  std::string fast;
  SearchStream(setup, ChunkedReader(data, 1), [&](std::string_view b) { fast += b; });
  EXPECT_EQ(fast,
            "keep\r\n\x83\x61\r\n\x95\x41"
            "1\r\n");
}

// Where the native mode decides, keywords (CP932) find in a UTF-8 copy of
// Shift-JIS data, with or without a byte-order mark, what they find in the
// data as Windows reads it; lines are written unchanged.
TEST(SearchStream, NativeModeFindsInAUtf8CopyWhatItFindsInShiftJis) {
  struct Case {
    std::string data;  // Shift-JIS, lines ended by CR LF
    std::vector<std::string> terms;
    std::string selected;
    bool letters = false;  // Shift-JIS selects so only where it folds more than ASCII
  } cases[] = {
      // 大阪 北区 on postal lines.
      {"1,\x91\xe5\x8d\xe3,\x96\x6b\x8b\xe6\r\n2,\x91\xe5\x8d\xe3\r\n",
       {"\x91\xe5\x8d\xe3", "\x96\x6b\x8b\xe6"},
       "1,\x91\xe5\x8d\xe3,\x96\x6b\x8b\xe6\r\n"},
      // 北 (E5 8C 97 in UTF-8) before x: in Shift-JIS its 6B is no k, in
      // UTF-8 its 97 is no lead byte.
      {"\x96\x6bx\r\nk\r\n", {"X"}, "\x96\x6bx\r\n"},
      {"\x96\x6bx\r\nk\r\n", {"k"}, "k\r\n"},
      // The native mode's letters: Σ σ, Ё ё, Ａ ａ, Ⅰ (two codes) ⅰ alike. A
      // line of two-byte UTF-8 alone (Greek, Cyrillic) would not decide.
      {"\x96\x6b\r\n\x83\xb0\r\n\x83\xd0\r\nS\r\n", {"\x83\xd0"}, "\x83\xb0\r\n\x83\xd0\r\n", true},
      {"\x96\x6b\x84\x76\r\n\x84\x46\r\n", {"\x84\x46"}, "\x96\x6b\x84\x76\r\n\x84\x46\r\n", true},
      {"\x82\x60\x82\x81\r\n\x82\x81\r\n", {"\x82\x81\x82\x60"}, "\x82\x60\x82\x81\r\n", true},
      {"\x87\x54\r\n\xfa\x4a\r\n\xfa\x40\r\n",
       {"\xfa\x40"},
       "\x87\x54\r\n\xfa\x4a\r\n\xfa\x40\r\n",
       true},
      // Half-width katakana alone stay Shift-JIS, though ﾃｱ (C3 B1) is UTF-8 by chance.
      {"\xc3\xb1\r\n\x83\x41\r\n", {"\x83\x41"}, "\x83\x41\r\n"},
  };
  const std::string bom = "\xef\xbb\xbf";
  const bool foldsLetters = LowerCase("\x83\xb0", Encoding::ShiftJis) == "\x83\xd0";
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.data));
    const bool firstSelected =
        c.selected.substr(0, c.data.find('\n')) == c.data.substr(0, c.data.find('\n'));
    const std::string copy = ShiftJisToUtf8(c.data);
    const std::string copySelected = ShiftJisToUtf8(c.selected);
    const struct {
      std::string data, selected;
      Encoding encoding;
    } forms[] = {
        {c.data, c.selected, Encoding::ShiftJis},
        {copy, copySelected, Encoding::Utf8},
        {bom + copy, (firstSelected ? bom : "") + copySelected, Encoding::Utf8},
    };
    for (const auto& form : forms) {
      if (form.encoding == Encoding::ShiftJis && c.letters && !foldsLetters) continue;
      SearchSetup setup;
      setup.decideNative = true;
      setup.terms = c.terms;
      std::vector<Encoding> decided;
      setup.dataDecided = [&decided](Encoding e) { decided.push_back(e); };
      std::string written;
      const SearchOutcome outcome = SearchStream(setup, ChunkedReader(form.data, 3),
                                                 [&](std::string_view b) { written += b; });
      EXPECT_EQ(Hex(written), Hex(form.selected));
      EXPECT_EQ(outcome.lastMatchEncoding, form.encoding);
      EXPECT_EQ(decided, std::vector<Encoding>{form.encoding});
    }
  }
}

TEST(SearchStream, WritesWhatTheLineByLineSearchWrites) {
  const char* seconds = std::getenv("NARVO_DIFF_SECONDS");
  const char* firstSeed = std::getenv("NARVO_DIFF_SEED");
  unsigned seed = firstSeed ? static_cast<unsigned>(std::strtoul(firstSeed, nullptr, 10)) : 1;
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::seconds(seconds ? std::atoi(seconds) : 0);
  unsigned rounds = 0;
  do {
    for (int i = 0; i < 10000; ++i, ++rounds) {
      if (!Agree(seed++)) return;
    }
  } while (std::chrono::steady_clock::now() < until);
  std::printf("%u rounds agreed\n", rounds);
}

}  // namespace
}  // namespace narvo
