// Writing selected lines: straight from the read buffer where it can, adjacent
// lines joined into one piece, every line ended by CR LF, and Shift-JIS lines
// converted to UTF-8 for a UTF-8 console. A flush hands over all its pieces at
// once, so a large one goes out in one gathered write without being copied;
// converted, they go out through a buffer of fixed size, a part at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace narvo {

// Where written bytes go, piece by piece: a string in the tests.
using ByteSink = std::function<void(std::string_view bytes)>;

// Where written bytes go, all pieces of a flush at once (valid during the call
// only): standard output in a run.
using PiecesSink = std::function<void(std::span<const std::string_view> pieces)>;

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
  // With toUtf8: the flush's output buffer, reused. Left uninitialised: a page
  // of it costs only once written, so a run that writes little touches few.
  std::unique_ptr<char[]> converted;
};

// Queues the whole lines [begin, end) (each ending in LF) from the read buffer;
// bareLf tells that an LF there may lack its CR.
void PrintLines(Printer* printer, const char* begin, const char* end, bool bareLf);

// Queues one line's text from the read buffer (not copied) followed by CR LF.
void PrintText(Printer* printer, std::string_view text);

// Writes everything queued; needed before the read buffer changes.
void FlushPrinter(Printer* printer);

}  // namespace narvo
