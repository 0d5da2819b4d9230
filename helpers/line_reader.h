// Reading text lines the way the program's text files always have been read:
// LF or CR LF ends a line, a lone CR is dropped, Ctrl-Z (0x1A) is an end mark,
// NUL bytes are ordinary bytes, and lines have no length limit.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace narvo {

// Fills buffer with up to size bytes: the count, 0 at the end of the data, -1 with *error filled.
using ReadFunction =
    std::function<std::ptrdiff_t(char* buffer, std::size_t size, platform::IoError* error)>;

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

// A ReadFunction over an open platform input; a read failure ends in the failure report.
ReadFunction InputReadFunction(const platform::Input& input);

// Reads the next line into *line (line end excluded); false at the end of input.
bool ReadLine(LineReader* reader, std::string* line);

}  // namespace narvo
