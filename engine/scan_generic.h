// The scan kernels, written once over a vector type V. A level's file includes
// this inside a namespace of its own (and, for a vector extension, inside a
// region compiled for it), so each level gets its own copy compiled for its
// processor; hence no include guard. Include engine/scan_levels.h first.
//
// V has: kWidth (bytes a vector holds, 8 to 64); Vec, a vector of bytes, and
// Cmp, per-byte results of compares; Splat(c), Load(p) (unaligned), Or(a, b)
// on vectors; Eq(a, b), equal bytes; And, Either, Differ (and, or, xor) on
// results; None(x), no byte set; Bits(x), bit i set for byte i; and
// NulOrEndMark(v), the bytes that are NUL or Ctrl-Z.

// Candidates c with p <= c < stop, one at a time.
inline const char* CandidateScalar(const Needle& n, const char* p, const char* stop) {
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

// The same one byte at a time: what the vector rounds leave.
inline const char* CandidateOrSpecialScalar(const Needle& n, const char* p, const char* end) {
  const auto fits = static_cast<std::ptrdiff_t>(n.want.size());
  for (; p < end; ++p) {
    if (*p != kNul && IsIrregularByte(p, end)) return p;  // a NUL changes no candidate
    if (end - p >= fits && AnchorsAt(n, p)) return p;
  }
  return end;
}

// An LF without its CR.
inline bool BareLf(const char* begin, const char* p) {
  return *p == '\n' && IsBareLf(begin, p);
}

// From p (64 * k bytes after begin) on, one byte at a time; also the LF bits of
// every word from p's to end's.
inline BlockScan ScanBlockScalar(const char* begin, const char* p, const char* end, bool bareLf,
                                 std::uint64_t* bits) {
  const auto offset = [begin](const char* q) { return static_cast<std::size_t>(q - begin); };
  std::fill(bits + offset(p) / 64, bits + offset(end) / 64 + 1, std::uint64_t{0});
  for (; p < end; ++p) {
    if (IsIrregularByte(p, end)) return {p, bareLf};
    if (*p == '\n') bits[offset(p) / 64] |= std::uint64_t{1} << (offset(p) % 64);
    bareLf = bareLf || BareLf(begin, p);
  }
  return {end, bareLf};
}

inline const char* LastLfScalar(const char* begin, const char* p) {
  while (p > begin) {
    if (*--p == '\n') return p;
  }
  return nullptr;
}

// The anchors of a needle, one byte each spread over a vector.
template <typename V>
struct Anchors {
  typename V::Vec want1, fold1, want2, fold2;
  std::size_t offset1, offset2;
};

template <typename V>
inline Anchors<V> LoadAnchors(const Needle& n) {
  return {V::Splat(n.want[n.anchor1]),
          V::Splat(n.fold[n.anchor1]),
          V::Splat(n.want[n.anchor2]),
          V::Splat(n.fold[n.anchor2]),
          n.anchor1,
          n.anchor2};
}

// Where the anchors match for a needle starting at q + i, and as bits.
template <typename V>
inline typename V::Cmp AnchorsMatch(const Anchors<V>& a, const char* q) {
  return V::And(V::Eq(V::Or(V::Load(q + a.offset1), a.fold1), a.want1),
                V::Eq(V::Or(V::Load(q + a.offset2), a.fold2), a.want2));
}

template <typename V>
inline std::uint64_t AnchorBits(const Anchors<V>& a, const char* q) {
  return V::Bits(AnchorsMatch(a, q));
}

template <typename V>
const char* Candidate(const Needle& n, const char* p, const char* stop) {
  constexpr std::ptrdiff_t w = V::kWidth;
  const Anchors<V> a = LoadAnchors<V>(n);
  // Two vectors a round keep the loop's own cost below the loads'.
  while (stop - p >= 2 * w) {
    const std::uint64_t m0 = AnchorBits(a, p);
    const std::uint64_t m1 = AnchorBits(a, p + w);
    if ((m0 | m1) != 0) return m0 != 0 ? p + std::countr_zero(m0) : p + w + std::countr_zero(m1);
    p += 2 * w;
  }
  while (stop - p >= w) {
    const std::uint64_t m = AnchorBits(a, p);
    if (m != 0) return p + std::countr_zero(m);
    p += w;
  }
  return CandidateScalar(n, p, stop);
}

// Where a candidate starts at q + i, or a CR without an LF after it stands
// there, or an end mark.
template <typename V>
inline typename V::Cmp CandidateOrSpecialAt(const Anchors<V>& a, const char* q) {
  const typename V::Vec v = V::Load(q);
  const typename V::Cmp cr = V::Eq(v, V::Splat(kCr));
  const typename V::Cmp loneCr = V::And(cr, V::Differ(cr, V::Eq(V::Load(q + 1), V::Splat('\n'))));
  return V::Either(V::Either(AnchorsMatch(a, q), loneCr), V::Eq(v, V::Splat(kEndMark)));
}

template <typename V>
const char* CandidateOrSpecial(const Needle& n, const char* p, const char* end) {
  constexpr std::ptrdiff_t w = V::kWidth;
  const Anchors<V> a = LoadAnchors<V>(n);
  // The loads reach the needle's last byte, and the byte after a CR.
  const auto size = static_cast<std::ptrdiff_t>(n.want.size());
  const std::ptrdiff_t reach = std::max<std::ptrdiff_t>(size, 2) - 1;
  while (end - p >= 2 * w + reach) {
    const typename V::Cmp m0 = CandidateOrSpecialAt(a, p);
    const typename V::Cmp m1 = CandidateOrSpecialAt(a, p + w);
    if (!V::None(V::Either(m0, m1))) {
      return V::None(m0) ? p + w + std::countr_zero(V::Bits(m1))
                         : p + std::countr_zero(V::Bits(m0));
    }
    p += 2 * w;
  }
  return CandidateOrSpecialScalar(n, p, end);
}

// Bit i % 64 of bits[i / 64] set when the anchors match at c = begin + i,
// for every c in [begin, stop) (the needle fits at each); the words up to
// (stop - begin) / 64 are written.
template <typename V>
void CandidateBits(const Needle& n, const char* begin, const char* stop, std::uint64_t* bits) {
  const Anchors<V> a = LoadAnchors<V>(n);
  const char* q = begin;
  for (; stop - q >= 64; q += 64) {
    std::uint64_t m = 0;
    for (std::size_t k = 0; k < 64; k += V::kWidth)
      m |= AnchorBits(a, q + k) << k;
    *bits++ = m;
  }
  std::uint64_t m = 0;
  for (const char* c = q; c < stop; ++c) {
    if (AnchorsAt(n, c)) m |= std::uint64_t{1} << (c - q);
  }
  *bits = m;
}

// The needles whose anchors stay in registers; with more, each round spreads them anew.
constexpr std::size_t kMostNeedlesHeld = 8;

template <typename V>
const char* CandidateOfAny(const std::vector<Needle>& needles, const char* p, const char* stop) {
  constexpr std::ptrdiff_t w = V::kWidth;
  const std::size_t count = needles.size();
  if (count > kMostNeedlesHeld) {
    for (; stop - p >= w; p += w) {
      std::uint64_t m = 0;
      for (const Needle& n : needles)
        m |= AnchorBits(LoadAnchors<V>(n), p);
      if (m != 0) return p + std::countr_zero(m);
    }
    return p;
  }
  Anchors<V> anchors[kMostNeedlesHeld];
  for (std::size_t i = 0; i < count; ++i)
    anchors[i] = LoadAnchors<V>(needles[i]);
  for (; stop - p >= w; p += w) {
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < count; ++i)
      m |= AnchorBits(anchors[i], p);
    if (m != 0) return p + std::countr_zero(m);
  }
  return p;
}

