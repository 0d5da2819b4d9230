#include "engine/searcher.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

#include "engine/data_encoding.h"
#include "engine/matcher.h"
#include "engine/narvo_engine.h"
#include "engine/prefilter.h"
#include "engine/read_buffer.h"
#include "helpers/encoding.h"
#include "helpers/failure.h"
#include "helpers/output.h"
#include "helpers/text.h"

namespace narvo {

namespace {

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
  // Lines selected so far, and whether the last block selected many for its
  // size: then the block scan takes the next block whole and marks its
  // candidates all at once, which pays where most lines hit and costs a pass
  // where few do.
  std::size_t selected = 0;
  bool dense = false;
  SearchOutcome outcome;
  // The last selected line, while it is still in the buffer: the last line of
  // [lastBegin, lastEnd), or, with lastIsText, that text itself.
  const char* lastBegin = nullptr;
  const char* lastEnd = nullptr;
  bool lastIsText = false;
  Encoding lastEncoding = Encoding::ShiftJis;
  bool inputEnded = false;  // an end mark ended the input
  // An end mark inside the line being read ended its text, which the buffer
  // holds; the rest of the physical line is read and dropped.
  bool skipping = false;
};

void PrepareKeywords(Search* s) {
  s->keys = MakeKeywordSet(s->data.matcher, s->setup->looseKeywordSets, s->setup->kernels);
  s->printer.toUtf8 = WrittenInUtf8(*s->setup, s->data);
}

// After the data encoding is decided: the printer holds nothing then.
void TakeDecision(Search* s) {
  PrepareKeywords(s);
  if (s->setup->dataDecided) s->setup->dataDecided(s->data.encoding);
}

void Select(Search* s, const char* begin, const char* end, bool bareLf) {
  if (begin == end) return;
  PrintLines(&s->printer, begin, end, bareLf);
  ++s->selected;
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
    end = TextEnd(begin, end + 1);
  }
  s->outcome.lastMatch.assign(begin, end);
  s->outcome.lastMatchEncoding = s->lastEncoding;
}

// True when the text of one line (no line end, NULs allowed) is selected.
bool TextSelected(const Search* s, std::string_view text) {
  return TextHoldsKeywords(s->keys, text) != s->setup->excludeMode;
}

// Whole clean lines [p, end): include mode writes the lines that hold the
// keywords, exclude mode the stretches between them.
void SearchCleanLines(Search* s, const char* p, const char* end, bool bareLf) {
  while (p < end) {
    const LineSpan line = NextLineWithKeywords(s->keys, s->lineEnds, p, end);
    if (s->setup->excludeMode) {
      Select(s, p, line.begin, bareLf);
    } else if (line.begin != end) {
      Select(s, line.begin, line.end, bareLf);
    }
    p = line.end;
  }
}

// The text [begin, textEnd) of one line, read the way the line reader reads
// it, in place: a lone CR is dropped, the text closed up in the buffer.
void SearchLineText(Search* s, char* begin, char* textEnd) {
  const std::string_view text(begin, static_cast<std::size_t>(DropLoneCrs(begin, textEnd) - begin));
  if (TextSelected(s, text)) SelectText(s, text);
}

// A line [begin, end) (after its LF, or the data's last line without one) that
// holds a NUL, an end mark or a lone CR.
void SearchIrregularLine(Search* s, char* begin, char* end) {
  const LineReading r = ReadingOf(begin, begin, end);
  s->inputEnded = r.endsInput;
  if (r.stop == begin) return;
  SearchLineText(s, begin, r.textEnd == nullptr ? end : begin + (r.textEnd - begin));
}

