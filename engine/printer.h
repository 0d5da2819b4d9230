// Writing selected lines: straight from the read buffer where it can, adjacent
// lines joined into one piece, every line ended by CR LF, and Shift-JIS lines
// converted to UTF-8 for a UTF-8 console. A flush hands over all its pieces at
// once, so a large one goes out in one gathered write without being copied;
// converted, they go out through two buffers of fixed size, a part at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "helpers/output.h"

namespace narvo {

// Where written bytes go, piece by piece: a string in the tests.
using ByteSink = std::function<void(std::string_view bytes)>;

// Where written bytes go, all pieces of a flush at once: standard output in a
// run. write may leave them to be written later; the bytes they point to then
// stay as they are until await has been called with the mark it returned (0:
// written or copied at once, nothing to wait for).
struct PiecesSink {
  std::function<OutputMark(std::span<const std::string_view> pieces)> write;
  std::function<void(OutputMark mark)> await;
  // Optional: like write for Shift-JIS pieces the sink converts to UTF-8
  // itself, on another thread; 0 where it does not, and nothing is taken.
  std::function<OutputMark(std::span<const std::string_view> pieces)> writeInUtf8;
};

// A printer over one sink; plain record, driven by the functions below.
struct Printer {
  ByteSink sink;                   // used when pieces is not set
  PiecesSink pieces;               // or, when set, each flush at once
  bool toUtf8 = false;             // Shift-JIS data on a UTF-8 console
  const char* runBegin = nullptr;  // whole lines waiting in the read buffer
  const char* runEnd = nullptr;
  bool runBareLf = false;  // the waiting lines may hold an LF without its CR
  // What the next flush writes (with toUtf8, converts): ranges of the read buffer, constants.
  std::vector<std::string_view> queued;
  OutputMark handed = 0;       // the mark of the last pieces handed over
  OutputMark handedInput = 0;  // of them, the last that pointed into the read buffer
  // With toUtf8: the queued pieces cut in two, the first for the output to convert.
  std::vector<std::string_view> firstHalf, secondHalf;
  // With toUtf8: the output buffers, used in turn, so that one is filled while
  // the other may still be written; the mark of each one's last pieces. Left
  // uninitialised: a page of them costs only once written (a run that writes
  // little touches few).
  std::unique_ptr<char[]> converted[2];
  OutputMark convertedMark[2] = {};
  int turn = 0;
};

// Queues the whole lines [begin, end) (each ending in LF) from the read buffer;
// bareLf tells that an LF there may lack its CR.
void PrintLines(Printer* printer, const char* begin, const char* end, bool bareLf);

// Queues one line's text from the read buffer (not copied) followed by CR LF.
void PrintText(Printer* printer, std::string_view text);

// Hands everything queued over to be written; needed before the read buffer
// changes, as is AwaitPrinter where what was handed over may still be in use.
void FlushPrinter(Printer* printer);

// Returns once the pieces of mark (0: none), and all before, have been written.
void AwaitHanded(Printer* printer, OutputMark mark);

// Returns once everything handed over has been written.
void AwaitPrinter(Printer* printer);

}  // namespace narvo
