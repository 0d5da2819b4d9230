#include "engine/prefilter.h"

#include <algorithm>
#include <cstddef>

namespace narvo {

const char* NextCandidate(const ScanKernels& kernels, const Needle& needle, const char* begin,
                          const char* end) {
  const std::size_t size = needle.want.size();
  if (needle.never || end - begin < static_cast<std::ptrdiff_t>(size)) return end;
  if (!needle.anchored) return begin;
  const char* const stop = end - size + 1;
  const char* c = kernels.candidate(needle, begin, stop);
  return c == stop ? end : c;
}

const char* NextCandidateOfAny(const ScanKernels& kernels, const std::vector<Needle>& needles,
                               const char* begin, const char* end) {
  if (needles.size() == 1) return NextCandidate(kernels, needles.front(), begin, end);
  std::size_t longest = 0;
  for (const Needle& n : needles) {
    if (n.want.size() > longest) longest = n.want.size();
    // Where it fits at all, it fits at begin.
    if (!n.anchored && end - begin >= static_cast<std::ptrdiff_t>(n.want.size())) return begin;
  }
  const char* p = begin;
  // Whole vectors only where every needle fits; the rest goes one byte at a time.
  if (end - begin >= static_cast<std::ptrdiff_t>(longest)) {
    p = kernels.candidateOfAny(needles, begin, end - longest + 1);
  }
  for (; p < end; ++p) {
    for (const Needle& n : needles) {
      if (!n.never && end - p >= static_cast<std::ptrdiff_t>(n.want.size()) && AnchorsAt(n, p)) {
        return p;
      }
    }
  }
  return end;
}

void MarkCandidates(const ScanKernels& kernels, const Needle& needle, const char* end,
                    LineEnds* lineEnds) {
  const char* const begin = lineEnds->base;
  const std::size_t words = static_cast<std::size_t>(end - begin) / 64 + 1;
  if (lineEnds->candidates.size() < words) lineEnds->candidates.resize(words);
  std::uint64_t* const bits = lineEnds->candidates.data();
  lineEnds->candidatesEnd = end;
  const auto size = static_cast<std::ptrdiff_t>(needle.want.size());
  if (needle.never || end - begin < size) {
    std::fill(bits, bits + words, std::uint64_t{0});
  } else if (!needle.anchored) {
    // Every position where it fits.
    const auto fits = static_cast<std::size_t>(end - begin - size + 1);
    std::fill(bits, bits + words, ~std::uint64_t{0});
    bits[fits / 64] &= (std::uint64_t{1} << (fits % 64)) - 1;
    std::fill(bits + fits / 64 + 1, bits + words, std::uint64_t{0});
  } else {
    const char* const stop = end - size + 1;
    kernels.candidateBits(needle, begin, stop, bits);
    std::fill(bits + (stop - begin) / 64 + 1, bits + words, std::uint64_t{0});
  }
}

const char* LastLf(const ScanKernels& kernels, const char* begin, const char* end) {
  return kernels.lastLf(begin, end);
}

const char* LastLf(const char* begin, const char* end) {
  return WidestKernels().lastLf(begin, end);
}

BlockScan ScanBlock(const ScanKernels& kernels, const char* begin, const char* end,
                    LineEnds* lineEnds) {
  lineEnds->base = begin;
  lineEnds->candidatesEnd = nullptr;
  const std::size_t words = static_cast<std::size_t>(end - begin) / 64 + 1;
  if (lineEnds->bits.size() < words) lineEnds->bits.resize(words);
  if (begin == end) return {end, false};
  return kernels.scanBlock(begin, end, lineEnds->bits.data());
}

}  // namespace narvo
