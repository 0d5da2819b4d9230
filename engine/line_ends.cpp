#include "engine/line_ends.h"

#include <bit>
#include <cstddef>

namespace narvo {

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

}  // namespace narvo
