#include "engine/matcher.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "helpers/text.h"
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

// Per offset of the lower-cased keyword, every byte a line may hold there in
// an occurrence: the bytes of each character that lower-cases to the
// keyword's character (for a lead byte ending the keyword, the lead of any
// such pair, or the lead byte alone at the end of a line).
std::vector<ByteSet> PossibleBytes(std::string_view lower, const Matcher& matcher) {
  const Encoding encoding = matcher.encoding;
  std::vector<ByteSet> possible(lower.size());
  if (encoding == Encoding::Utf8) {
    // Each capital of the native mode's letters has its small letter's length.
    const std::string upper = matcher.cp932Letters ? UpperCp932Letters(lower) : std::string(lower);
    for (std::size_t i = 0; i < lower.size(); ++i) {
      const auto c = static_cast<unsigned char>(lower[i]);
      if (c < 'A' || c > 'Z') possible[i].set(c);
      if (c >= 'a' && c <= 'z') possible[i].set(c - 0x20);
      possible[i].set(static_cast<unsigned char>(upper[i]));
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

Matcher MakeMatcher(const std::vector<std::string>& terms, bool excludeMode, Encoding encoding,
                    bool cp932Letters) {
  Matcher m;
  m.excludeMode = excludeMode;
  m.encoding = encoding;
  m.cp932Letters = cp932Letters && encoding == Encoding::Utf8;
  // Keywords equal once lower-cased find the same lines: each is searched once.
  std::unordered_set<std::string> seen;
  for (const std::string& t : terms) {
    std::string lower = LowerCase(t, encoding, m.cp932Letters);
    if (seen.insert(lower).second) m.lowerTerms.push_back(std::move(lower));
  }
  return m;
}

bool LineSelected(const Matcher& matcher, std::string_view line) {
  const std::string lower = LowerCase(line, matcher.encoding, matcher.cp932Letters);
  for (const std::string& term : matcher.lowerTerms) {
    const bool found = Position(term, lower, matcher.encoding) != 0;
    // Include mode stops at the first keyword missing, exclude mode at the first found.
    if (found == matcher.excludeMode) return false;
  }
  return true;
}

// Many keywords looked for in one pass (Aho-Corasick): a state per prefix of
// the keywords, a dense table of moves over the classes of bytes the keywords
// hold (ASCII letters in either case alike, every other byte one class). Its
// hits are candidates; the needles then check the case of each letter and
// the character boundary. One keyword at a time, a line is scanned once per
// keyword, which many keywords make hundreds of times slower.
struct KeywordAutomaton {
  std::array<std::uint8_t, 256> byteClass{};
  std::uint32_t classes = 1;           // class 0: bytes no keyword holds
  std::vector<std::uint32_t> move;     // state * classes + class: the next state
  std::vector<std::int32_t> keyword;   // by state: the findable keyword it ends, or -1
  std::vector<std::int32_t> alike;     // by keyword: another that ends there too, or -1
  std::vector<std::uint32_t> shorter;  // by state: the next suffix state that ends one, or 0
  std::array<bool, 256> starts{};      // bytes a keyword can start with
};

namespace {

// Keywords from which the automaton pays; fewer are scanned for one by one.
constexpr std::size_t kKeywordsForAutomaton = 8;
// The largest table of moves built (entries); beyond, the keywords are scanned one by one.
constexpr std::size_t kMostMoves = std::size_t{1} << 24;

std::shared_ptr<const KeywordAutomaton> MakeAutomaton(const std::vector<Needle>& needles) {
  auto a = std::make_shared<KeywordAutomaton>();
  for (const Needle& n : needles) {
    for (char c : n.want) {
      const auto lower = static_cast<unsigned char>(AsciiLower(c));
      if (a->byteClass[lower] == 0) a->byteClass[lower] = static_cast<std::uint8_t>(a->classes++);
      if (a->classes > 255) return nullptr;
    }
  }
  for (int c = 'A'; c <= 'Z'; ++c)
    a->byteClass[c] = a->byteClass[c + ('a' - 'A')];
  // The trie, its moves filled in breadth first from the failure states.
  const std::uint32_t k = a->classes;
  std::vector<std::uint32_t> trie(k, 0);  // 0: no edge yet (the root is never a child)
  a->keyword.assign(1, -1);
  for (std::size_t i = 0; i < needles.size(); ++i) {
    std::uint32_t state = 0;
    for (char c : needles[i].want) {
      std::uint32_t& next = trie[state * k + a->byteClass[static_cast<unsigned char>(c)]];
      if (next == 0) {
        if (trie.size() + k > kMostMoves) return nullptr;
        next = static_cast<std::uint32_t>(a->keyword.size());
        a->keyword.push_back(-1);
        trie.resize(trie.size() + k, 0);
      }
      state = trie[state * k + a->byteClass[static_cast<unsigned char>(c)]];
    }
    // Keywords that differ only in the case of a letter share a state.
    a->alike.push_back(a->keyword[state]);
    a->keyword[state] = static_cast<std::int32_t>(i);
    a->starts[static_cast<unsigned char>(needles[i].want[0])] = true;
    a->starts[static_cast<unsigned char>(AsciiLower(needles[i].want[0]))] = true;
  }
  for (int c = 'A'; c <= 'Z'; ++c)
    a->starts[c] = a->starts[c] || a->starts[c + ('a' - 'A')];
  const std::size_t states = a->keyword.size();
  a->move = std::move(trie);
  a->shorter.assign(states, 0);
  std::vector<std::uint32_t> fail(states, 0), queue;
  for (std::uint32_t c = 0; c < k; ++c) {
    if (a->move[c] != 0) queue.push_back(a->move[c]);
  }
  for (std::size_t head = 0; head < queue.size(); ++head) {
    const std::uint32_t s = queue[head];
    const std::uint32_t f = fail[s];
    a->shorter[s] = a->keyword[f] >= 0 ? f : a->shorter[f];
    for (std::uint32_t c = 0; c < k; ++c) {
      std::uint32_t& next = a->move[s * k + c];
      if (next != 0) {
        fail[next] = a->move[f * k + c];
        queue.push_back(next);
      } else {
        next = a->move[f * k + c];
      }
    }
  }
  return a;
}

}  // namespace

KeywordSet MakeKeywordSet(const Matcher& matcher, bool loose, const ScanKernels* kernels) {
  KeywordSet set;
  set.matcher = matcher;
  set.kernels = kernels;
  for (int c = 0; c < 256; ++c)
    set.leadByte[c] = IsLeadByte(static_cast<unsigned char>(c));
  const bool utf8Exact =
      !matcher.cp932Letters || std::ranges::none_of(matcher.lowerTerms, FoldsOnlyAsCp932Letters);
  set.exact = !loose && (matcher.encoding == Encoding::Utf8 ? utf8Exact : FoldsAsciiOnly());
  for (const std::string& term : matcher.lowerTerms) {
    Needle n = MakeNeedle(term, matcher.encoding);
    const std::string_view before = std::string_view(term).substr(0, term.find('\0'));
    // Empty, or holding a byte no line has, it is never found on either path.
    if (!set.exact && !before.empty() && before.find_first_of("\r\n\x1a") == before.npos) {
      n = MakeLooseNeedle(PossibleBytes(before, matcher), matcher.encoding);
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
  if (set.exact && matcher.excludeMode && set.findable.size() >= kKeywordsForAutomaton) {
    set.automaton = MakeAutomaton(set.findable);
  }
  return set;
}

namespace {

// Candidates that fail in one line before the line is decided in time linear
// in its length: checking each candidate costs up to the keyword's length
// (and the lead bytes before it), which crafted lines and keywords can make
// quadratic.
constexpr std::size_t kFailuresBeforeLinear = 16;

// True when a character of set's encoding starts at at, inside the line that
// starts at lineBegin. Shift-JIS: an even number of lead-range bytes stands
// right before it (back to the line start or the first other byte); UTF-8: at
// is no continuation byte.
bool StartsCharacter(const KeywordSet& set, const char* lineBegin, const char* at) {
  if (set.matcher.encoding == Encoding::Utf8) {
    return !IsUtf8Continuation(static_cast<unsigned char>(*at));
  }
  // The byte after any non-lead byte starts a character (it ends one, alone or
  // as a trail byte), and from there lead-range bytes pair off.
  const char* p = at;
  while (p > lineBegin && set.leadByte[static_cast<unsigned char>(p[-1])])
    --p;
  return (at - p) % 2 == 0;
}

// True when needle occurs on a character boundary of the line [begin, end),
// which holds neither a line end nor a NUL (the set is exact).
bool LineContains(const KeywordSet& set, const Needle& needle, const char* begin, const char* end) {
  std::size_t failures = 0;
  for (const char* c = NextCandidate(*set.kernels, needle, begin, end); c != end;
       c = NextCandidate(*set.kernels, needle, c + 1, end)) {
    if (NeedleAt(needle, c) && StartsCharacter(set, begin, c)) return true;
    if (++failures == kFailuresBeforeLinear) {
      return !needle.never &&
             PositionFoldingAscii(needle.want, std::string_view(begin, end - begin),
                                  set.matcher.encoding) != 0;
    }
  }
  return false;
}

// True when the line [begin, end) (no line end, no NUL) holds what set looks
// for, the needles deciding (the set is exact); skip is a keyword known to be there.
bool LineHolds(const KeywordSet& set, const char* begin, const char* end, std::size_t skip) {
  const bool exclude = set.matcher.excludeMode || set.needles.empty();
  for (std::size_t k = 0; k < set.needles.size(); ++k) {
    if (k == skip) continue;
    // Include mode stops at the first keyword missing, exclude mode at the first found.
    if (LineContains(set, set.needles[k], begin, end) == exclude) return exclude;
  }
  return !exclude;
}

}  // namespace

bool TextHoldsKeywords(const KeywordSet& set, std::string_view text) {
  if (!set.exact) return LineSelected(set.matcher, text) != set.matcher.excludeMode;
  const char* begin = text.data();
  return LineHolds(set, begin, begin + std::min(text.size(), text.find('\0')), set.needles.size());
}

namespace {

// Exclude mode through the automaton: the first line of [p, end) with an
// occurrence of any keyword. Lines start the automaton afresh: no keyword
// holds an LF.
LineSpan NextLineByAutomaton(const KeywordSet& set, const LineEnds& lineEnds, const char* p,
                             const char* end) {
  const KeywordAutomaton& a = *set.automaton;
  const auto* bytes = reinterpret_cast<const unsigned char*>(p);
  const auto* const stop = reinterpret_cast<const unsigned char*>(end);
  const char* floor = p;
  std::size_t failures = 0;  // candidates that failed since the last line decided
  std::uint32_t state = 0;
  while (bytes < stop) {
    if (state == 0) {
      while (bytes < stop && !a.starts[*bytes])
        ++bytes;
      if (bytes == stop) break;
    }
    state = a.move[state * a.classes + a.byteClass[*bytes++]];
    for (std::uint32_t s = a.keyword[state] >= 0 ? state : a.shorter[state]; s != 0;
         s = a.shorter[s]) {
      for (std::int32_t k = a.keyword[s]; k >= 0; k = a.alike[static_cast<std::size_t>(k)]) {
        const Needle& n = set.findable[static_cast<std::size_t>(k)];
        const char* c = reinterpret_cast<const char*>(bytes) - n.want.size();
        const bool byLine = failures == kFailuresBeforeLinear;
        if (!byLine && !NeedleAt(n, c)) {
          ++failures;
          continue;
        }
        const char* lineBegin = LineStartBefore(lineEnds, floor, c);
        if (!byLine && !StartsCharacter(set, lineBegin, c)) {
          ++failures;
          continue;
        }
        const char* lineEnd = LineEndAfter(lineEnds, c);
        const std::string_view text(lineBegin, TextEnd(lineBegin, lineEnd) - lineBegin);
        if (!byLine || TextHoldsKeywords(set, text)) return {lineBegin, lineEnd};
        // Decided as a whole, the line holds none: on after it.
        failures = 0;
        floor = lineEnd;
        bytes = reinterpret_cast<const unsigned char*>(lineEnd);
        state = 0;
        break;
      }
      if (state == 0) break;
    }
  }
  return {end, end};
}

// The line that holds c, of the lines [p, end).
LineSpan LineAround(const KeywordSet& set, const char* p, const char* c, const char* end) {
  const char* lf = LastLf(*set.kernels, p, c);
  return {lf == nullptr ? p : lf + 1, static_cast<const char*>(std::memchr(c, '\n', end - c)) + 1};
}

}  // namespace

LineSpan NextCandidateLine(const KeywordSet& set, const char* p, const char* end) {
  const Needle& n = set.needles[set.primary];
  if (set.kernels->candidateOrSpecial != nullptr) {
    // Also for a keyword that is never found: the lines with a lone CR or an
    // end mark must still be seen.
    const char* c = n.anchored ? set.kernels->candidateOrSpecial(n, p, end) : p;
    return c == end ? LineSpan{end, end} : LineAround(set, p, c, end);
  }
  if (n.never) return {end, end};
  const auto size = static_cast<std::ptrdiff_t>(n.want.size());
  // One byte of the keyword, not two at their distance: a lone CR that the
  // line reader drops may stand between them in an occurrence. A letter is
  // looked for in both cases, each kept until passed.
  const char want = n.want[n.anchor1];
  const bool bothCases = n.fold[n.anchor1] != 0;
  const auto other = static_cast<char>(want & ~n.fold[n.anchor1]);
  const auto next = [end](const char* from, char byte) {
    const void* hit = std::memchr(from, byte, end - from);
    return hit == nullptr ? end : static_cast<const char*>(hit);
  };
  const char* lower = next(p, want);
  const char* upper = bothCases ? next(p, other) : end;
  const char* c = p;
  for (const char* from = p; n.anchored; from = c + 1) {
    if (lower < from) lower = next(from, want);
    if (bothCases && upper < from) upper = next(from, other);
    c = bothCases ? std::min(lower, upper) : lower;
    if (c == end) return {end, end};
    if (!set.exact) break;
    // The keyword's bytes around it, or a CR near enough to stand inside an
    // occurrence (the bytes between it and c belong to the occurrence too).
    const char* start = c - n.anchor1;
    if (start >= p && end - start >= size && NeedleAt(n, start)) break;
    const char* near = std::max(p, c - size);
    if (std::memchr(near, kCr, std::min(end, c + size) - near) != nullptr) break;
  }
  return LineAround(set, p, c, end);
}

void MarkKeywordCandidates(const KeywordSet& set, const char* end, LineEnds* lineEnds) {
  if (set.matcher.excludeMode || set.needles.empty()) return;
  MarkCandidates(*set.kernels, set.needles[set.primary], end, lineEnds);
}

LineSpan NextLineWithKeywords(const KeywordSet& set, const LineEnds& lineEnds, const char* p,
                              const char* end) {
  // Include mode follows the candidates of the rarest keyword, exclude mode
  // those of every keyword at once. A candidate that proves an occurrence
  // settles its line: include mode then looks for the other keywords there.
  const bool exclude = set.matcher.excludeMode || set.needles.empty();
  if (exclude && set.automaton) return NextLineByAutomaton(set, lineEnds, p, end);
  const char* floor = p;
  std::size_t failures = 0;  // candidates that failed since the last line decided
  while (p < end) {
    const char* c = exclude ? NextCandidateOfAny(*set.kernels, set.findable, p, end)
                    : lineEnds.candidatesEnd
                        ? NextMarkedCandidate(lineEnds, p, end)
                        : NextCandidate(*set.kernels, set.needles[set.primary], p, end);
    if (c == end) break;
    // Where candidates kept failing, the line is decided as a whole.
    const bool byLine = !set.exact || failures == kFailuresBeforeLinear;
    std::size_t found = set.needles.size();  // which keyword stands at c
    if (!byLine && exclude) {
      for (std::size_t k = 0; found == set.needles.size() && k < set.findable.size(); ++k) {
        const Needle& n = set.findable[k];
        if (end - c >= static_cast<std::ptrdiff_t>(n.want.size()) && NeedleAt(n, c)) found = k;
      }
    } else if (!byLine && NeedleAt(set.needles[set.primary], c)) {
      found = set.primary;
    }
    const bool proven = byLine || found != set.needles.size();
    const char* lineBegin = proven ? LineStartBefore(lineEnds, floor, c) : nullptr;
    if (!proven || (!byLine && !StartsCharacter(set, lineBegin, c))) {
      ++failures;
      p = c + 1;
      continue;
    }
    failures = 0;
    const char* lineEnd = LineEndAfter(lineEnds, c);
    p = floor = lineEnd;
    const char* textEnd = TextEnd(lineBegin, lineEnd);
    const bool holds =
        byLine
            ? TextHoldsKeywords(set, std::string_view(lineBegin, textEnd - lineBegin))
            : exclude || set.needles.size() == 1 || LineHolds(set, lineBegin, textEnd, set.primary);
    if (holds) return {lineBegin, lineEnd};
  }
  return {end, end};
}

}  // namespace narvo
