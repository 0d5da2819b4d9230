#include "engine/prefilter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

// The only place in engine/ and helpers/ that knows the processor: x86 gets
// SSE2 (always there on x86-64), and AVX2 and AVX-512 when the processor has
// them, chosen at run time; every other target scans with memchr and plain loops.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__) && defined(__GNUC__)
#define NARVO_X86_SIMD 1
#include <immintrin.h>
#else
#define NARVO_X86_SIMD 0
#endif

namespace narvo {

namespace {

constexpr char kCtrlZ = 0x1A;

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

// True when the byte at p matches anchor k of the needle.
inline bool AnchorAt(const Needle& n, const char* p, std::size_t k) {
  return static_cast<char>(p[k] | n.fold[k]) == n.want[k];
}

inline bool AnchorsAt(const Needle& n, const char* p) {
  return AnchorAt(n, p, n.anchor1) && AnchorAt(n, p, n.anchor2);
}

// Candidates c with begin <= c < stop, one at a time.
const char* CandidateScalar(const Needle& n, const char* p, const char* stop) {
  if (n.fold[n.anchor1] == 0) {
    // memchr finds the rarest byte far faster than a loop where it may be used.
    const char want = n.want[n.anchor1];
    while (p < stop) {
      const void* hit = std::memchr(p + n.anchor1, want, static_cast<std::size_t>(stop - p));
      if (hit == nullptr) return stop;
      p = static_cast<const char*>(hit) - n.anchor1;
      if (AnchorAt(n, p, n.anchor2)) return p;
      ++p;
    }
    return stop;
  }
  for (; p < stop; ++p) {
    if (AnchorsAt(n, p)) return p;
  }
  return stop;
}

// A NUL, an end mark, or a CR that is no line end: the line reader's business.
inline bool Irregular(const char* p, const char* end) {
  const char c = *p;
  return c == '\0' || c == kCtrlZ || (c == '\r' && (p + 1 == end || p[1] != '\n'));
}

// An LF without its CR (begin is a line start, so an LF there ends an empty line).
inline bool BareLf(const char* begin, const char* p) {
  return *p == '\n' && (p == begin || p[-1] != '\r');
}

// From p (64 * k bytes after begin) on, one byte at a time; also the LF bits of
// every word from p's to end's.
BlockScan ScanBlockScalar(const char* begin, const char* p, const char* end, bool bareLf,
                          std::uint64_t* bits) {
  const auto offset = [begin](const char* q) { return static_cast<std::size_t>(q - begin); };
  std::fill(bits + offset(p) / 64, bits + offset(end) / 64 + 1, std::uint64_t{0});
  for (; p < end; ++p) {
    if (Irregular(p, end)) return {p, bareLf};
    if (*p == '\n') bits[offset(p) / 64] |= std::uint64_t{1} << (offset(p) % 64);
    bareLf = bareLf || BareLf(begin, p);
  }
  return {end, bareLf};
}

const char* LastLfScalar(const char* begin, const char* p) {
  while (p > begin) {
    if (*--p == '\n') return p;
  }
  return nullptr;
}

ScanLevel& CurrentLevel() {
  static ScanLevel level = WidestScanLevel();
  return level;
}

#if NARVO_X86_SIMD

const char* CandidateSse2(const Needle& n, const char* p, const char* stop) {
  const __m128i w1 = _mm_set1_epi8(n.want[n.anchor1]);
  const __m128i f1 = _mm_set1_epi8(n.fold[n.anchor1]);
  const __m128i w2 = _mm_set1_epi8(n.want[n.anchor2]);
  const __m128i f2 = _mm_set1_epi8(n.fold[n.anchor2]);
  while (stop - p >= 16) {
    const __m128i x =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n.anchor1)), f1);
    const __m128i y =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n.anchor2)), f2);
    const unsigned m = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, w1), _mm_cmpeq_epi8(y, w2))));
    if (m != 0) return p + __builtin_ctz(m);
    p += 16;
  }
  return CandidateScalar(n, p, stop);
}

