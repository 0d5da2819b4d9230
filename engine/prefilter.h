// Raw-byte scans over a whole read buffer: where could a keyword start, and
// where does a block hold a byte the fast path must not handle itself. They may
// report a candidate that is no occurrence, never miss one; the matcher decides.
// The scans use SSE2 or AVX2 where the processor has them, memchr elsewhere.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "helpers/text.h"

namespace narvo {

// How wide the scans go: plain loops (and memchr), SSE2, AVX2 or AVX-512 (with
// byte compares into mask registers) vectors.
enum class ScanLevel { Plain, Sse2, Avx2, Avx512 };

// The widest level this processor runs.
ScanLevel WidestScanLevel();

// Makes the scans use level, or the widest there is when that is narrower
// (they start at the widest; the tests run each level).
void UseScanLevel(ScanLevel level);

// A keyword in the form the buffer scans compare bytes with.
struct Needle {
  std::string want;         // the lower-cased keyword's bytes
  std::string fold;         // per byte 0x20 where a letter matches either case, else 0
  std::size_t anchor1 = 0;  // offsets of the keyword's two rarest bytes
  std::size_t anchor2 = 0;
  double frequency = 1.0;  // how often the two anchors may meet in a line, for choosing
  bool never = false;      // no line can hold it (empty, or a byte a line never has)
  bool anchored = true;    // false: no byte the scans can test, every position is a candidate
};

// The byte values that may stand at one offset of an occurrence.
using ByteSet = std::bitset<256>;

// The needle for a keyword lower-cased in the data's encoding; only letters
// standing as characters of their own fold (in Shift-JIS, not trail bytes).
Needle MakeNeedle(std::string_view lowerTerm, Encoding encoding);

// A needle that only narrows the search, for lower-casing beyond ASCII: possible
// holds, per offset, every byte an occurrence may have there. The anchors are
// offsets whose set the scans can test (one value, or one letter in either
// case); NeedleAt means nothing for it.
Needle MakeLooseNeedle(const std::vector<ByteSet>& possible, Encoding encoding);

// True when the needle's bytes stand at p (p has at least want.size() bytes).
bool NeedleAt(const Needle& needle, const char* p);

// The first c in [begin, end) where the needle's anchors match and the needle
// fits before end; end when there is none.
const char* NextCandidate(const Needle& needle, const char* begin, const char* end);

// The same for several needles at once (none of them never): the first c where any may start.
const char* NextCandidateOfAny(const std::vector<Needle>& needles, const char* begin,
                               const char* end);

// The last LF in [begin, end), or nullptr when there is none.
const char* LastLf(const char* begin, const char* end);

// What ScanBlock found.
struct BlockScan {
  const char* irregular;  // first NUL, Ctrl-Z or CR not followed by LF; the end when none
  bool bareLf;            // an LF before irregular may lack its CR (false: every one has it)
};

// Where the LFs of a block are, as ScanBlock saw them: bit i % 64 of bits[i / 64]
// is set when base[i] is an LF. Known from base up to the block's irregular byte.
struct LineEnds {
  const char* base = nullptr;
  std::vector<std::uint64_t> bits;
};

// Looks once at a block that starts at a line start for the bytes the line
// reader treats specially, and notes its LFs in lineEnds.
BlockScan ScanBlock(const char* begin, const char* end, LineEnds* lineEnds);

// The start of the line holding at, from the LFs of the block at and floor are
// in; floor is a line start at or before at.
const char* LineStartBefore(const LineEnds& lineEnds, const char* floor, const char* at);

// Just after the LF that ends the line holding at; the block has it before its irregular byte.
const char* LineEndAfter(const LineEnds& lineEnds, const char* at);

}  // namespace narvo
