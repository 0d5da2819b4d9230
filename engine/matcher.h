// Line selection: does a line contain all keywords (or, excluding, none)?
// This is the straightforward line-at-a-time form; it is the reference the
// faster searchers are checked against.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "helpers/text.h"

namespace narvo {

// The keywords of a run, prepared for matching.
struct Matcher {
  std::vector<std::string> lowerTerms;  // keywords lower-cased in the data's encoding
  bool excludeMode = false;
  Encoding encoding = Encoding::ShiftJis;
};

// A matcher for terms (as typed, in the data's encoding).
Matcher MakeMatcher(const std::vector<std::string>& terms, bool excludeMode, Encoding encoding);

// True when line is selected: every keyword found (include) or none found (exclude).
// Keywords are found case-insensitively for ASCII, on character boundaries, before any NUL.
bool LineSelected(const Matcher& matcher, std::string_view line);

}  // namespace narvo
