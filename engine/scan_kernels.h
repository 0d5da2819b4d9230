// The buffer scans, one table of functions per vector width the processor may
// run. Each kernel is written once over a small vector type; the levels differ
// only in that type. The widest level is chosen once, at the first use.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/line_ends.h"
#include "engine/needle_plan.h"

namespace narvo {

// How wide the scans go: portable code (memchr and 64-bit words), SSE2, AVX2,
// AVX-512 (byte compares into mask registers) or NEON vectors.
enum class ScanLevel { Portable, Sse2, Avx2, Avx512, Neon };

// The scans of one level.
struct ScanKernels {
  ScanLevel level;
  // The first c in [p, stop) where the needle's anchors match (it fits at
  // every such c); stop when there is none.
  const char* (*candidate)(const Needle& needle, const char* p, const char* stop);
  // The first c in [p, end) where the needle's anchors match and it fits, or
  // where a byte stands that makes a line's text differ from its bytes: a CR
  // without an LF after it (the line reader drops it, and an occurrence may
  // stand around it) or an end mark; end when there is none. nullptr at the
  // portable level, where memchr on the rarest byte is faster.
  const char* (*candidateOrSpecial)(const Needle& needle, const char* p, const char* end);
  // The same for every c in [begin, stop) at once, as bits: bit i % 64 of
  // bits[i / 64] for c = begin + i; writes (stop - begin) / 64 + 1 words.
  void (*candidateBits)(const Needle& needle, const char* begin, const char* stop,
                        std::uint64_t* bits);
  // The same for several needles (each fits at every c before stop), as far as
  // whole vectors go: the first candidate, else where the look ended (at most stop).
  const char* (*candidateOfAny)(const std::vector<Needle>& needles, const char* p,
                                const char* stop);
  // The last LF in [begin, end), or nullptr when there is none.
  const char* (*lastLf)(const char* begin, const char* end);
  // Looks at [begin, end), begin < end, begin a line start, for the bytes the
  // line reader treats specially; writes the LF bits of every 64-byte word up
  // to the irregular byte's to bits (end - begin) / 64 + 1 words.
  BlockScan (*scanBlock)(const char* begin, const char* end, std::uint64_t* bits);
};

// The levels this build has and this processor runs, narrowest first.
std::vector<ScanLevel> ScanLevelsHere();

// The widest level this processor runs.
ScanLevel WidestScanLevel();

// The scans of a level from ScanLevelsHere().
const ScanKernels& KernelsFor(ScanLevel level);

// The scans of the widest level.
const ScanKernels& WidestKernels();

}  // namespace narvo
