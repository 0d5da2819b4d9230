// The straightforward forms of what the product does fast, for the tests to
// hold the product against: text lines read one at a time the way the
// program's text files always have been read (LF or CR LF ends a line, a lone
// CR is dropped, an end mark where a line begins ends the input and one inside
// a line ends its text, NUL bytes are ordinary bytes, no length limit), the
// data encoding decided on the whole data, and the search line by line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/narvo_engine.h"
#include "engine/printer.h"
#include "engine/searcher.h"
#include "helpers/line_reader.h"
#include "helpers/text.h"

namespace narvo {

// A buffered reader over one input; plain record, driven by the functions below.
struct LineReader {
  ReadFunction read;
  std::vector<char> buffer;
  std::size_t begin = 0;    // first unread byte in buffer
  std::size_t end = 0;      // one past the last byte read into buffer
  bool dataEnded = false;   // the source reported its end
  bool inputEnded = false;  // end of input: end of data or an end mark where a line begins
  bool endMarked = false;   // the input ended at an end mark, not with the data
};

// Prepares reader to read from read with a buffer of bufferSize bytes.
void InitLineReader(LineReader* reader, ReadFunction read, std::size_t bufferSize = 1 << 18);

// Reads the next line into *line (line end excluded); false at the end of input.
bool ReadLine(LineReader* reader, std::string* line);

// The data encoding of a whole input (data as read, up to the end of the data)
// where it is decided, on the line that holds its first byte >= 0x80, as the
// line reader delimits it (its LF, the end of the data, or the end mark that
// ends the input): UTF-8 when the data starts with a byte-order mark or that
// line TakesUtf8, Shift-JIS otherwise; none when the input ends before any such
// byte. The searcher decides the same as it reads.
std::optional<Encoding> DecideDataEncoding(std::string_view data, bool strict = false);

// The same result as SearchStream, line by line, the straightforward way.
SearchOutcome SearchStreamByLine(const SearchSetup& setup, const ReadFunction& read,
                                 const ByteSink& sink);

}  // namespace narvo
