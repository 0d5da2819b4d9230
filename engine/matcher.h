// Line selection: does a line contain all keywords (or, excluding, none)?
// LineSelected is the straightforward line-at-a-time form and the reference;
// the KeywordSet form decides the same for lines found inside a read buffer.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/prefilter.h"
#include "engine/scan_kernels.h"
#include "helpers/text.h"

namespace narvo {

// The keywords of a run, prepared for matching.
struct Matcher {
  std::vector<std::string> lowerTerms;  // keywords lower-cased in the data's encoding
  bool excludeMode = false;
  Encoding encoding = Encoding::ShiftJis;
  // UTF-8 data that folds the capitals the native mode folds in CP932 (see LowerCase).
  bool cp932Letters = false;
};

// A matcher for terms (as typed, in the data's encoding).
Matcher MakeMatcher(const std::vector<std::string>& terms, bool excludeMode, Encoding encoding,
                    bool cp932Letters = false);

// True when line is selected: every keyword found (include) or none found (exclude).
// Keywords are found case-insensitively for ASCII, on character boundaries, before any NUL.
bool LineSelected(const Matcher& matcher, std::string_view line);

struct KeywordAutomaton;

// The same keywords prepared for searching the lines of a read buffer; what
// it holds is the matcher's own business.
struct KeywordSet {
  Matcher matcher;                   // the straightforward form, for lines decided as a whole
  std::vector<Needle> needles;       // in keyword order
  std::size_t primary = 0;           // include mode: the keyword with the fewest candidates
  std::vector<Needle> findable;      // exclude mode: the keywords a line can hold at all
  std::array<bool, 256> leadByte{};  // the code page's lead bytes, asked once
  // True when the needles decide occurrences by themselves (lower-casing folds
  // ASCII letters only); false: they only find candidate lines for LineSelected.
  bool exact = true;
  const ScanKernels* kernels = nullptr;  // the buffer scans, at one level
  // Exclude mode with many keywords: all of them looked for in one pass.
  std::shared_ptr<const KeywordAutomaton> automaton;
};

// The keyword set for matcher's keywords, scanned with kernels. loose makes a
// set that is not exact even where lower-casing folds ASCII letters only, as it
// must be where it folds more (Windows folds full-width and Greek letters, and
// so does UTF-8 data with cp932Letters where a keyword holds such a letter);
// the tests run both.
KeywordSet MakeKeywordSet(const Matcher& matcher, bool loose = false,
                          const ScanKernels* kernels = &WidestKernels());

// A line of a read buffer: [begin, end), end just after its LF.
struct LineSpan {
  const char* begin;
  const char* end;
};

// Include mode: marks in lineEnds, the block scan's, where the keyword the
// search follows may start, from the block's start up to end (whole clean
// lines), for NextLineWithKeywords to take in [p, end) of that block.
void MarkKeywordCandidates(const KeywordSet& set, const char* end, LineEnds* lineEnds);

// The first line of [p, end) that holds what set looks for: every keyword
// (include mode) or any (exclude mode), on character boundaries; {end, end}
// when none. [p, end) is whole lines, each ending in LF, free of the bytes the
// line reader treats specially, with their LFs in lineEnds.
LineSpan NextLineWithKeywords(const KeywordSet& set, const LineEnds& lineEnds, const char* p,
                              const char* end);

// Include mode without LF bits: the first line of [p, end) (whole lines, each
// ending in LF) where the rarest keyword may start, its bounds found by looking
// back and ahead from there; {end, end} when none. Where the level has the
// kernel for it, also the first line with a lone CR or an end mark; at the
// portable level [p, end) must hold no end mark.
LineSpan NextCandidateLine(const KeywordSet& set, const char* p, const char* end);

// True when the text of one line (no line end, NULs allowed) holds what set
// looks for; keywords are looked for before its first NUL only.
bool TextHoldsKeywords(const KeywordSet& set, std::string_view text);

}  // namespace narvo