// Lines are short, so one vector from the end usually finds the line start.
template <typename V>
const char* LastLf(const char* begin, const char* p) {
  const typename V::Vec lf = V::Splat('\n');
  while (p - begin >= static_cast<std::ptrdiff_t>(V::kWidth)) {
    p -= V::kWidth;
    const std::uint64_t m = V::Bits(V::Eq(V::Load(p), lf));
    if (m != 0) return p + 63 - std::countl_zero(m);
  }
  return LastLfScalar(begin, p);
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
  scan->irregular = p + std::countr_zero(irregular);
  return true;
}

// The bytes after the last whole round, one at a time.
inline BlockScan ScanTail(const char* begin, const char* p, const char* end, std::uint64_t crBefore,
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

// The masks of the 64 bytes at p.
template <typename V>
inline Masks64 RoundMasks(const char* p) {
  Masks64 m{0, 0, 0};
  for (std::size_t k = 0; k < 64; k += V::kWidth) {
    const typename V::Vec v = V::Load(p + k);
    m.cr |= V::Bits(V::Eq(v, V::Splat(kCr))) << k;
    m.lf |= V::Bits(V::Eq(v, V::Splat('\n'))) << k;
    m.odd |= V::Bits(V::NulOrEndMark(v)) << k;
  }
  return m;
}

// The vector at q of a quick round: adds its LF bits to lfs at bit `at`, and
// gives the bytes that break CR LF text (an LF and the byte before it disagree
// on being CR LF, a NUL, an end mark).
template <typename V>
inline typename V::Cmp QuickVector(const char* q, std::uint64_t* lfs, std::size_t at) {
  const typename V::Vec v = V::Load(q);
  const typename V::Cmp isLf = V::Eq(v, V::Splat('\n'));
  lfs[at / 64] |= V::Bits(isLf) << (at % 64);
  return V::Either(V::Differ(isLf, V::Eq(V::Load(q - 1), V::Splat(kCr))), V::NulOrEndMark(v));
}

template <typename V>
BlockScan ScanBlock(const char* begin, const char* end, std::uint64_t* bits) {
  BlockScan scan{end, false};
  std::uint64_t crBefore = 0;
  const char* p = begin;
  // The first round the exact way, so the quick rounds may look at the byte before each.
  if (end - p >= 64) {
    if (!TakeRound(RoundMasks<V>(p), begin, p, bits, &crBefore, &scan)) return scan;
    p += 64;
  }
  // Quick rounds while the text is CR LF lines alone: an LF exactly where the
  // byte before is a CR (a lone CR fails at the byte after it), no NUL, no end
  // mark. The first round that fails, and what is left, get the exact look.
  for (; p > begin && end - p >= 128; p += 128) {
    std::uint64_t lfs[2] = {0, 0};
    typename V::Cmp odd = QuickVector<V>(p, lfs, 0);
    for (std::size_t k = V::kWidth; k < 128; k += V::kWidth)
      odd = V::Either(odd, QuickVector<V>(p + k, lfs, k));
    if (!V::None(odd)) break;
    bits[(p - begin) / 64] = lfs[0];
    bits[(p - begin) / 64 + 1] = lfs[1];
  }
  crBefore = p > begin && p[-1] == kCr;
  for (; end - p >= 64; p += 64) {
    if (!TakeRound(RoundMasks<V>(p), begin, p, bits, &crBefore, &scan)) return scan;
  }
  return ScanTail(begin, p, end, crBefore, scan, bits);
}

// The table of a level's scans.
template <typename V>
constexpr ScanKernels KernelsOf(ScanLevel level) {
  return {level,     Candidate<V>, CandidateOrSpecial<V>, CandidateBits<V>, CandidateOfAny<V>,
          LastLf<V>, ScanBlock<V>};
}
