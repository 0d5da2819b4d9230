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

constexpr char kCtrlZ = 0x1A;

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
  LineEnds lineEnds;  // of the block being searched
  SearchOutcome outcome;
  // The last selected line, while it is still in the buffer: the last line of
  // [lastBegin, lastEnd), or, with lastIsText, that text itself.
  const char* lastBegin = nullptr;
  const char* lastEnd = nullptr;
  bool lastIsText = false;
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
  s->lastIsText = false;
  s->lastEncoding = s->data.encoding;
}

// Selects one line's text, which stays where it is in the buffer.
void SelectText(Search* s, std::string_view text) {
  PrintText(&s->printer, text);
  s->lastBegin = text.data();
  s->lastEnd = text.data() + text.size();
  s->lastIsText = true;
  s->lastEncoding = s->data.encoding;
}

// Copies the last selected line out of the buffer before the buffer changes,
// where the caller wants it.
void KeepLastMatch(Search* s) {
  if (s->lastBegin == nullptr) return;
  const char* begin = s->lastBegin;
  const char* end = s->lastEnd;
  s->lastBegin = s->lastEnd = nullptr;
  if (!s->setup->keepLastMatch) return;
  if (!s->lastIsText) {
    --end;  // its LF
    const char* lf = LastLf(*s->setup->kernels, begin, end);
    if (lf != nullptr) begin = lf + 1;
    if (end > begin && end[-1] == '\r') --end;
  }
  s->outcome.lastMatch.assign(begin, end);
  s->outcome.lastMatchEncoding = s->lastEncoding;
}

// The line's text: without its LF, and without the CR before it.
const char* TextEnd(const char* lineBegin, const char* lineEnd) {
  const char* end = lineEnd - 1;
  return end > lineBegin && end[-1] == '\r' ? end - 1 : end;
}

// True when the text of one line (no line end in it, NULs allowed) is selected.
bool TextSelected(const Search* s, std::string_view text) {
  const KeywordSet& keys = s->keys;
  if (!keys.exact) return LineSelected(s->data.matcher, text);
  // Keywords are looked for before the first NUL only.
  const char* begin = text.data();
  const char* end = begin + std::min(text.size(), text.find('\0'));
  if (keys.excludeMode || keys.needles.empty()) {
    for (const Needle& n : keys.findable) {
      if (LineContains(keys, n, begin, end)) return false;
    }
    return true;
  }
  for (const Needle& n : keys.needles) {
    if (!LineContains(keys, n, begin, end)) return false;
  }
  return true;
}

// True when the line [lineBegin, lineEnd) is selected, decided as a whole.
bool SelectedByLine(const Search* s, const char* lineBegin, const char* lineEnd) {
  return TextSelected(s, std::string_view(lineBegin, TextEnd(lineBegin, lineEnd) - lineBegin));
}

// Include mode over whole clean lines: each candidate of the rarest keyword
// that proves an occurrence settles its line, whose other keywords are then
// looked for in that line only.
void SearchIncluding(Search* s, const char* p, const char* end, bool bareLf) {
  const Needle& first = s->keys.needles[s->keys.primary];
  const bool exact = s->keys.exact;
  const char* floor = p;
  std::size_t failures = 0;  // candidates that failed since the last line decided
  while (p < end) {
    const char* c = NextCandidate(*s->setup->kernels, first, p, end);
    if (c == end) return;
    const bool overworked = failures == kFailuresBeforeReference;
    if (exact && !overworked && !NeedleAt(first, c)) {
      ++failures;
      p = c + 1;
      continue;
    }
    const char* lineBegin = LineStartBefore(s->lineEnds, floor, c);
    floor = lineBegin;
    if (exact && !overworked && !StartsCharacter(s->keys, lineBegin, c)) {
      ++failures;
      p = c + 1;
      continue;
    }
    failures = 0;
    const char* lineEnd = LineEndAfter(s->lineEnds, c);
    p = floor = lineEnd;
    if (!exact || overworked) {
      // Decided as a whole: also where candidates kept failing, in time linear in the line.
      if (SelectedByLine(s, lineBegin, lineEnd)) Select(s, lineBegin, lineEnd, bareLf);
      continue;
    }
    const char* textEnd = TextEnd(lineBegin, lineEnd);
    bool all = true;
    for (std::size_t k = 0; all && k < s->keys.needles.size(); ++k) {
      if (k != s->keys.primary) all = LineContains(s->keys, s->keys.needles[k], lineBegin, textEnd);
    }
    if (all) Select(s, lineBegin, lineEnd, bareLf);
  }
}

