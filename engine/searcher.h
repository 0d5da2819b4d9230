// The searcher: reads an input into a reused buffer, finds the selected lines
// with the buffer scans and hands them to the printer. A line holding a NUL, an
// end mark or a lone CR is read the way the line reader reads it (which defines
// what the searcher does), in place in the buffer, and checked on its own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/printer.h"
#include "engine/scan_kernels.h"
#include "helpers/line_reader.h"
#include "helpers/text.h"
#include "platform/platform.h"

namespace narvo {

// What a search looks for and how its input and output are encoded.
struct SearchSetup {
  std::vector<std::string> terms;  // keywords as typed, in the console's encoding
  bool excludeMode = false;
  bool consoleUtf8 = false;          // decide each input's data encoding; write lines in UTF-8
  std::size_t bufferSize = 1 << 18;  // usual read buffer; starts smaller, grows for long lines
  bool keepLastMatch = true;         // give the last line written in the outcome
  // Lines longer than this are searched on their own, without the LF bits of
  // the buffer scans (an eighth of their size); the rest in pieces of at most this.
  std::size_t longLine = 1 << 22;
  const ScanKernels* kernels = &WidestKernels();  // the buffer scans
};

// The outcome of a search.
struct SearchOutcome {
  // The last line written, without its line end; empty when none (or not kept).
  std::string lastMatch;
  Encoding lastMatchEncoding = Encoding::ShiftJis;  // the data encoding it was read in
};

// Searches the input read delivers and writes the selected lines to pieces
// when it is set, else to sink.
SearchOutcome SearchStream(const SearchSetup& setup, const ReadFunction& read, const ByteSink& sink,
                           const PiecesSink& pieces = nullptr);

// The same result line by line, the straightforward way: the reference for SearchStream.
SearchOutcome SearchStreamByLine(const SearchSetup& setup, const ReadFunction& read,
                                 const ByteSink& sink);

// Searches input with the run's keywords and modes, writes to standard output,
// records the last line's data encoding in State() and returns the last line.
std::string SearchInput(const platform::Input& input);

}  // namespace narvo