// One line [begin, end), decided on its own without LF bits: after its LF, or
// the data's last line without one.
void SearchOneLine(Search* s, char* begin, char* end) {
  if (HoldsIrregularByte(begin, end)) {
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

// Include mode where few lines hold the keyword: its candidates first, and only
// their lines looked at, instead of every byte for the bytes the line reader
// treats specially. [p, end) are whole lines. The vector levels' candidates
// include the lines that hold those bytes where they matter (a lone CR, an end
// mark); memchr at the portable level finds only the keyword's rarest byte, and
// the lines stop before the first end mark. It stops where candidate lines come
// close together, for the block scan is cheaper there; returns where it stopped.
char* SearchCandidateLines(Search* s, char* p, char* const end) {
  constexpr std::ptrdiff_t kBytesPerCandidateLine = 2048;  // fewer: the block scan pays
  const bool seesSpecial = s->setup->kernels->candidateOrSpecial != nullptr;
  const char* mark = seesSpecial ? nullptr : FindEndMark(p, end);
  const char* lastLf = mark == nullptr ? nullptr : LastLf(*s->setup->kernels, p, mark);
  char* const stop = mark == nullptr ? end : lastLf == nullptr ? p : p + (lastLf + 1 - p);
  char* const from = p;
  for (std::ptrdiff_t lines = 1; p < stop && !s->inputEnded; ++lines) {
    const LineSpan line = NextCandidateLine(s->keys, p, stop);
    char* lineBegin = p + (line.begin - p);
    if (lineBegin == stop) return stop;
    if (lines > 16 && (lineBegin - from) / lines < kBytesPerCandidateLine) return lineBegin;
    char* lineEnd = p + (line.end - p);
    SearchOneLine(s, lineBegin, lineEnd);
    p = lineEnd;
  }
  return p;
}

// The lines [p, end): it starts at a line start and ends after an LF.
void SearchRegion(Search* s, char* p, char* const regionEnd) {
  const bool candidatesFirst = !s->setup->excludeMode;
  while (p < regionEnd && !s->inputEnded) {
    // In pieces of whole lines of at most longLine bytes; a longer line alone.
    char* end = regionEnd;
    const auto most = static_cast<std::ptrdiff_t>(s->setup->longLine);
    if (end - p > most) {
      const char* lf = LastLf(*s->setup->kernels, p, p + most);
      if (lf == nullptr) {
        char* lineEnd = static_cast<char*>(std::memchr(p, '\n', end - p)) + 1;
        SearchOneLine(s, p, lineEnd);
        p = lineEnd;
        continue;
      }
      end = p + (lf + 1 - p);
    }
    if (candidatesFirst && !s->dense) {
      p = SearchCandidateLines(s, p, end);
      if (p == end || s->inputEnded) continue;
    }
    const BlockScan scan = ScanBlock(*s->setup->kernels, p, end, &s->lineEnds);
    // The clean lines end at the end, or where the line with the irregular byte begins.
    char* lineBegin =
        scan.irregular == end ? end : p + (LineStartBefore(s->lineEnds, p, scan.irregular) - p);
    if (s->dense) MarkKeywordCandidates(s->keys, lineBegin, &s->lineEnds);
    const std::size_t selectedBefore = s->selected;
    SearchCleanLines(s, p, lineBegin, scan.bareLf);
    constexpr std::ptrdiff_t kDenseBytesPerLine = 1024;  // a selected line a KiB or more
    s->dense = static_cast<std::ptrdiff_t>(s->selected - selectedBefore) * kDenseBytesPerLine >=
               lineBegin - p;
    if (lineBegin == end) {
      p = end;
      continue;
    }
    char* lineEnd = static_cast<char*>(std::memchr(lineBegin, '\n', end - lineBegin)) + 1;
    SearchIrregularLine(s, lineBegin, lineEnd);
    p = lineEnd;
  }
}

// Writes what the buffer's searched part selected and keeps the last line.
void EndPass(Search* s) {
  FlushPrinter(&s->printer);
  KeepLastMatch(s);
}

// While skipping: the bytes [from, held) just read belong to the rest of the
// line whose text and end mark the buffer holds up to from. The line's text
// is searched when the rest ends: at its LF (reading goes on after it),
// another end mark (the input ends) or the end of the data. False while the
// rest goes on.
bool SkipRest(Search* s, ReadBuffer* b, std::size_t from, bool dataEnded) {
  char* bytes = b->bytes.get();
  char* const held = bytes + b->held;
  const LineReading r = ReadingOf(bytes, bytes + from, held);
  const char* const restEnd = r.stop == nullptr ? held : r.endsInput ? r.stop : r.stop - 1;
  const std::string_view rest(bytes + from, restEnd - (bytes + from));
  const bool ended = r.stop != nullptr || dataEnded;
  if (CheckSkippedBytes(&s->data, *s->setup, rest, ended)) TakeDecision(s);
  if (!ended) {
    b->held = from;  // the rest is dropped as it comes
    return false;
  }
  s->skipping = false;
  SearchLineText(s, bytes, bytes + from - 1);
  EndPass(s);
  if (r.stop == nullptr || r.endsInput) {
    s->inputEnded = true;
    return true;
  }
  DropFront(b, static_cast<std::size_t>(r.stop - bytes));
  return true;
}

// The line [0, held) being read has no LF yet (from from on, the bytes are
// new): an end mark where it begins ends the input, and one inside it ends
// its text; the rest is then skipped.
void LookAtOpenLine(Search* s, ReadBuffer* b, std::size_t from) {
  char* bytes = b->bytes.get();
  if (b->held == 0) return;
  const LineReading r = ReadingOf(bytes, bytes + from, bytes + b->held);
  if (r.textEnd == nullptr) return;
  if (r.endsInput) {
    if (r.stop != bytes) SearchLineText(s, bytes, bytes + (r.textEnd - bytes));
    s->inputEnded = true;
    return;
  }
  s->skipping = true;
  b->held = static_cast<std::size_t>(r.textEnd + 1 - bytes);
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
  ReadBuffer b = MakeReadBuffer(setup.bufferSize);
  bool dataEnded = false;
  while (!dataEnded && !s.inputEnded) {
    // What is held is one line, not yet ended: its start, or its text while skipping.
    std::size_t fresh = b.held;
    dataEnded = FillBuffer(&b, read) == 0;
    if (s.skipping) {
      if (!SkipRest(&s, &b, fresh, dataEnded) || s.inputEnded) continue;
      fresh = 0;
    }
    char* begin = b.bytes.get();
    char* end = begin + b.held;
    DataState& d = s.data;
    NoteHighByte(&d, b, fresh);
    if (DecideOnHeldLine(&d, setup, b, fresh, dataEnded)) TakeDecision(&s);
    if (dataEnded) {
      // Every line with a line end has been searched: what is held is the last line.
      if (b.held > 0) SearchOneLine(&s, begin, end);
      EndPass(&s);
      break;
    }
    const char* lf = LastLf(*setup.kernels, begin + fresh, end);
    if (lf != nullptr) {
      end = begin + (lf + 1 - begin);
      SearchRegion(&s, begin, end);
      EndPass(&s);
      const auto searched = static_cast<std::size_t>(end - begin);
      DropFront(&b, searched);
      if (d.pending) d.pendingAt -= searched;
      fresh = 0;
    }
    if (!s.inputEnded) LookAtOpenLine(&s, &b, fresh);
    if (s.inputEnded) EndPass(&s);
  }
  return std::move(s.outcome);
}

SearchOutcome SearchInput(const platform::Input& input, const SearchState& state) {
  SearchSetup setup;
  setup.terms = state.terms;
  setup.excludeMode = state.excludeMode;
  setup.consoleUtf8 = ConsoleEncoding() == Encoding::Utf8;
  setup.decideNative = !setup.consoleUtf8 && platform::DecidesNativeData();
  // UTF-8 data in the native mode is UTF-8 text to a console: what was written
  // before goes out as it was, and the console is set back when the input ends.
  bool outputUtf8 = false;
  if (setup.decideNative) {
    setup.dataDecided = [&outputUtf8](Encoding encoding) {
      if (encoding != Encoding::Utf8) return;
      FlushOutput();
      platform::SetOutputUtf8(true);
      outputUtf8 = true;
    };
  }
  setup.keepLastMatch = state.edition == Edition::Clipboard;
  // On a stream, selected lines go out before a read that may wait, as they
  // are found (a read that fills what it asked for has more behind it); a
  // file keeps its large writes.
  ReadFunction read = InputReadFunction(input);
  if (platform::InputMayWait(input)) {
    read = [read, lastShort = true](char* buffer, std::size_t size,
                                    platform::IoError* error) mutable {
      if (lastShort) FlushOutput();
      const std::ptrdiff_t n = read(buffer, size, error);
      lastShort = n >= 0 && static_cast<std::size_t>(n) < size;
      return n;
    };
  }
  SearchOutcome outcome = SearchStream(
      setup, read, nullptr, [](std::span<const std::string_view> pieces) { WritePieces(pieces); });
  if (outputUtf8) {
    FlushOutput();
    platform::SetOutputUtf8(false);
  }
  return outcome;
}

}  // namespace narvo
