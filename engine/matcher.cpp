#include "engine/matcher.h"

namespace narvo {

Matcher MakeMatcher(const std::vector<std::string>& terms, bool excludeMode, Encoding encoding) {
  Matcher m;
  m.excludeMode = excludeMode;
  m.encoding = encoding;
  for (const std::string& t : terms) m.lowerTerms.push_back(LowerCase(t, encoding));
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

}  // namespace narvo
