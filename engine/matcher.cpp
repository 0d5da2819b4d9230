#include "engine/matcher.h"

#include <cstdint>

#include "platform/platform.h"

namespace narvo {

namespace {

// How the platform lower-cases every Shift-JIS character, asked once.
struct FoldTable {
  std::array<unsigned char, 256> single;  // each byte as a character of its own
  std::vector<std::uint16_t> pair;        // lead << 8 | trail, for lead bytes
  bool asciiOnly = true;                  // nothing but A-Z standing alone changes
};

FoldTable MakeFoldTable() {
  FoldTable t;
  t.pair.assign(1 << 16, 0);
  for (int c = 0; c < 256; ++c) {
    char text[2] = {static_cast<char>(c), '\0'};
    platform::LowerCase(text, 1);
    t.single[c] = static_cast<unsigned char>(text[0]);
    const bool letter = c >= 'A' && c <= 'Z' && !IsLeadByte(static_cast<unsigned char>(c));
    t.asciiOnly = t.asciiOnly && t.single[c] == (letter ? c + 0x20 : c);
    if (!IsLeadByte(static_cast<unsigned char>(c))) continue;
    for (int trail = 0; trail < 256; ++trail) {
      text[0] = static_cast<char>(c);
      text[1] = static_cast<char>(trail);
      platform::LowerCase(text, 2);
      const std::uint16_t lower = static_cast<std::uint16_t>(
          static_cast<unsigned char>(text[0]) << 8 | static_cast<unsigned char>(text[1]));
      t.pair[c << 8 | trail] = lower;
      t.asciiOnly = t.asciiOnly && lower == (c << 8 | trail);
    }
  }
  return t;
}

const FoldTable& ShiftJisFolds() {
  static const FoldTable table = MakeFoldTable();
  return table;
}

// Who lower-cases to what: the general path's view of FoldTable, built when first needed.
struct FoldIndex {
  std::vector<std::vector<std::uint16_t>> pairsTo;  // by lower-cased pair: the pairs
  std::array<ByteSet, 256> singlesTo;               // by lower-cased byte: bytes alone
  std::array<ByteSet, 256> leadsTo;                 // by lower-cased lead: leads of pairs
};

FoldIndex MakeFoldIndex() {
  const FoldTable& folds = ShiftJisFolds();
  FoldIndex index;
  index.pairsTo.resize(1 << 16);
  for (int b = 0; b < 256; ++b) {
    index.singlesTo[folds.single[b]].set(b);
    if (!IsLeadByte(static_cast<unsigned char>(b))) continue;
    for (int trail = 0; trail < 256; ++trail) {
      const std::uint16_t lower = folds.pair[b << 8 | trail];
      index.pairsTo[lower].push_back(static_cast<std::uint16_t>(b << 8 | trail));
      index.leadsTo[lower >> 8].set(b);
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
  for (const std::string& t : terms)
    m.lowerTerms.push_back(LowerCase(t, encoding));
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
  set.exact = !looseForced && (matcher.encoding == Encoding::Utf8 || ShiftJisFolds().asciiOnly);
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

bool LineContains(const KeywordSet& set, const Needle& needle, const char* begin, const char* end) {
  for (const char* c = NextCandidate(needle, begin, end); c != end;
       c = NextCandidate(needle, c + 1, end)) {
    if (NeedleAt(needle, c) && StartsCharacter(set, begin, c)) return true;
  }
  return false;
}

}  // namespace narvo
