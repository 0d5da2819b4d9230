// The searcher: reads an input into a reused buffer, finds the selected lines
// with the buffer scans and hands them to the printer. A line holding a NUL, an
// end mark or a lone CR is read the way the line reader reads it (which defines
// what the searcher does), in place in the buffer, and checked on its own.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/narvo_engine.h"
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
  bool consoleUtf8 = false;  // decide each input's data encoding; write lines in UTF-8
  // The native mode (consoleUtf8 false) decides each input's data encoding too,
  // where its keywords are known to be CP932; lines are written unchanged.
  bool decideNative = false;
  // Told each decided input's data encoding, before any line after the
  // decision is written (the lines before it are ASCII).
  std::function<void(Encoding)> dataDecided;
  std::size_t bufferSize = 1 << 18;  // usual read buffer; starts smaller, grows for long lines
  bool keepLastMatch = true;         // give the last line written in the outcome
  // Lines longer than this are searched on their own, without the LF bits of
  // the buffer scans (an eighth of their size); the rest in pieces of at most this.
  std::size_t longLine = 1 << 22;
  // The tests: keyword sets that only narrow the search, as where lower-casing
  // folds more than ASCII letters, also where the exact ones would do.
  bool looseKeywordSets = false;
  const ScanKernels* kernels = &WidestKernels();  // the buffer scans, at one level
};

// Searches the input read delivers and writes the selected lines to pieces
// when it is set, else to sink.
SearchOutcome SearchStream(const SearchSetup& setup, const ReadFunction& read, const ByteSink& sink,
                           const PiecesSink& pieces = nullptr);

// Searches input with the keywords and modes of state, writes to standard
// output, and gives the last line written where the edition wants it.
SearchOutcome SearchInput(const platform::Input& input, const SearchState& state);

}  // namespace narvo