// The needles the AVX2 scan for several keys holds in registers; more go the SSE2 way.
constexpr std::size_t kMostNeedlesAvx2 = 8;

// The anchors of a needle, one byte each broadcast over a vector.
struct Anchors256 {
  __m256i want1, fold1, want2, fold2;
  std::size_t offset1, offset2;
};

__attribute__((target("avx2"))) Anchors256 LoadAnchors256(const Needle& n) {
  return {_mm256_set1_epi8(n.want[n.anchor1]),
          _mm256_set1_epi8(n.fold[n.anchor1]),
          _mm256_set1_epi8(n.want[n.anchor2]),
          _mm256_set1_epi8(n.fold[n.anchor2]),
          n.anchor1,
          n.anchor2};
}

// Bit i set when the anchors match for a needle starting at q + i.
__attribute__((target("avx2"))) inline std::uint32_t AnchorMask256(const Anchors256& a,
                                                                   const char* q) {
  const __m256i x =
      _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + a.offset1)), a.fold1);
  const __m256i y =
      _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + a.offset2)), a.fold2);
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(
      _mm256_and_si256(_mm256_cmpeq_epi8(x, a.want1), _mm256_cmpeq_epi8(y, a.want2))));
}

__attribute__((target("avx2"))) const char* CandidateAvx2(const Needle& n, const char* p,
                                                          const char* stop) {
  const Anchors256 a = LoadAnchors256(n);
  // Two vectors a round keep the loop's own cost below the loads'.
  while (stop - p >= 64) {
    const std::uint32_t m0 = AnchorMask256(a, p);
    const std::uint32_t m1 = AnchorMask256(a, p + 32);
    if ((m0 | m1) != 0) return m0 != 0 ? p + __builtin_ctz(m0) : p + 32 + __builtin_ctz(m1);
    p += 64;
  }
  while (stop - p >= 32) {
    const std::uint32_t m = AnchorMask256(a, p);
    if (m != 0) return p + __builtin_ctz(m);
    p += 32;
  }
  return CandidateScalar(n, p, stop);
}

__attribute__((target("avx2"))) const char* CandidateOfAnyAvx2(const std::vector<Needle>& needles,
                                                               const char* p, const char* stop) {
  Anchors256 anchors[kMostNeedlesAvx2];
  const std::size_t count = needles.size();
  for (std::size_t i = 0; i < count; ++i)
    anchors[i] = LoadAnchors256(needles[i]);
  while (stop - p >= 32) {
    std::uint32_t m = 0;
    for (std::size_t i = 0; i < count; ++i)
      m |= AnchorMask256(anchors[i], p);
    if (m != 0) return p + __builtin_ctz(m);
    p += 32;
  }
  return p;
}

const char* CandidateOfAnySse2(const std::vector<Needle>& needles, const char* p,
                               const char* stop) {
  while (stop - p >= 16) {
    unsigned m = 0;
    for (const Needle& n : needles) {
      const __m128i x =
          _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n.anchor1)),
                       _mm_set1_epi8(n.fold[n.anchor1]));
      const __m128i y =
          _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n.anchor2)),
                       _mm_set1_epi8(n.fold[n.anchor2]));
      m |= static_cast<unsigned>(
          _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(n.want[n.anchor1])),
                                          _mm_cmpeq_epi8(y, _mm_set1_epi8(n.want[n.anchor2])))));
    }
    if (m != 0) return p + __builtin_ctz(m);
    p += 16;
  }
  return p;
}

// The block scans look at 64 bytes a round through bit masks: a CR must have
// an LF in the next bit, an LF a CR in the bit before; the round's last CR
// waits for the next round's first byte.
struct Masks64 {
  std::uint64_t cr, lf, odd;  // odd: NUL and Ctrl-Z
};