// Exclude mode over whole clean lines: one pass for all keywords; the lines
// between two lines with an occurrence go out as one stretch.
void SearchExcluding(Search* s, const char* p, const char* end, bool bareLf) {
  const std::vector<Needle>& needles = s->keys.findable;
  const bool exact = s->keys.exact;
  const char* floor = p;
  const char* kept = p;      // start of the lines not yet excluded
  std::size_t failures = 0;  // candidates that failed since the last line decided
  while (p < end) {
    const char* c = NextCandidateOfAny(*s->setup->kernels, needles, p, end);
    if (c == end) break;
    // Where candidates kept failing, the line is decided as a whole.
    const bool byLine = !exact || failures == kFailuresBeforeReference;
    bool found = byLine;
    for (std::size_t k = 0; !found && k < needles.size(); ++k) {
      const Needle& n = needles[k];
      found = end - c >= static_cast<std::ptrdiff_t>(n.want.size()) && NeedleAt(n, c);
    }
    if (!found) {
      ++failures;
      p = c + 1;
      continue;
    }
    const char* lineBegin = LineStartBefore(s->lineEnds, floor, c);
    floor = lineBegin;
    if (!byLine && !StartsCharacter(s->keys, lineBegin, c)) {
      ++failures;
      p = c + 1;
      continue;
    }
    failures = 0;
    const char* lineEnd = LineEndAfter(s->lineEnds, c);
    p = floor = lineEnd;
    if (byLine && SelectedByLine(s, lineBegin, lineEnd)) continue;
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

// A line [begin, end) (after its LF, or the data's last line without one) that
// holds a NUL, an end mark or a lone CR, read the way the line reader reads it,
// in place: an end mark at its start ends the input; one inside it ends the
// line, and the rest is skipped, which ends the input when it holds another;
// a lone CR is dropped, the text closed up in the buffer.
void SearchIrregularLine(Search* s, char* begin, char* end) {
  if (*begin == kCtrlZ) {
    s->inputEnded = true;
    return;
  }
  char* textEnd = static_cast<char*>(std::memchr(begin, kCtrlZ, end - begin));
  if (textEnd != nullptr) {
    if (std::memchr(textEnd + 1, kCtrlZ, end - textEnd - 1) != nullptr) s->inputEnded = true;
  } else {
    textEnd = end;
    if (textEnd > begin && textEnd[-1] == '\n') --textEnd;
    if (textEnd < end && textEnd > begin && textEnd[-1] == '\r') --textEnd;
  }
  char* kept = begin;
  for (char* p = begin; p < textEnd;) {
    char* cr = static_cast<char*>(std::memchr(p, '\r', textEnd - p));
    char* const stop = cr == nullptr ? textEnd : cr;
    std::memmove(kept, p, static_cast<std::size_t>(stop - p));
    kept += stop - p;
    p = cr == nullptr ? textEnd : cr + 1;
  }
  const std::string_view text(begin, static_cast<std::size_t>(kept - begin));
  if (TextSelected(s, text)) SelectText(s, text);
}

// True when [begin, end) holds a NUL, an end mark or a CR that does not end it
// with the LF after it; for single long lines, so that they need no LF bits.
bool HoldsIrregular(const char* begin, const char* end) {
  if (std::memchr(begin, '\0', end - begin) != nullptr) return true;
  if (std::memchr(begin, kCtrlZ, end - begin) != nullptr) return true;
  for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\r', end - p))); ++p) {
    if (p + 1 == end || p[1] != '\n' || p + 2 != end) return true;
  }
  return false;
}

// One long line [begin, end): after its LF, or the data's last line without one.
void SearchLongLine(Search* s, char* begin, char* end) {
  if (HoldsIrregular(begin, end)) {
    SearchIrregularLine(s, begin, end);
    return;
  }
  const bool withLf = end[-1] == '\n';
  const char* textEnd = withLf ? TextEnd(begin, end) : end;
  if (!TextSelected(s, std::string_view(begin, static_cast<std::size_t>(textEnd - begin)))) return;
  if (withLf) {
    Select(s, begin, end, textEnd == end - 1);
  } else {
    SelectText(s, std::string_view(begin, static_cast<std::size_t>(end - begin)));
  }
}

// The lines [p, end): it starts at a line start and ends after an LF.
void SearchRegion(Search* s, char* p, char* const regionEnd) {
  while (p < regionEnd && !s->inputEnded) {
    // In pieces of whole lines of at most longLine bytes; a longer line alone.
    char* end = regionEnd;
    const auto most = static_cast<std::ptrdiff_t>(s->setup->longLine);
    if (end - p > most) {
      const char* lf = LastLf(*s->setup->kernels, p, p + most);
      if (lf == nullptr) {
        char* lineEnd = static_cast<char*>(std::memchr(p, '\n', end - p)) + 1;
        SearchLongLine(s, p, lineEnd);
        p = lineEnd;
        continue;
      }
      end = p + (lf + 1 - p);
    }
    const BlockScan scan = ScanBlock(*s->setup->kernels, p, end, &s->lineEnds);
    if (scan.irregular == end) {
      SearchCleanLines(s, p, end, scan.bareLf);
      p = end;
      continue;
    }
    char* lineBegin = p + (LineStartBefore(s->lineEnds, p, scan.irregular) - p);
    SearchCleanLines(s, p, lineBegin, scan.bareLf);
    char* lineEnd = static_cast<char*>(std::memchr(lineBegin, '\n', end - lineBegin)) + 1;
    SearchIrregularLine(s, lineBegin, lineEnd);
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
    // At most the usual size a read: the part of a grown buffer that a long
    // line did not need stays untouched, and costs no memory.
    const std::size_t room = size - held < fullSize ? size - held : fullSize;
    const std::ptrdiff_t n = read(buffer.get() + held, room, &error);
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
    char* begin = buffer.get();
    char* end = begin + held;
    if (dataEnded) {
      // Every line with a line end has been searched: what is held is the last line.
      if (held > 0) SearchLongLine(&s, begin, end);
    } else {
      // A forward look first: a line longer than the buffer has no LF at all.
      if (std::memchr(fresh, '\n', end - fresh) == nullptr) continue;
      end = begin + (LastLf(*setup.kernels, fresh, end) + 1 - begin);
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
  setup.keepLastMatch = state.edition == Edition::Clipboard;
  SearchOutcome outcome =
      SearchStream(setup, InputReadFunction(input), nullptr,
                   [](std::span<const std::string_view> pieces) { WritePieces(pieces); });
  state.lastMatchEncoding = outcome.lastMatchEncoding;
  return std::move(outcome.lastMatch);
}

}  // namespace narvo
