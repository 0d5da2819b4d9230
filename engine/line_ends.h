// The LFs of a block as one bit per byte, and the line bounds read from them:
// the block scan writes the bits once, every candidate then finds its line in a
// word or two instead of looking at bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace narvo {

// What a block scan found.
struct BlockScan {
  const char* irregular;  // first NUL, Ctrl-Z or CR not followed by LF; the end when none
  bool bareLf;            // an LF before irregular may lack its CR (false: every one has it)
};

// Where the LFs of a block are, as the block scan saw them: bit i % 64 of
// bits[i / 64] is set when base[i] is an LF. Known from base up to the block's
// irregular byte.
struct LineEnds {
  const char* base = nullptr;
  std::vector<std::uint64_t> bits;
};

// The start of the line holding at, from the LFs of the block at and floor are
// in; floor is a line start at or before at.
const char* LineStartBefore(const LineEnds& lineEnds, const char* floor, const char* at);

// Just after the LF that ends the line holding at; the block has it before its irregular byte.
const char* LineEndAfter(const LineEnds& lineEnds, const char* at);

}  // namespace narvo
