// The searcher's read buffer: what has been read and not yet searched, always
// starting at a line start, grown while one line does not fit. Over a mapped
// input the buffer is the mapping itself: reading takes the next bytes where
// they are, and dropping moves the buffer's start past the searched ones.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <memory>
#include <span>

#include "helpers/line_reader.h"

namespace narvo {

// A read buffer; plain record, driven by the functions below.
struct ReadBuffer {
  char* bytes = nullptr;  // the held bytes start here
  std::unique_ptr<char, decltype(&std::free)> owned{nullptr, &std::free};  // bytes, unless mapped
  std::size_t size = 0;                                                    // allocated
  std::size_t held = 0;      // bytes [0, held) are read and not yet dropped
  std::size_t fullSize = 1;  // the usual size, taken once much input has gone through
  std::size_t total = 0;     // bytes read so far
  // A second buffer, taking turns with bytes while output written from one may
  // still be in use (allocated when first needed, at the usual size).
  std::unique_ptr<char, decltype(&std::free)> spare{nullptr, &std::free};
  std::size_t spareSize = 0;
  // A mapped input: all its bytes, of which the first taken have been read,
  // and how many of them its file still holds (unset: all).
  std::span<char> mapped;
  std::size_t taken = 0;
  std::function<std::size_t()> mappedHeld;
};

// A buffer that reads up to usualSize bytes at a time.
ReadBuffer MakeReadBuffer(std::size_t usualSize);

// Goes on over the mapped input bytes, whose first ones are the held bytes
// (changed in place where a line is read the line reader's way), taking up to
// the usual size more at a time, as many as held tells the file still holds.
// Where the file has been cut short they end there; after the last,
// FillBuffer reads what the file has gained since. The spare stays allocated
// until the buffer goes: the output may still be writing from it.
void MoveToMapping(ReadBuffer* buffer, std::span<char> bytes, std::function<std::size_t()> held);

// Reads more after the held bytes, growing the buffer when they fill it; the
// count read, 0 at the end of the data. A read failure ends in the failure report.
std::size_t FillBuffer(ReadBuffer* buffer, const ReadFunction& read);

// Drops the first count held bytes; the rest moves to the front.
void DropFront(ReadBuffer* buffer, std::size_t count);

// True when MoveToSpare can take the rest after count held bytes: neither
// buffer is larger than the usual size (a long line is never held twice), and
// the rest fills at most half of the spare one. Never over a mapped input,
// whose searched bytes stay where they are.
bool SpareTakesRest(const ReadBuffer& buffer, std::size_t count);

// Drops the first count held bytes, leaving them where they are: the rest moves
// to the front of the spare buffer, which takes the place of the buffer.
void MoveToSpare(ReadBuffer* buffer, std::size_t count);

}  // namespace narvo
