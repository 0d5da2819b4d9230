#include "engine/searcher.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "engine/matcher.h"
#include "engine/narvo_engine.h"
#include "engine/prefilter.h"
#include "helpers/encoding.h"
#include "helpers/failure.h"
#include "helpers/output.h"

namespace narvo {

namespace {

// The read buffer starts at most this large and takes the size asked for once
// this much input has gone through: each new page of it costs a page fault,
// which on a small input outweighs the reads a larger buffer saves.
constexpr std::size_t kStartBuffer = 1 << 16;
constexpr std::size_t kInputForFullBuffer = 1 << 24;

// The data encoding of one input and the keywords prepared for it.
struct DataState {
  bool decided = false;
  Encoding encoding = Encoding::ShiftJis;
  Matcher matcher;
};

// The native mode knows only Shift-JIS. On a UTF-8 console every line before
// the first byte >= 0x80 is ASCII, which the keywords as typed match exactly
// as converted ones would, so the typed ones serve until the decision.
void StartData(DataState* d, const SearchSetup& setup) {
  d->decided = !setup.consoleUtf8;
  d->encoding = setup.consoleUtf8 ? Encoding::Utf8 : Encoding::ShiftJis;
  d->matcher = MakeMatcher(setup.terms, setup.excludeMode, d->encoding);
}

// Looks at a block just read; true when it decided the input's encoding.
bool DecideData(DataState* d, const SearchSetup& setup, std::string_view block) {
  if (d->decided) return false;
  const std::size_t high = FirstHighByte(block);
  if (high == std::string_view::npos) return false;
  d->decided = true;
  d->encoding = DecideDataEncoding(block.substr(high));
  d->matcher =
      MakeMatcher(KeywordsForData(setup.terms, true, d->encoding), setup.excludeMode, d->encoding);
  return true;
}

bool WrittenInUtf8(const SearchSetup& setup, const DataState& d) {
  return setup.consoleUtf8 && d.encoding == Encoding::ShiftJis;
}

// One fast search; plain record, driven by the functions below.
struct Search {
  const SearchSetup* setup = nullptr;
  DataState data;
  KeywordSet keys;
  Printer printer;
  LineReader lineReader;  // for the lines the buffer scans leave to it
  LineEnds lineEnds;      // of the block being searched
  SearchOutcome outcome;
  // The last selected line, while it is still in the buffer: the last line of [lastBegin, lastEnd).
  const char* lastBegin = nullptr;
  const char* lastEnd = nullptr;
  Encoding lastEncoding = Encoding::ShiftJis;
  bool inputEnded = false;  // an end mark ended the input
};

void PrepareKeywords(Search* s) {
  s->keys = MakeKeywordSet(s->data.matcher);
  s->printer.toUtf8 = WrittenInUtf8(*s->setup, s->data);
}

void Select(Search* s, const char* begin, const char* end, bool bareLf) {
  if (begin == end) return;
  PrintLines(&s->printer, begin, end, bareLf);
  s->lastBegin = begin;
  s->lastEnd = end;
  s->lastEncoding = s->data.encoding;
}

// Copies the last selected line out of the buffer before the buffer changes.
void KeepLastMatch(Search* s) {
  if (s->lastBegin == nullptr) return;
  const char* end = s->lastEnd - 1;  // its LF
  const char* lf = LastLf(s->lastBegin, end);
  const char* begin = lf == nullptr ? s->lastBegin : lf + 1;
  if (end > begin && end[-1] == '\r') --end;
  s->outcome.lastMatch.assign(begin, end);
  s->outcome.lastMatchEncoding = s->lastEncoding;
  s->lastBegin = s->lastEnd = nullptr;
}

// The line's text: without its LF, and without the CR before it.
const char* TextEnd(const char* lineBegin, const char* lineEnd) {
  const char* end = lineEnd - 1;
  return end > lineBegin && end[-1] == '\r' ? end - 1 : end;
}

// The line [lineBegin, lineEnd) as the straightforward search sees it decides
// (the keyword set only found a candidate in it); true when it is selected.
bool SelectedByLine(const Search* s, const char* lineBegin, const char* lineEnd) {
  return LineSelected(s->data.matcher,
                      std::string_view(lineBegin, TextEnd(lineBegin, lineEnd) - lineBegin));
}

// Include mode over whole clean lines: each candidate of the rarest keyword
// that proves an occurrence settles its line, whose other keywords are then
// looked for in that line only.
void SearchIncluding(Search* s, const char* p, const char* end, bool bareLf) {
  const Needle& first = s->keys.needles[s->keys.primary];
  const bool exact = s->keys.exact;
  const char* floor = p;
  while (p < end) {
    const char* c = NextCandidate(first, p, end);
    if (c == end) return;
    if (exact && !NeedleAt(first, c)) {
      p = c + 1;
      continue;
    }
    const char* lineBegin = LineStartBefore(s->lineEnds, floor, c);
    floor = lineBegin;
    if (exact && !StartsCharacter(s->keys, lineBegin, c)) {
      p = c + 1;
      continue;
    }
    const char* lineEnd = LineEndAfter(s->lineEnds, c);
    const char* textEnd = TextEnd(lineBegin, lineEnd);
    bool all = true;
    if (!exact) all = SelectedByLine(s, lineBegin, lineEnd);
    for (std::size_t k = 0; exact && all && k < s->keys.needles.size(); ++k) {
      if (k != s->keys.primary) all = LineContains(s->keys, s->keys.needles[k], lineBegin, textEnd);
    }
    if (all) Select(s, lineBegin, lineEnd, bareLf);
    p = floor = lineEnd;
  }
}

// Exclude mode over whole clean lines: one pass for all keywords; the lines
// between two lines with an occurrence go out as one stretch.
void SearchExcluding(Search* s, const char* p, const char* end, bool bareLf) {
  const std::vector<Needle>& needles = s->keys.findable;
  const bool exact = s->keys.exact;
  const char* floor = p;
  const char* kept = p;  // start of the lines not yet excluded
  while (p < end) {
    const char* c = NextCandidateOfAny(needles, p, end);
    if (c == end) break;
    bool found = !exact;
    for (std::size_t k = 0; !found && k < needles.size(); ++k) {
      const Needle& n = needles[k];
      found = end - c >= static_cast<std::ptrdiff_t>(n.want.size()) && NeedleAt(n, c);
    }
    if (!found) {
      p = c + 1;
      continue;
    }
    const char* lineBegin = LineStartBefore(s->lineEnds, floor, c);
    floor = lineBegin;
    if (exact && !StartsCharacter(s->keys, lineBegin, c)) {
      p = c + 1;
      continue;
    }
    const char* lineEnd = LineEndAfter(s->lineEnds, c);
    p = floor = lineEnd;
    if (!exact && SelectedByLine(s, lineBegin, lineEnd)) continue;
    Select(s, kept, lineBegin, bareLf);
    kept = lineEnd;
  }
  Select(s, kept, end, bareLf);
}

void SearchCleanLines(Search* s, const char* begin, const char* end, bool bareLf) {
  if (begin == end) return;
  if (s->keys.excludeMode || s->keys.needles.empty()) {
    SearchExcluding(s, begin, end, bareLf);
  } else {
    SearchIncluding(s, begin, end, bareLf);
  }
}

// The lines of [begin, end) the way the straightforward search reads them.
void SearchByLineReader(Search* s, const char* begin, const char* end) {
  std::string_view rest(begin, end - begin);
  InitLineReader(
      &s->lineReader,
      [&rest](char* buffer, std::size_t size, platform::IoError*) {
        const std::size_t n = size < rest.size() ? size : rest.size();
        std::memcpy(buffer, rest.data(), n);
        rest.remove_prefix(n);
        return static_cast<std::ptrdiff_t>(n);
      },
      rest.size());
  std::string line;
  while (ReadLine(&s->lineReader, &line)) {
    if (!LineSelected(s->data.matcher, line)) continue;
    PrintLine(&s->printer, line);
    s->outcome.lastMatch = line;
    s->outcome.lastMatchEncoding = s->data.encoding;
    s->lastBegin = s->lastEnd = nullptr;
  }
  if (s->lineReader.endMarked) s->inputEnded = true;
}

// A last line without a line end: taken as it stands in the buffer, which may
// be most of the memory the search uses, when nothing in it needs the line reader.
void SearchLastLine(Search* s, const char* begin, const char* end) {
  if (ScanBlock(begin, end, &s->lineEnds).irregular != end) {
    SearchByLineReader(s, begin, end);
    return;
  }
  const KeywordSet& keys = s->keys;
  bool selected;
  if (!keys.exact) {
    selected = LineSelected(s->data.matcher, std::string_view(begin, end - begin));
  } else if (keys.excludeMode || keys.needles.empty()) {
    selected = true;
    for (const Needle& n : keys.findable)
      selected = selected && !LineContains(keys, n, begin, end);
  } else {
    selected = true;
    for (const Needle& n : keys.needles)
      selected = selected && LineContains(keys, n, begin, end);
  }
  if (!selected) return;
  PrintLine(&s->printer, std::string_view(begin, end - begin));
  s->outcome.lastMatch.assign(begin, end);
  s->outcome.lastMatchEncoding = s->data.encoding;
  s->lastBegin = s->lastEnd = nullptr;
}

// The lines [p, end): it starts at a line start and ends after an LF.
void SearchRegion(Search* s, const char* p, const char* end) {
  while (p < end && !s->inputEnded) {
    const BlockScan scan = ScanBlock(p, end, &s->lineEnds);
    const char* lineBegin =
        scan.irregular == end ? end : LineStartBefore(s->lineEnds, p, scan.irregular);
    SearchCleanLines(s, p, lineBegin, scan.bareLf);
    if (lineBegin == end) break;
    const char* lineEnd =
        static_cast<const char*>(std::memchr(scan.irregular, '\n', end - scan.irregular)) + 1;
    SearchByLineReader(s, lineBegin, lineEnd);
    p = lineEnd;
  }
}

}  // namespace

SearchOutcome SearchStream(const SearchSetup& setup, const ReadFunction& read, const ByteSink& sink,
                           const PiecesSink& pieces) {
  Search s;
  s.setup = &setup;
  s.printer.sink = sink;
  s.printer.pieces = pieces;
  StartData(&s.data, setup);
  PrepareKeywords(&s);
  // Left uninitialised: every byte is read into before it is looked at. It
  // grows with realloc, which moves a large block's pages without copying them.
  const std::size_t fullSize = setup.bufferSize == 0 ? 1 : setup.bufferSize;
  std::size_t size = fullSize < kStartBuffer ? fullSize : kStartBuffer;
  std::size_t total = 0;  // bytes read so far
  std::unique_ptr<char, decltype(&std::free)> buffer(static_cast<char*>(std::malloc(size)),
                                                     &std::free);
  if (!buffer) throw std::bad_alloc();
  std::size_t held = 0;  // the start of a line not yet complete, kept at the front
  bool dataEnded = false;
  while (!dataEnded && !s.inputEnded) {
    // A line longer than the buffer makes it grow until the line fits.
    std::size_t wanted = held == size ? size * 2 : size;
    if (total >= kInputForFullBuffer && wanted < fullSize) wanted = fullSize;
    if (wanted != size) {
      char* larger = static_cast<char*>(std::realloc(buffer.get(), wanted));
      if (larger == nullptr) throw std::bad_alloc();
      buffer.release();
      buffer.reset(larger);
      size = wanted;
    }
    platform::IoError error;
    const std::ptrdiff_t n = read(buffer.get() + held, size - held, &error);
    if (n < 0) FailIo(error);
    const char* fresh = buffer.get() + held;  // what was held is part of a line, without LF
    if (n == 0) {
      dataEnded = true;
    } else {
      if (DecideData(&s.data, setup, std::string_view(buffer.get() + held, n))) {
        PrepareKeywords(&s);
      }
      held += static_cast<std::size_t>(n);
      total += static_cast<std::size_t>(n);
    }
    const char* begin = buffer.get();
    const char* end = begin + held;
    if (dataEnded) {
      // Every line with a line end has been searched: what is held is the last line.
      if (held > 0) SearchLastLine(&s, begin, end);
    } else {
      // A forward look first: a line longer than the buffer has no LF at all.
      if (std::memchr(fresh, '\n', end - fresh) == nullptr) continue;
      end = LastLf(fresh, end) + 1;
      SearchRegion(&s, begin, end);
    }
    FlushPrinter(&s.printer);
    KeepLastMatch(&s);
    held -= static_cast<std::size_t>(end - begin);
    std::memmove(buffer.get(), end, held);
  }
  return std::move(s.outcome);
}

SearchOutcome SearchStreamByLine(const SearchSetup& setup, const ReadFunction& read,
                                 const ByteSink& sink) {
  DataState data;
  StartData(&data, setup);
  LineReader reader;
  InitLineReader(
      &reader,
      [&](char* buffer, std::size_t size, platform::IoError* error) {
        const std::ptrdiff_t n = read(buffer, size, error);
        if (n > 0) DecideData(&data, setup, std::string_view(buffer, n));
        return n;
      },
      setup.bufferSize);
  SearchOutcome outcome;
  std::string line;
  while (ReadLine(&reader, &line)) {
    if (!LineSelected(data.matcher, line)) continue;
    sink(WrittenInUtf8(setup, data) ? ShiftJisToUtf8(line) : line);
    sink("\r\n");
    outcome.lastMatch = line;
    outcome.lastMatchEncoding = data.encoding;
  }
  return outcome;
}

std::string SearchInput(const platform::Input& input) {
  SearchState& state = State();
  SearchSetup setup;
  setup.terms = state.terms;
  setup.excludeMode = state.excludeMode;
  setup.consoleUtf8 = ConsoleEncoding() == Encoding::Utf8;
  SearchOutcome outcome =
      SearchStream(setup, InputReadFunction(input), nullptr,
                   [](std::span<const std::string_view> pieces) { WritePieces(pieces); });
  state.lastMatchEncoding = outcome.lastMatchEncoding;
  return std::move(outcome.lastMatch);
}

}  // namespace narvo
