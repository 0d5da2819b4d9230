#include "engine/needle_plan.h"

#include <bit>
#include <cstdint>

namespace narvo {

namespace {

// How often each byte occurs in KEN_ALL.CSV, per 2^20 bytes (at least 1), in
// the Shift-JIS original and in its UTF-8 edition. Anchoring on the rarest
// bytes keeps candidates few: digits, quotes and commas fill every line, and
// so do the ASCII-valued trail bytes of common kanji and the half-width kana.
const std::uint32_t kShiftJisFrequency[256] = {
    1,     1,     1,     1,     1,     1,      1,     1,    1,      1,      10682, 1,     1,
    10682, 1,     1,     1,     1,     1,      1,     1,    1,      1,      1,     1,     1,
    1,     1,     1,     1,     1,     1,      321,   1,    170917, 1,      1,     1,     1,
    1,     4,     4,     1,     1,     149553, 1,     1,    1,      103591, 25200, 26075, 17330,
    14476, 11445, 12767, 9598,  12884, 12801,  1,     1,    1,      1,      1,     1,     110,
    83,    250,   1009,  175,   132,   571,    66,    520,  165,    437,    543,   746,   68,
    104,   1142,  429,   439,   2488,  2175,   120,   53,   1586,   118,    580,   316,   200,
    416,   227,   327,   282,   580,   416,    540,   137,  2013,   248,    131,   234,   502,
    381,   125,   73,    1488,  546,   1263,   455,   206,  90,     441,    274,   10069, 562,
    261,   326,   97,    677,   326,   321,    2548,  172,  136,    152,    1,     126,   597,
    3732,  3002,  74,    300,   946,   1835,   3060,  6151, 4048,   6789,   16919, 5398,  14465,
    5387,  8794,  4524,  11868, 10945, 2910,   6269,  6254, 2253,   953,    226,   125,   543,
    260,   74,    1757,  1202,  303,   435,    679,   243,  1006,   45,     183,   8851,  254,
    430,   2495,  232,   7180,  1136,  7878,   1403,  391,  2823,   9181,   12198, 2449,  6496,
    14197, 7380,  7942,  10621, 4636,  4386,   19723, 2441, 1189,   640,    7291,  9897,  2875,
    2202,  6576,  4697,  2241,  591,   1094,   3292,  4076, 3333,   3768,   945,   2430,  9281,
    5071,  806,   673,   1844,  4740,  287,    1359,  3023, 2388,   852,    349,   1389,  4261,
    14267, 20548, 484,   547,   143,   604,    1708,  1108, 1876,   2050,   617,   1032,  1200,
    1059,  86,    3866,  200,   253,   398,    284,   183,  1020,   128,    54,    125,   311,
    97,    45,    39,    435,   475,   478,    1,     1,    1,
};
const std::uint32_t kUtf8Frequency[256] = {
    1,     1,      1,     1,     1,     1,     1,      1,     1,     1,     6940, 1,     1,    6940,
    1,     1,      1,     1,     1,     1,     1,      1,     1,     1,     1,    1,     1,    1,
    1,     1,      1,     1,     208,   1,     111038, 1,     1,     1,     1,    1,     3,    3,
    1,     1,      97158, 1,     1,     1,     67299,  16371, 16940, 11259, 9404, 7435,  8294, 6235,
    8370,  8316,   1,     1,     1,     1,     1,      1,     1,     6,     3,    3,     1,    1,
    1,     1,      1,     1,     1,     1,     1,      1,     1,     2,     2,    1,     1,    3,
    1,     1,      1,     1,     3,     2,     2,      1,     1,     1,     1,    1,     1,    1,
    1,     1,      1,     1,     1,     1,     1,      1,     1,     1,     1,    1,     1,    1,
    1,     1,      1,     1,     1,     1,     1,      1,     1,     1,     1,    1,     1,    1,
    1,     1,      5550,  8452,  8345,  5016,  5261,   4517,  2067,  1715,  1758, 4055,  3975, 3902,
    11646, 2293,   4292,  8168,  4817,  1538,  1288,   1926,  8767,  1342,  2367, 4148,  2649, 1405,
    739,   2078,   10848, 12898, 13621, 3356,  1224,   2949,  920,   1007,  2151, 3234,  1517, 1492,
    1269,  831,    933,   1575,  1993,  1776,  6825,   2233,  3634,  6838,  8233, 10749, 2312, 5688,
    10428, 7294,   14339, 7691,  10747, 3795,  13233,  73219, 77429, 1867,  1,    1,     1,    1,
    1,     1,      1,     1,     1,     1,     1,      1,     1,     1,     1,    1,     1,    1,
    1,     1,      1,     1,     1,     1,     1,      1,     1,     1,     1,    1,     1,    1,
    1,     1,      1,     3094,  5731,  27461, 11191,  16399, 4143,  8302,  1,    1,     1,    1,
    1,     145792, 1,     1,     1,     1,     1,      1,     1,     1,     1,    1,     1,    1,
    1,     1,      1,     1,
};

bool IsLowerLetter(unsigned char c) {
  return c >= 'a' && c <= 'z';
}
bool IsUpperLetter(unsigned char c) {
  return c >= 'A' && c <= 'Z';
}

// The weight of an offset no scan can test.
constexpr double kUntestable = 1e30;

// Anchors a needle on its two offsets of least weight.
void ChooseAnchors(const std::vector<double>& weight, Needle* n) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < weight.size(); ++i) {
    if (weight[i] < weight[best]) best = i;
  }
  std::size_t second = best;
  for (std::size_t i = 0; i < weight.size(); ++i) {
    if (i != best && (second == best || weight[i] < weight[second])) second = i;
  }
  n->anchor1 = best;
  n->anchor2 = second;
  n->frequency = second == best ? weight[best] : weight[best] * weight[second] / (1 << 20);
}

}  // namespace