// Finishes a round: the irregular byte or the LF without CR it shows, if any.
inline bool Settle(const Masks64& m, const char* p, std::uint64_t* crBefore, BlockScan* scan) {
  if (*crBefore != 0 && (m.lf & 1) == 0) {
    scan->irregular = p - 1;
    return true;
  }
  const std::uint64_t loneCr = m.cr & ~(m.lf >> 1) & ~(std::uint64_t{1} << 63);
  const std::uint64_t irregular = m.odd | loneCr;
  scan->bareLf = scan->bareLf || (m.lf & ~((m.cr << 1) | *crBefore)) != 0;
  *crBefore = m.cr >> 63;
  if (irregular == 0) return false;
  scan->irregular = p + __builtin_ctzll(irregular);
  return true;
}

// The bytes after the last whole round, one at a time.
BlockScan ScanTail(const char* begin, const char* p, const char* end, std::uint64_t crBefore,
                   BlockScan scan, std::uint64_t* bits) {
  if (crBefore != 0 && (p == end || *p != '\n')) return {p - 1, scan.bareLf};
  return ScanBlockScalar(begin, p, end, scan.bareLf, bits);
}

// Text of CR LF lines alone: every LF right after a CR, every CR right before
// an LF (the round's last one is settled by the next round), no NUL, no end mark.
inline bool PlainCrLf(const Masks64& m, std::uint64_t crBefore) {
  return m.odd == 0 && m.lf == ((m.cr << 1) | crBefore);
}

// Takes the masks of the round at p: notes its LFs, and settles it the quick
// way or the exact one; false when it found the block's first irregular byte.
inline bool TakeRound(const Masks64& m, const char* begin, const char* p, std::uint64_t* bits,
                      std::uint64_t* crBefore, BlockScan* scan) {
  bits[(p - begin) / 64] = m.lf;
  if (PlainCrLf(m, *crBefore)) {
    *crBefore = m.cr >> 63;
    return true;
  }
  return !Settle(m, p, crBefore, scan);
}

BlockScan ScanBlockSse2(const char* begin, const char* end, std::uint64_t* bits) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ctrlZ = _mm_set1_epi8(kCtrlZ);
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  BlockScan scan{end, false};
  std::uint64_t crBefore = 0;
  const char* p = begin;
  for (; end - p >= 64; p += 64) {
    Masks64 m{0, 0, 0};
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      const auto bits16 = [k](int mask) {
        return static_cast<std::uint64_t>(static_cast<unsigned>(mask)) << (16 * k);
      };
      m.cr |= bits16(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
      m.lf |= bits16(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
      m.odd |= bits16(
          _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, zero), _mm_cmpeq_epi8(v, ctrlZ))));
    }
    if (!TakeRound(m, begin, p, bits, &crBefore, &scan)) return scan;
  }
  return ScanTail(begin, p, end, crBefore, scan, bits);
}

// One round of 64 bytes at p, looked at exactly, its LFs noted; false when it
// found the block's first irregular byte.
__attribute__((target("avx2"))) inline bool ExactRoundAvx2(const char* begin, const char* p,
                                                           std::uint64_t* bits,
                                                           std::uint64_t* crBefore,
                                                           BlockScan* scan) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i ctrlZ = _mm256_set1_epi8(kCtrlZ);
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  auto join = [](int low, int high) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(low)) |
           static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32;
  };
  const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  const Masks64 m{join(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v0, cr)),
                       _mm256_movemask_epi8(_mm256_cmpeq_epi8(v1, cr))),
                  join(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v0, lf)),
                       _mm256_movemask_epi8(_mm256_cmpeq_epi8(v1, lf))),
                  join(_mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v0, zero),
                                                            _mm256_cmpeq_epi8(v0, ctrlZ))),
                       _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v1, zero),
                                                            _mm256_cmpeq_epi8(v1, ctrlZ))))};
  return TakeRound(m, begin, p, bits, crBefore, scan);
}

