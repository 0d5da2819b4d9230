// Keywords in the form the buffer scans compare bytes with: the keyword's
// bytes with their case folds, and the two rarest offsets the scans test first.
#pragma once

#include <bitset>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "helpers/text.h"

namespace narvo {

// A keyword in the form the buffer scans compare bytes with.
struct Needle {
  std::string want;  // the lower-cased keyword's bytes
  std::string fold;  // per byte the bit a match may lack (0x20: a letter in either case), else 0
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
// offsets whose set the scans can test (one value, or two that differ in one
// bit, as a letter's cases do); NeedleAt means nothing for it.
Needle MakeLooseNeedle(const std::vector<ByteSet>& possible, Encoding encoding);

// True when the needle's bytes stand at p (p has at least want.size() bytes).
inline bool NeedleAt(const Needle& needle, const char* p) {
  const std::size_t size = needle.want.size();
  for (std::size_t k = 0; k < size; ++k) {
    if (static_cast<char>(p[k] | needle.fold[k]) != needle.want[k]) return false;
  }
  return true;
}

// True when the byte at p + anchor k matches the needle's byte at offset k.
inline bool AnchorAt(const Needle& n, const char* p, std::size_t k) {
  return static_cast<char>(p[k] | n.fold[k]) == n.want[k];
}

// True when both anchors of the needle match for an occurrence starting at p.
inline bool AnchorsAt(const Needle& n, const char* p) {
  return AnchorAt(n, p, n.anchor1) && AnchorAt(n, p, n.anchor2);
}

}  // namespace narvo