Needle MakeNeedle(std::string_view lowerTerm, Encoding encoding) {
  Needle n;
  // A keyword counts only up to its first NUL, and a line never holds a line
  // end or an end mark, so a keyword with one is never found.
  lowerTerm = lowerTerm.substr(0, lowerTerm.find('\0'));
  n.want.assign(lowerTerm);
  n.fold.assign(lowerTerm.size(), '\0');
  if (lowerTerm.empty() || lowerTerm.find_first_of("\r\n\x1a") != std::string_view::npos) {
    n.never = true;
    n.want.assign(1, '\0');
    n.fold.assign(1, '\0');
    return n;
  }
  const std::uint32_t* frequency = encoding == Encoding::Utf8 ? kUtf8Frequency : kShiftJisFrequency;
  std::vector<double> weight(lowerTerm.size());
  for (std::size_t i = 0; i < lowerTerm.size(); i += CharLength(lowerTerm, i, encoding)) {
    // Only a byte standing as a character of its own is folded (in UTF-8 that is every ASCII byte).
    const std::size_t length = CharLength(lowerTerm, i, encoding);
    const auto c = static_cast<unsigned char>(lowerTerm[i]);
    if (length == 1 && IsLowerLetter(c)) n.fold[i] = 0x20;
    // The line is lower-cased where the keyword is: an upper-case letter there never matches.
    if (length == 1 && IsUpperLetter(c)) n.never = true;
  }
  for (std::size_t i = 0; i < lowerTerm.size(); ++i) {
    const auto c = static_cast<unsigned char>(lowerTerm[i]);
    weight[i] = frequency[c] + (n.fold[i] != 0 ? frequency[c - 0x20] : 0);
  }
  ChooseAnchors(weight, &n);
  return n;
}

Needle MakeLooseNeedle(const std::vector<ByteSet>& possible, Encoding encoding) {
  Needle n;
  n.want.assign(possible.size(), '\0');
  n.fold.assign(possible.size(), '\0');
  const std::uint32_t* frequency = encoding == Encoding::Utf8 ? kUtf8Frequency : kShiftJisFrequency;
  // Offsets the scans cannot test get no weight, and are never chosen as long as another is there.
  std::vector<double> weight(possible.size(), kUntestable);
  for (std::size_t i = 0; i < possible.size(); ++i) {
    const ByteSet& set = possible[i];
    if (set.none()) n.never = true;
    if (set.none() || set.count() > 2) continue;
    // One value, or two that differ in one bit as a letter's cases do (or σ CF
    // 83 and Σ CE A3, in bit 0x01 and then in 0x20): p[i] | fold == want.
    int low = -1, high = 0;
    for (int c = 0; c < 256; ++c) {
      if (set[c]) (low < 0 ? low : high) = c;
    }
    if (set.count() == 1) high = low;
    if (set.count() == 2 && !std::has_single_bit(static_cast<unsigned>(low ^ high))) continue;
    n.want[i] = static_cast<char>(high);
    n.fold[i] = static_cast<char>(low ^ high);
    weight[i] = frequency[low] + (low != high ? frequency[high] : 0);
  }
  if (possible.empty()) n.never = true;
  if (n.never) return n;
  ChooseAnchors(weight, &n);
  n.anchored = weight[n.anchor1] < kUntestable;
  if (weight[n.anchor2] >= kUntestable) n.anchor2 = n.anchor1;
  return n;
}

}  // namespace narvo
