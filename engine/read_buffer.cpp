#include "engine/read_buffer.h"

#include <cstring>
#include <new>

#include "helpers/failure.h"

namespace narvo {

namespace {

// The buffer starts at most this large and takes the usual size once this much
// input has gone through: each new page of it costs a page fault, which on a
// small input outweighs the reads a larger buffer saves.
constexpr std::size_t kStartSize = 1 << 16;
constexpr std::size_t kInputForFullSize = 1 << 24;

void Resize(ReadBuffer* b, std::size_t size) {
  // realloc moves a large block's pages without copying them.
  char* moved = static_cast<char*>(std::realloc(b->bytes.get(), size));
  if (moved == nullptr) throw std::bad_alloc();
  b->bytes.release();
  b->bytes.reset(moved);
  b->size = size;
}

}  // namespace

ReadBuffer MakeReadBuffer(std::size_t usualSize) {
  ReadBuffer b;
  b.fullSize = usualSize == 0 ? 1 : usualSize;
  // Left uninitialised: every byte is read into before it is looked at.
  Resize(&b, b.fullSize < kStartSize ? b.fullSize : kStartSize);
  return b;
}

std::size_t FillBuffer(ReadBuffer* b, const ReadFunction& read) {
  // A line longer than the buffer makes it grow until the line fits.
  std::size_t wanted = b->held == b->size ? b->size * 2 : b->size;
  if (b->total >= kInputForFullSize && wanted < b->fullSize) wanted = b->fullSize;
  if (wanted != b->size) Resize(b, wanted);
  // At most the usual size a read: the part of a grown buffer that a long line
  // did not need stays untouched, and costs no memory.
  const std::size_t room = b->size - b->held < b->fullSize ? b->size - b->held : b->fullSize;
  platform::IoError error;
  const std::ptrdiff_t n = read(b->bytes.get() + b->held, room, &error);
  if (n < 0) FailIo(error);
  b->held += static_cast<std::size_t>(n);
  b->total += static_cast<std::size_t>(n);
  return static_cast<std::size_t>(n);
}

void DropFront(ReadBuffer* b, std::size_t count) {
  b->held -= count;
  std::memmove(b->bytes.get(), b->bytes.get() + count, b->held);
}

}  // namespace narvo
