// The portable level: what every processor runs without a vector extension
// (and every build made with NARVO_SIMD off). Its "vector" is a 64-bit word
// tested a byte at a time by carry-free arithmetic; where the C library has a
// vectorised routine for the job (memchr, memrchr), that routine does it.
#include "engine/scan_levels.h"

namespace narvo {
namespace {

namespace portable {
#include "engine/scan_generic.h"

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7f;
constexpr std::uint64_t kHigh = 0x8080808080808080;

// Eight bytes in a word, the first in the lowest bits; a compare result has
// 0x80 in each byte that compared equal, else 0.
struct Word {
  static constexpr std::size_t kWidth = 8;
  using Vec = std::uint64_t;
  using Cmp = std::uint64_t;
  static Vec Splat(char c) { return kOnes * static_cast<unsigned char>(c); }
  static Vec Load(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
  }
  static Vec Or(Vec a, Vec b) { return a | b; }
  // Exact in every byte: no carry crosses from one byte into the next.
  static Cmp Eq(Vec a, Vec b) {
    const std::uint64_t x = a ^ b;
    return ~(((x & kLow7) + kLow7) | x) & kHigh;
  }
  static Cmp And(Cmp x, Cmp y) { return x & y; }
  static Cmp Either(Cmp x, Cmp y) { return x | y; }
  static Cmp Differ(Cmp x, Cmp y) { return x ^ y; }
  static bool None(Cmp x) { return x == 0; }
  // The high bit of byte i to bit i: the products of different bytes never
  // meet in one bit, so nothing carries.
  static std::uint64_t Bits(Cmp x) { return ((x >> 7) * 0x0102040810204080) >> 56; }
  static Cmp NulOrEndMark(Vec v) { return Eq(v, 0) | Eq(v, Splat(kEndMark)); }
};

// Not zero when the word holds a byte below 0x1B: a line end, a NUL or an end
// mark may be there. Exactly zero otherwise (a borrow starts only at such a byte).
inline std::uint64_t MayHoldControl(std::uint64_t w) {
  return (w - kOnes * 0x1B) & ~w & kHigh;
}

// Not zero when the word holds a NUL or an end mark; the lowest flagged byte is
// one (a flag above it may be false, which no caller minds: the block's first
// irregular byte is the lowest flag of all).
inline std::uint64_t MayHoldOdd(std::uint64_t w) {
  const std::uint64_t z = w ^ (kOnes * static_cast<unsigned char>(kEndMark));
  return ((w - kOnes) & ~w & kHigh) | ((z - kOnes) & ~z & kHigh);
}

// The masks of a word at bit k of a round.
inline void AddWord(std::uint64_t w, std::size_t k, Masks64* m) {
  m->cr |= Word::Bits(Word::Eq(w, Word::Splat(kCr))) << k;
  m->lf |= Word::Bits(Word::Eq(w, Word::Splat('\n'))) << k;
  const std::uint64_t odd = MayHoldOdd(w);
  if (odd != 0) m->odd |= Word::Bits(odd) << k;
}

// A round of 64 bytes: only the pairs of words that may hold a control byte
// get the exact compares (in text most hold none, and a CR LF split between
// two words costs one guess, not two).
BlockScan ScanBlockWords(const char* begin, const char* end, std::uint64_t* bits) {
  BlockScan scan{end, false};
  std::uint64_t crBefore = 0;
  const char* p = begin;
  for (; end - p >= 64; p += 64) {
    Masks64 m{0, 0, 0};
    for (std::size_t k = 0; k < 64; k += 2 * Word::kWidth) {
      const std::uint64_t w0 = Word::Load(p + k);
      const std::uint64_t w1 = Word::Load(p + k + Word::kWidth);
      if ((MayHoldControl(w0) | MayHoldControl(w1)) == 0) continue;
      AddWord(w0, k, &m);
      AddWord(w1, k + Word::kWidth, &m);
    }
    if (!TakeRound(m, begin, p, bits, &crBefore, &scan)) return scan;
  }
  return ScanTail(begin, p, end, crBefore, scan, bits);
}

// The first c in [from, to) with c[0] == byte, else to.
inline const char* Find(const char* from, const char* to, char byte) {
  const void* hit = std::memchr(from, byte, static_cast<std::size_t>(to - from));
  return hit != nullptr ? static_cast<const char*>(hit) : to;
}

// A letter in either case: memchr for each, window by window, every byte
// looked at once per case; the hits of both come in order. Windows double
// while they hold no candidate, so a call looks little beyond its candidate.
const char* CandidateEitherCase(const Needle& n, const char* p, const char* stop) {
  const std::size_t at = n.anchor1;
  const char lower = n.want[at];
  const char upper = static_cast<char>(lower & ~n.fold[at]);
  std::size_t window = 256;
  while (p < stop) {
    const char* const windowEnd = p + std::min(window, static_cast<std::size_t>(stop - p));
    const char* const to = windowEnd + at;
    const char* lo = Find(p + at, to, lower);
    const char* up = Find(p + at, to, upper);
    while (lo != to || up != to) {
      const char* const hit = std::min(lo, up);
      if (AnchorAt(n, hit - at, n.anchor2)) return hit - at;
      if (hit == lo) {
        lo = Find(lo + 1, to, lower);
      } else {
        up = Find(up + 1, to, upper);
      }
    }
    p = windowEnd;
    window = std::min<std::size_t>(window * 2, 1 << 16);
  }
  return stop;
}

// memchr finds the rarest byte, in one case or in two.
const char* CandidateWords(const Needle& n, const char* p, const char* stop) {
  if (n.fold[n.anchor1] == 0) return CandidateScalar(n, p, stop);
  return CandidateEitherCase(n, p, stop);
}

const char* LastLfWords(const char* begin, const char* end) {
#if defined(NARVO_HAVE_MEMRCHR)
  return static_cast<const char*>(memrchr(begin, '\n', static_cast<std::size_t>(end - begin)));
#else
  return LastLf<Word>(begin, end);
#endif
}
}  // namespace portable

}  // namespace

constinit const ScanKernels kPortableKernels = {ScanLevel::Portable,
                                                portable::CandidateWords,
                                                nullptr,
                                                portable::CandidateBits<portable::Word>,
                                                portable::CandidateOfAny<portable::Word>,
                                                portable::LastLfWords,
                                                portable::ScanBlockWords};

}  // namespace narvo