__attribute__((target("avx2"))) BlockScan ScanBlockAvx2(const char* begin, const char* end,
                                                        std::uint64_t* bits) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i ctrlZ = _mm256_set1_epi8(kCtrlZ);
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  BlockScan scan{end, false};
  std::uint64_t crBefore = 0;
  const char* p = begin;
  const auto exactRound = [&] { return ExactRoundAvx2(begin, p, bits, &crBefore, &scan); };
  // The first round the exact way, so the quick rounds may look at the byte before each.
  if (end - p >= 64) {
    if (!exactRound()) return scan;
    p += 64;
  }
  // Quick rounds while the text is CR LF lines alone: an LF exactly where the
  // byte before is a CR (a lone CR fails at the byte after it), no NUL, no end
  // mark. The first round that fails, and what is left, get the exact look.
  for (; p > begin && end - p >= 128; p += 128) {
    __m256i odd = zero;
    std::uint32_t lfs[4];
    for (int k = 0; k < 4; ++k) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k));
      const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k - 1));
      const __m256i isLf = _mm256_cmpeq_epi8(v, lf);
      lfs[k] = static_cast<std::uint32_t>(_mm256_movemask_epi8(isLf));
      odd = _mm256_or_si256(
          odd, _mm256_or_si256(
                   _mm256_xor_si256(isLf, _mm256_cmpeq_epi8(before, cr)),
                   _mm256_or_si256(_mm256_cmpeq_epi8(v, zero), _mm256_cmpeq_epi8(v, ctrlZ))));
    }
    if (!_mm256_testz_si256(odd, odd)) break;
    bits[(p - begin) / 64] = lfs[0] | std::uint64_t{lfs[1]} << 32;
    bits[(p - begin) / 64 + 1] = lfs[2] | std::uint64_t{lfs[3]} << 32;
  }
  crBefore = p > begin && p[-1] == '\r';
  for (; end - p >= 64; p += 64) {
    if (!exactRound()) return scan;
  }
  return ScanTail(begin, p, end, crBefore, scan, bits);
}

// Lines are short, so one vector from the end usually finds the line start.
const char* LastLfSse2(const char* begin, const char* p) {
  const __m128i lf = _mm_set1_epi8('\n');
  while (p - begin >= 16) {
    p -= 16;
    const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), lf)));
    if (m != 0) return p + 31 - __builtin_clz(m);
  }
  return LastLfScalar(begin, p);
}

__attribute__((target("avx2"))) const char* LastLfAvx2(const char* begin, const char* p) {
  const __m256i lf = _mm256_set1_epi8('\n');
  while (p - begin >= 32) {
    p -= 32;
    const std::uint32_t m = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), lf)));
    if (m != 0) return p + 31 - __builtin_clz(m);
  }
  return LastLfSse2(begin, p);
}

// AVX-512 (byte and word instructions): the compares give bit masks directly.
#define NARVO_AVX512 __attribute__((target("avx512f,avx512bw")))

NARVO_AVX512 const char* CandidateAvx512(const Needle& n, const char* p, const char* stop) {
  const __m512i want1 = _mm512_set1_epi8(n.want[n.anchor1]);
  const __m512i fold1 = _mm512_set1_epi8(n.fold[n.anchor1]);
  const __m512i want2 = _mm512_set1_epi8(n.want[n.anchor2]);
  const __m512i fold2 = _mm512_set1_epi8(n.fold[n.anchor2]);
  while (stop - p >= 64) {
    const __m512i x = _mm512_or_si512(_mm512_loadu_si512(p + n.anchor1), fold1);
    const __m512i y = _mm512_or_si512(_mm512_loadu_si512(p + n.anchor2), fold2);
    const std::uint64_t m = _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(x, want1), y, want2);
    if (m != 0) return p + std::countr_zero(m);
    p += 64;
  }
  return CandidateAvx2(n, p, stop);
}

