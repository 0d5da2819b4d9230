// The searcher's read buffer: what has been read and not yet searched, always
// starting at a line start, grown while one line does not fit.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "helpers/line_reader.h"

namespace narvo {

// A read buffer; plain record, driven by the functions below.
struct ReadBuffer {
  std::unique_ptr<char, decltype(&std::free)> bytes{nullptr, &std::free};
  std::size_t size = 0;      // allocated
  std::size_t held = 0;      // bytes [0, held) are read and not yet dropped
  std::size_t fullSize = 1;  // the usual size, taken once much input has gone through
  std::size_t total = 0;     // bytes read so far
};

// A buffer that reads up to usualSize bytes at a time.
ReadBuffer MakeReadBuffer(std::size_t usualSize);

// Reads more after the held bytes, growing the buffer when they fill it; the
// count read, 0 at the end of the data. A read failure ends in the failure report.
std::size_t FillBuffer(ReadBuffer* buffer, const ReadFunction& read);

// Drops the first count held bytes; the rest moves to the front.
void DropFront(ReadBuffer* buffer, std::size_t count);

}  // namespace narvo
