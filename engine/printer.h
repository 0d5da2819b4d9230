// Writing selected lines: straight from the read buffer where it can, adjacent
// lines joined into one write, every line ended by CR LF, and Shift-JIS lines
// converted to UTF-8 for a UTF-8 console.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace narvo {

// Where written bytes go: standard output in a run, a string in the tests.
using ByteSink = std::function<void(std::string_view bytes)>;

// A printer over one sink; plain record, driven by the functions below.
struct Printer {
  ByteSink sink;
  bool toUtf8 = false;             // Shift-JIS data on a UTF-8 console
  const char* runBegin = nullptr;  // whole lines waiting in the read buffer
  const char* runEnd = nullptr;
  bool runBareLf = false;  // the waiting lines may hold an LF without its CR
  std::string toConvert;   // with toUtf8: what the next flush converts in one go
};

// Queues the whole lines [begin, end) (each ending in LF) from the read buffer;
// bareLf tells that an LF there may lack its CR.
void PrintLines(Printer* printer, const char* begin, const char* end, bool bareLf);

// Writes one line (without its line end) followed by CR LF.
void PrintLine(Printer* printer, std::string_view line);

// Writes everything queued; needed before the read buffer changes.
void FlushPrinter(Printer* printer);

}  // namespace narvo