NARVO_AVX512 BlockScan ScanBlockAvx512(const char* begin, const char* end, std::uint64_t* bits) {
  const __m512i cr = _mm512_set1_epi8('\r');
  const __m512i lf = _mm512_set1_epi8('\n');
  // A byte equals its entry, picked by its low four bits, only when it is a NUL
  // or an end mark (bytes of 0x80 and up pick 0).
  static constexpr auto kOddTable = [] {
    std::array<char, 64> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
      table[i] = i % 16 == 0 ? '\0' : i % 16 == kCtrlZ % 16 ? kCtrlZ : '\xff';
    return table;
  }();
  const __m512i oddTable = _mm512_loadu_si512(kOddTable.data());
  BlockScan scan{end, false};
  std::uint64_t crBefore = 0;
  const char* p = begin;
  for (; end - p >= 64; p += 64) {
    const __m512i v = _mm512_loadu_si512(p);
    const Masks64 m{_mm512_cmpeq_epi8_mask(v, cr), _mm512_cmpeq_epi8_mask(v, lf),
                    _mm512_cmpeq_epi8_mask(_mm512_shuffle_epi8(oddTable, v), v)};
    if (!TakeRound(m, begin, p, bits, &crBefore, &scan)) return scan;
  }
  return ScanTail(begin, p, end, crBefore, scan, bits);
}

#endif  // NARVO_X86_SIMD

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
    for (int c = 0; c < 256; ++c) {
      if (!set[c]) continue;
      if (set.count() == 1) {
        n.want[i] = static_cast<char>(c);
        weight[i] = frequency[c];
      } else if (set.count() == 2 && IsLowerLetter(c) && set[c - 0x20]) {
        n.want[i] = static_cast<char>(c);
        n.fold[i] = 0x20;
        weight[i] = frequency[c] + frequency[c - 0x20];
      }
    }
  }
  if (possible.empty()) n.never = true;
  if (n.never) return n;
  ChooseAnchors(weight, &n);
  n.anchored = weight[n.anchor1] < kUntestable;
  if (weight[n.anchor2] >= kUntestable) n.anchor2 = n.anchor1;
  return n;
}

bool NeedleAt(const Needle& needle, const char* p) {
  const std::size_t size = needle.want.size();
  for (std::size_t k = 0; k < size; ++k) {
    if (static_cast<char>(p[k] | needle.fold[k]) != needle.want[k]) return false;
  }
  return true;
}

const char* NextCandidate(const Needle& needle, const char* begin, const char* end) {
  const std::size_t size = needle.want.size();
  if (needle.never || end - begin < static_cast<std::ptrdiff_t>(size)) return end;
  if (!needle.anchored) return begin;
  const char* const stop = end - size + 1;
  const char* c;
  switch (CurrentLevel()) {
#if NARVO_X86_SIMD
    case ScanLevel::Avx512:
      c = CandidateAvx512(needle, begin, stop);
      break;
    case ScanLevel::Avx2:
      c = CandidateAvx2(needle, begin, stop);
      break;
    case ScanLevel::Sse2:
      c = CandidateSse2(needle, begin, stop);
      break;
#endif
    default:
      c = CandidateScalar(needle, begin, stop);
      break;
  }
  return c == stop ? end : c;
}

