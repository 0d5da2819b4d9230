#include "engine/data_encoding.h"

#include <cstring>

#include "engine/prefilter.h"
#include "helpers/text.h"

namespace narvo {

// The native mode knows only Shift-JIS where it does not decide. Before the
// first byte >= 0x80 every line is ASCII, which the keywords as typed match
// exactly as converted ones would, so the typed ones serve until the decision.
void StartData(DataState* d, const SearchSetup& setup) {
  d->decided = !setup.consoleUtf8 && !setup.decideNative;
  d->encoding = setup.consoleUtf8 ? Encoding::Utf8 : Encoding::ShiftJis;
  d->matcher = MakeMatcher(setup.terms, setup.excludeMode, d->encoding);
}

namespace {

// The decision on the line that holds the first byte >= 0x80, once it has ended.
Encoding DecidedEncoding(const DataState& d, const SearchSetup& setup) {
  return d.byteOrderMark || TakesUtf8(d.check, !setup.consoleUtf8) ? Encoding::Utf8
                                                                   : Encoding::ShiftJis;
}

}  // namespace

// UTF-8 data in the native mode folds the letters its Shift-JIS data folds.
void Decide(DataState* d, const SearchSetup& setup, Encoding encoding) {
  d->decided = true;
  d->pending = d->checking = false;
  d->encoding = encoding;
  d->matcher = MakeMatcher(KeywordsForData(setup.terms, setup.consoleUtf8, d->encoding),
                           setup.excludeMode, d->encoding, !setup.consoleUtf8);
}

void NoteHighByte(DataState* data, const ReadBuffer& b, std::size_t from) {
  DataState& d = *data;
  if (d.decided || d.pending) return;
  const char* bytes = b.bytes.get();
  const std::size_t high = FirstHighByte(std::string_view(bytes + from, b.held - from));
  if (high == std::string_view::npos) return;
  d.pending = true;
  d.pendingAt = from + high;
  d.check = Utf8Check();
}

// The line ends at its LF, the end mark that ends the input, or the end of
// the data. When an end mark ends the line's text before that, the bytes held
// are checked now and the rest as it is skipped.
bool DecideOnHeldLine(DataState* data, const SearchSetup& setup, const ReadBuffer& b,
                      std::size_t from, bool dataEnded) {
  DataState& d = *data;
  if (!d.pending || d.checking) return false;
  const char* bytes = b.bytes.get();
  const char* const at = bytes + d.pendingAt;
  const char* const held = bytes + b.held;
  // Until new bytes bring its LF or an end mark, the line goes on: the held
  // part of a long line is not looked at again.
  const char* const fresh = bytes + from;
  if (!dataEnded && at < fresh && ReadingOf(fresh, fresh, held).textEnd == nullptr) return false;
  const char* lineStart = LastLf(bytes, at);
  const char* const begin = lineStart == nullptr ? bytes : lineStart + 1;
  const LineReading r = ReadingOf(begin, begin, held);
  if (r.endsInput && r.stop < at) {
    // The input ends before that byte: every line read is ASCII, and the
    // keywords as typed serve to the end.
    d.pending = false;
    d.decided = true;
    return true;
  }
  // The line's bytes, its skipped rest included, up to its LF or the end mark
  // that ends the input.
  const char* const lineEnd = r.stop == nullptr ? held : r.endsInput ? r.stop : r.stop - 1;
  const bool ended = r.stop != nullptr || dataEnded;
  if (!ended && r.textEnd == nullptr) return false;  // read on
  CheckUtf8(&d.check, std::string_view(at, static_cast<std::size_t>(lineEnd - at)));
  // The buffer starts at the start of the data until its first drop, and
  // holds the line up to lineEnd: a mark cut by reads is whole here.
  d.byteOrderMark = b.total == b.held && d.pendingAt == 0 && lineEnd - bytes >= 3 &&
                    std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0;
  d.checking = !ended;
  if (ended) Decide(&d, setup, DecidedEncoding(d, setup));
  return ended;
}

bool CheckSkippedBytes(DataState* data, const SearchSetup& setup, std::string_view rest,
                       bool ended) {
  DataState& d = *data;
  if (!d.decided && !d.checking) {
    // The first byte >= 0x80 may stand in the rest: its line is this one.
    const std::size_t high = FirstHighByte(rest);
    if (high == std::string_view::npos) return false;
    d.pending = d.checking = true;
    d.byteOrderMark = false;
    d.check = Utf8Check();
    rest.remove_prefix(high);
  }
  if (!d.checking) return false;
  CheckUtf8(&d.check, rest);
  if (ended) Decide(&d, setup, DecidedEncoding(d, setup));
  return ended;
}

}  // namespace narvo
