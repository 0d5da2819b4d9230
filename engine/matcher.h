// Line selection: does a line contain all keywords (or, excluding, none)?
// LineSelected is the straightforward line-at-a-time form and the reference;
// the KeywordSet form decides the same for lines found inside a read buffer.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/prefilter.h"
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

// The same keywords as needles for the buffer scans.
struct KeywordSet {
  std::vector<Needle> needles;   // in keyword order
  std::size_t primary = 0;       // include mode: the keyword with the fewest candidates
  std::vector<Needle> findable;  // exclude mode: the keywords a line can hold at all
  bool excludeMode = false;
  Encoding encoding = Encoding::ShiftJis;
  std::array<bool, 256> leadByte{};  // the code page's lead bytes, asked once
  // True when the needles decide occurrences by themselves (lower-casing folds
  // ASCII letters only); false: they only find candidate lines for LineSelected.
  bool exact = true;
};

// The keyword set for matcher's keywords.
KeywordSet MakeKeywordSet(const Matcher& matcher);

// Makes MakeKeywordSet build sets that are not exact even where lower-casing
// folds ASCII letters only, as it must where it folds more (Windows folds
// full-width and Greek letters); the tests run both kinds.
void UseLooseKeywordSets(bool loose);

// True when a character of set's encoding starts at at, inside the line that
// starts at lineBegin. Shift-JIS: an even number of lead-range bytes stands
// right before it (back to the line start or the first other byte); UTF-8: at
// is no continuation byte.
bool StartsCharacter(const KeywordSet& set, const char* lineBegin, const char* at);

// Candidates that fail in one line before the line is decided in time linear
// in its length: checking each candidate costs up to the keyword's length
// (and the lead bytes before it), which crafted lines and keywords can make
// quadratic.
constexpr std::size_t kFailuresBeforeReference = 16;

// LineContains in time linear in the line and the keyword, whatever their
// repetitions, without the buffer scans.
bool ContainsInLinearTime(const KeywordSet& set, const Needle& needle, const char* begin,
                          const char* end);

// True when needle occurs on a character boundary of the line [begin, end),
// which holds neither a line end nor a NUL (the set is exact).
bool LineContains(const KeywordSet& set, const Needle& needle, const char* begin, const char* end);

}  // namespace narvo