const char* NextCandidateOfAny(const std::vector<Needle>& needles, const char* begin,
                               const char* end) {
  if (needles.size() == 1) return NextCandidate(needles.front(), begin, end);
  std::size_t longest = 0;
  for (const Needle& n : needles) {
    if (n.want.size() > longest) longest = n.want.size();
    // Where it fits at all, it fits at begin.
    if (!n.anchored && end - begin >= static_cast<std::ptrdiff_t>(n.want.size())) return begin;
  }
  const char* p = begin;
#if NARVO_X86_SIMD
  // Whole vectors only where every needle fits; the rest goes one byte at a time.
  if (end - begin >= static_cast<std::ptrdiff_t>(longest) && CurrentLevel() != ScanLevel::Plain) {
    const char* const stop = end - longest + 1;
    p = CurrentLevel() >= ScanLevel::Avx2 && needles.size() <= kMostNeedlesAvx2
            ? CandidateOfAnyAvx2(needles, begin, stop)
            : CandidateOfAnySse2(needles, begin, stop);
  }
#endif
  for (; p < end; ++p) {
    for (const Needle& n : needles) {
      if (!n.never && end - p >= static_cast<std::ptrdiff_t>(n.want.size()) && AnchorsAt(n, p)) {
        return p;
      }
    }
  }
  return end;
}

const char* LastLf(const char* begin, const char* end) {
  switch (CurrentLevel()) {
#if NARVO_X86_SIMD
    case ScanLevel::Avx512:
    case ScanLevel::Avx2:
      return LastLfAvx2(begin, end);
    case ScanLevel::Sse2:
      return LastLfSse2(begin, end);
#endif
    default:
      return LastLfScalar(begin, end);
  }
}

BlockScan ScanBlock(const char* begin, const char* end, LineEnds* lineEnds) {
  lineEnds->base = begin;
  const std::size_t words = static_cast<std::size_t>(end - begin) / 64 + 1;
  if (lineEnds->bits.size() < words) lineEnds->bits.resize(words);
  std::uint64_t* const bits = lineEnds->bits.data();
  if (begin == end) return {end, false};
  switch (CurrentLevel()) {
#if NARVO_X86_SIMD
    case ScanLevel::Avx512:
      return ScanBlockAvx512(begin, end, bits);
    case ScanLevel::Avx2:
      return ScanBlockAvx2(begin, end, bits);
    case ScanLevel::Sse2:
      return ScanBlockSse2(begin, end, bits);
#endif
    default:
      return ScanBlockScalar(begin, begin, end, false, bits);
  }
}

const char* LineStartBefore(const LineEnds& lineEnds, const char* floor, const char* at) {
  const auto offset = static_cast<std::size_t>(at - lineEnds.base);
  const std::size_t floorWord = static_cast<std::size_t>(floor - lineEnds.base) / 64;
  std::size_t word = offset / 64;
  std::uint64_t before = lineEnds.bits[word] & ((std::uint64_t{1} << (offset % 64)) - 1);
  while (before == 0) {
    if (word == floorWord) return floor;
    before = lineEnds.bits[--word];
  }
  const char* lf = lineEnds.base + word * 64 + (63 - std::countl_zero(before));
  return lf < floor ? floor : lf + 1;
}

const char* LineEndAfter(const LineEnds& lineEnds, const char* at) {
  const auto offset = static_cast<std::size_t>(at - lineEnds.base);
  std::size_t word = offset / 64;
  std::uint64_t after = lineEnds.bits[word] & (~std::uint64_t{0} << (offset % 64));
  while (after == 0)
    after = lineEnds.bits[++word];
  return lineEnds.base + word * 64 + std::countr_zero(after) + 1;
}

ScanLevel WidestScanLevel() {
#if NARVO_X86_SIMD
  // Windows stays with AVX2: the AVX-512 level gains a few per cent, and the
  // Windows build is tested under wine only, where one run with it missed a
  // line (wine 8 may not keep the AVX-512 registers across its thread
  // suspensions); AVX2 is what the Windows build has always been tested with.
#if !defined(_WIN32)
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f")) {
    return ScanLevel::Avx512;
  }
#endif
  return __builtin_cpu_supports("avx2") ? ScanLevel::Avx2 : ScanLevel::Sse2;
#else
  return ScanLevel::Plain;
#endif
}

void UseScanLevel(ScanLevel level) {
  CurrentLevel() = level < WidestScanLevel() ? level : WidestScanLevel();
}

}  // namespace narvo
