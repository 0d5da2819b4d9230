#include "engine/read_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

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
  char* moved = static_cast<char*>(std::realloc(b->owned.get(), size));
  if (moved == nullptr) throw std::bad_alloc();
  b->owned.release();
  b->owned.reset(moved);
  b->bytes = moved;
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

void MoveToMapping(ReadBuffer* b, std::span<char> bytes, std::function<std::size_t()> held) {
  b->mapped = bytes;
  b->mappedHeld = std::move(held);
  b->taken = b->held;
  b->bytes = bytes.data();
}

namespace {

// Takes the next mapped bytes, as many as the file still holds; 0 at the end
// of the mapped ones.
std::size_t TakeMapped(ReadBuffer* b) {
  std::size_t length = b->mapped.size();
  if (b->mappedHeld) length = std::min(length, b->mappedHeld());
  if (b->taken >= length) return 0;
  // The held bytes end where the next ones are, unless the rest of a line
  // was dropped in between: then the next ones move up to them.
  const std::size_t n = std::min(b->fullSize, length - b->taken);
  char* const next = b->mapped.data() + b->taken;
  if (b->bytes + b->held != next) std::memmove(b->bytes + b->held, next, n);
  b->taken += n;
  b->held += n;
  b->total += n;
  return n;
}

// After the last mapped byte: the held ones move to the buffer's own bytes,
// which read on. The output is done with those: before it was mapped, the
// buffer was dropped from only once it was, or the rest moved to the spare.
void LeaveMapping(ReadBuffer* b) {
  const char* held = b->bytes;
  b->mapped = {};
  Resize(b, std::max({b->size, b->fullSize, b->held}));
  std::memcpy(b->bytes, held, b->held);
}

}  // namespace

std::size_t FillBuffer(ReadBuffer* b, const ReadFunction& read) {
  if (!b->mapped.empty()) {
    if (const std::size_t n = TakeMapped(b)) return n;
    // A file cut short ends where it ends now; else it may have grown.
    if (b->taken < b->mapped.size()) return 0;
    LeaveMapping(b);
  }
  // A line longer than the buffer makes it grow until the line fits.
  std::size_t wanted = b->held == b->size ? b->size * 2 : b->size;
  if (b->total >= kInputForFullSize && wanted < b->fullSize) wanted = b->fullSize;
  if (wanted != b->size) Resize(b, wanted);
  // At most the usual size a read: the part of a grown buffer that a long line
  // did not need stays untouched, and costs no memory.
  const std::size_t room = b->size - b->held < b->fullSize ? b->size - b->held : b->fullSize;
  platform::IoError error;
  const std::ptrdiff_t n = read(b->bytes + b->held, room, &error);
  if (n < 0) FailIo(error);
  b->held += static_cast<std::size_t>(n);
  b->total += static_cast<std::size_t>(n);
  return static_cast<std::size_t>(n);
}

void DropFront(ReadBuffer* b, std::size_t count) {
  b->held -= count;
  if (!b->mapped.empty()) {
    b->bytes += count;
    return;
  }
  std::memmove(b->bytes, b->bytes + count, b->held);
}

bool SpareTakesRest(const ReadBuffer& b, std::size_t count) {
  const std::size_t spareSize = b.spare == nullptr ? b.fullSize : b.spareSize;
  return b.mapped.empty() && b.size <= b.fullSize && b.held - count <= spareSize / 2;
}

void MoveToSpare(ReadBuffer* b, std::size_t count) {
  if (b->spare == nullptr) {
    b->spare.reset(static_cast<char*>(std::malloc(b->fullSize)));
    if (b->spare == nullptr) throw std::bad_alloc();
    b->spareSize = b->fullSize;
  }
  b->held -= count;
  std::memcpy(b->spare.get(), b->bytes + count, b->held);
  b->owned.swap(b->spare);
  b->bytes = b->owned.get();
  std::swap(b->size, b->spareSize);
}

}  // namespace narvo
