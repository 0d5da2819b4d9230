#include "engine/matcher.h"

namespace narvo {

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
  for (const std::string& term : matcher.lowerTerms) {
    set.needles.push_back(MakeNeedle(term, matcher.encoding));
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
