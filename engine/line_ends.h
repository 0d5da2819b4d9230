// The LFs of a block as one bit per byte, and the line bounds read from them:
// the block scan writes the bits once, every candidate then finds its line in a
// word or two instead of looking at bytes.
#pragma once

#include <bit>
#include <cstddef>
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
// irregular byte. Where lines are searched for one keyword, also where it may
// start, the same way, before candidatesEnd.
struct LineEnds {
  const char* base = nullptr;
  std::vector<std::uint64_t> bits;
  std::vector<std::uint64_t> candidates;
  const char* candidatesEnd = nullptr;  // nullptr: not marked
};

// The first marked candidate in [at, end), end <= candidatesEnd; end when none.
inline const char* NextMarkedCandidate(const LineEnds& lineEnds, const char* at, const char* end) {
  const auto offset = static_cast<std::size_t>(at - lineEnds.base);
  const std::size_t last = static_cast<std::size_t>(end - lineEnds.base) / 64;
  std::size_t word = offset / 64;
  std::uint64_t m = lineEnds.candidates[word] & (~std::uint64_t{0} << (offset % 64));
  while (m == 0) {
    if (word >= last) return end;
    m = lineEnds.candidates[++word];
  }
  const char* c = lineEnds.base + word * 64 + std::countr_zero(m);
  return c < end ? c : end;
}

// The start of the line holding at, from the LFs of the block at and floor are
// in; floor is a line start at or before at.
inline const char* LineStartBefore(const LineEnds& lineEnds, const char* floor, const char* at) {
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

// Just after the LF that ends the line holding at; the block has it before its irregular byte.
inline const char* LineEndAfter(const LineEnds& lineEnds, const char* at) {
  const auto offset = static_cast<std::size_t>(at - lineEnds.base);
  std::size_t word = offset / 64;
  std::uint64_t after = lineEnds.bits[word] & (~std::uint64_t{0} << (offset % 64));
  while (after == 0)
    after = lineEnds.bits[++word];
  return lineEnds.base + word * 64 + std::countr_zero(after) + 1;
}

}  // namespace narvo
