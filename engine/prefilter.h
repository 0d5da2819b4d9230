// Raw-byte scans over a whole read buffer: where could a keyword start, and
// where does a block hold a byte the fast path must not handle itself. They may
// report a candidate that is no occurrence, never miss one; the matcher decides.
// Each scan takes the kernels of one level (engine/scan_kernels.h).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/line_ends.h"
#include "engine/needle_plan.h"
#include "engine/scan_kernels.h"

namespace narvo {

// The first c in [begin, end) where the needle's anchors match and the needle
// fits before end; end when there is none.
const char* NextCandidate(const ScanKernels& kernels, const Needle& needle, const char* begin,
                          const char* end);

// The same for several needles at once (none of them never): the first c where any may start.
const char* NextCandidateOfAny(const ScanKernels& kernels, const std::vector<Needle>& needles,
                               const char* begin, const char* end);

// Marks in lineEnds, the block scan's, every c from its base up to end where
// the needle's anchors match and it fits before end.
void MarkCandidates(const ScanKernels& kernels, const Needle& needle, const char* end,
                    LineEnds* lineEnds);

// The last LF in [begin, end), or nullptr when there is none.
const char* LastLf(const ScanKernels& kernels, const char* begin, const char* end);
const char* LastLf(const char* begin, const char* end);

// Looks once at a block that starts at a line start for the bytes the line
// reader treats specially, and notes its LFs in lineEnds.
BlockScan ScanBlock(const ScanKernels& kernels, const char* begin, const char* end,
                    LineEnds* lineEnds);

}  // namespace narvo
