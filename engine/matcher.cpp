#include "engine/matcher.h"

#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "platform/platform.h"

namespace narvo {

namespace {

// True when the platform's lower-casing changes nothing but A-Z standing
// alone; asked once, all pairs of a lead byte in one call.
bool FoldsAsciiOnly() {
  static const bool asciiOnly = [] {
    for (int c = 0; c < 256; ++c) {
      const auto b = static_cast<unsigned char>(c);
      char alone = static_cast<char>(c);
      platform::LowerCase(&alone, 1);
      const bool letter = c >= 'A' && c <= 'Z' && !IsLeadByte(b);
      if (static_cast<unsigned char>(alone) != (letter ? c + 0x20 : c)) return false;
      if (!IsLeadByte(b)) continue;
      char pairs[512], lowered[512];
      for (int trail = 0; trail < 256; ++trail) {
        pairs[2 * trail] = static_cast<char>(c);
        pairs[2 * trail + 1] = static_cast<char>(trail);
      }
      std::memcpy(lowered, pairs, sizeof pairs);
      platform::LowerCase(lowered, sizeof lowered);
      if (std::memcmp(lowered, pairs, sizeof pairs) != 0) return false;
    }
    return true;
  }();
  return asciiOnly;
}

// Who lower-cases to what, for the general path; built when first needed.
struct FoldIndex {
  std::vector<std::vector<std::uint16_t>> pairsTo;  // by lower-cased pair: the pairs
  std::array<ByteSet, 256> singlesTo;               // by lower-cased byte: bytes alone
  std::array<ByteSet, 256> leadsTo;                 // by lower-cased lead: leads of pairs
};

FoldIndex MakeFoldIndex() {
  FoldIndex index;
  index.pairsTo.resize(1 << 16);
  for (int b = 0; b < 256; ++b) {
    char text[2] = {static_cast<char>(b), '\0'};
    platform::LowerCase(text, 1);
    index.singlesTo[static_cast<unsigned char>(text[0])].set(b);
    if (!IsLeadByte(static_cast<unsigned char>(b))) continue;
    for (int trail = 0; trail < 256; ++trail) {
      text[0] = static_cast<char>(b);
      text[1] = static_cast<char>(trail);
      platform::LowerCase(text, 2);
      const auto lead = static_cast<unsigned char>(text[0]);
      index.pairsTo[lead << 8 | static_cast<unsigned char>(text[1])].push_back(
          static_cast<std::uint16_t>(b << 8 | trail));
      index.leadsTo[lead].set(b);
    }
  }
  return index;
}

const FoldIndex& ShiftJisFoldIndex() {
  static const FoldIndex index = MakeFoldIndex();
  return index;
}

// Set by the tests to run the general path where the exact one would do.
bool looseForced = false;

// Per offset of the lower-cased keyword, every byte a line may hold there in
// an occurrence: the bytes of each character that lower-cases to the
// keyword's character (for a lead byte ending the keyword, the lead of any
// such pair, or the lead byte alone at the end of a line).
std::vector<ByteSet> PossibleBytes(std::string_view lower, Encoding encoding) {
  std::vector<ByteSet> possible(lower.size());
  if (encoding == Encoding::Utf8) {
    for (std::size_t i = 0; i < lower.size(); ++i) {
      const auto c = static_cast<unsigned char>(lower[i]);
      if (c < 'A' || c > 'Z') possible[i].set(c);
      if (c >= 'a' && c <= 'z') possible[i].set(c - 0x20);
    }
    return possible;
  }
  const FoldIndex& index = ShiftJisFoldIndex();
  for (std::size_t i = 0; i < lower.size(); i += CharLength(lower, i, encoding)) {
    const auto c = static_cast<unsigned char>(lower[i]);
    if (CharLength(lower, i, encoding) == 2) {
      for (std::uint16_t raw : index.pairsTo[c << 8 | static_cast<unsigned char>(lower[i + 1])]) {
        possible[i].set(raw >> 8);
        possible[i + 1].set(raw & 0xFF);
      }
    } else {
      possible[i] = index.singlesTo[c];
      if (IsLeadByte(c)) possible[i] |= index.leadsTo[c];
    }
  }
  return possible;
}

}  // namespace

Matcher MakeMatcher(const std::vector<std::string>& terms, bool excludeMode, Encoding encoding) {
  Matcher m;
  m.excludeMode = excludeMode;
  m.encoding = encoding;
  // Keywords equal once lower-cased find the same lines: each is searched once.
  std::unordered_set<std::string> seen;
  for (const std::string& t : terms) {
    std::string lower = LowerCase(t, encoding);
    if (seen.insert(lower).second) m.lowerTerms.push_back(std::move(lower));
  }
  return m;
}

bool LineSelected(const Matcher& matcher, std::string_view line) {
  const std::string lower = LowerCase(line, matcher.encoding);
  for (const std::string& term : matcher.lowerTerms) {
    const bool found = Position(term, lower, matcher.encoding) != 0;
    // Include mode stops at the first keyword missing, exclude mode at the first found.
    if (found == matcher.excludeMode) return false;
  }
  return true;
}

KeywordSet MakeKeywordSet(const Matcher& matcher) {
  KeywordSet set;
  set.excludeMode = matcher.excludeMode;
  set.encoding = matcher.encoding;
  for (int c = 0; c < 256; ++c)
    set.leadByte[c] = IsLeadByte(static_cast<unsigned char>(c));
  set.exact = !looseForced && (matcher.encoding == Encoding::Utf8 || FoldsAsciiOnly());
  for (const std::string& term : matcher.lowerTerms) {
    Needle n = MakeNeedle(term, matcher.encoding);
    const std::string_view before = std::string_view(term).substr(0, term.find('\0'));
    // Empty, or holding a byte no line has, it is never found on either path.
    if (!set.exact && !before.empty() && before.find_first_of("\r\n\x1a") == before.npos) {
      n = MakeLooseNeedle(PossibleBytes(before, matcher.encoding), matcher.encoding);
    }
    set.needles.push_back(n);
    if (!set.needles.back().never) set.findable.push_back(set.needles.back());
  }
  for (std::size_t i = 0; i < set.needles.size(); ++i) {
    const Needle& best = set.needles[set.primary];
    // A keyword that is never found decides every line by itself.
    if (best.never) break;
    if (set.needles[i].never || set.needles[i].frequency < best.frequency) set.primary = i;
  }
  return set;
}

void UseLooseKeywordSets(bool loose) {
  looseForced = loose;
}

bool StartsCharacter(const KeywordSet& set, const char* lineBegin, const char* at) {
  if (set.encoding == Encoding::Utf8) return !IsUtf8Continuation(static_cast<unsigned char>(*at));
  // The byte after any non-lead byte starts a character (it ends one, alone or
  // as a trail byte), and from there lead-range bytes pair off.
  const char* p = at;
  while (p > lineBegin && set.leadByte[static_cast<unsigned char>(p[-1])])
    --p;
  return (at - p) % 2 == 0;
}

bool ContainsInLinearTime(const KeywordSet& set, const Needle& needle, const char* begin,
                          const char* end) {
  const std::string_view want(needle.want);
  const auto size = static_cast<std::size_t>(end - begin);
  if (needle.never || want.size() > size) return false;
  // Every occurrence in turn (Knuth-Morris-Pratt) over the line as the
  // straightforward search lower-cases it: an ASCII letter standing as a
  // character of its own. Two walks over the characters, kept level with the
  // reading and with the occurrences, tell which bytes start characters.
  const std::vector<std::size_t> border = Borders(want);
  // In UTF-8 every ASCII byte stands alone, and every other byte but a
  // continuation byte starts a character.
  const bool utf8 = set.encoding == Encoding::Utf8;
  const std::string_view line(begin, size);
  std::size_t lowerWalk = 0, boundaryWalk = 0;
  for (std::size_t i = 0, k = 0; i < size; ++i) {
    char c = line[i];
    if (utf8 || i == lowerWalk) {
      if (!utf8) lowerWalk += CharLength(line, i, Encoding::ShiftJis);
      c = AsciiLower(c);
    }
    while (k > 0 && c != want[k])
      k = border[k];
    if (c == want[k]) ++k;
    if (k < want.size()) continue;
    const std::size_t at = i + 1 - want.size();
    k = border[k];
    if (utf8) {
      if (!IsUtf8Continuation(static_cast<unsigned char>(line[at]))) return true;
      continue;
    }
    while (boundaryWalk < at)
      boundaryWalk += CharLength(line, boundaryWalk, Encoding::ShiftJis);
    if (boundaryWalk == at) return true;
  }
  return false;
}

bool LineContains(const KeywordSet& set, const Needle& needle, const char* begin, const char* end) {
  std::size_t failures = 0;
  for (const char* c = NextCandidate(needle, begin, end); c != end;
       c = NextCandidate(needle, c + 1, end)) {
    if (NeedleAt(needle, c) && StartsCharacter(set, begin, c)) return true;
    if (++failures == kFailuresBeforeReference)
      return ContainsInLinearTime(set, needle, begin, end);
  }
  return false;
}

}  // namespace narvo
