#include "helpers/output.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "helpers/encoding.h"
#include "helpers/failure.h"
#include "helpers/text.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// Small: it gathers the scattered lines of a search that writes few, and every
// page of a larger buffer would cost a page fault for little.
constexpr std::size_t kBufferSize = 1 << 14;

// Once a native run writes much, its bytes gather in a large buffer written
// whole, each byte at the offset in its page that its place in the output
// has: the system copies the pages of a write fastest so (from a buffer 1 to
// 31 bytes before the output position's page offset it took three times
// longer), and one write stands for a gathered write of many scattered lines.
// A UTF-8 console keeps the gathered writes of its conversion buffer, whose
// memory would come on top.
constexpr std::size_t kLargeSize = 1 << 18;

// Bytes written but not yet handed to the system: in pending, or once a run
// writes much, in large[begin, end).
std::string pending;
constexpr std::align_val_t kPage{4096};
struct FreePage {
  void operator()(char* bytes) const { ::operator delete(bytes, kPage); }
};
struct Large {
  std::unique_ptr<char, FreePage> bytes;
  std::size_t begin = 0, end = 0;
} large;
std::uint64_t handed = 0;  // bytes handed to the system so far

bool Drain(platform::IoError* error) {
  bool ok = platform::WriteAll(platform::Stream::Output, pending.data(), pending.size(), error);
  handed += pending.size();
  pending.clear();
  if (large.bytes) {
    ok = ok && platform::WriteAll(platform::Stream::Output, large.bytes.get() + large.begin,
                                  large.end - large.begin, error);
    handed += large.end - large.begin;
    large.begin = large.end = handed % kLargeSize;
  }
  return ok;
}

// Copies the pieces into the large buffer, writing it whenever it is full.
void GatherLarge(std::span<const std::string_view> pieces) {
  for (std::string_view piece : pieces) {
    while (!piece.empty()) {
      const std::size_t n = std::min(piece.size(), kLargeSize - large.end);
      std::memcpy(large.bytes.get() + large.end, piece.data(), n);
      large.end += n;
      piece.remove_prefix(n);
      if (large.end == kLargeSize) FlushOutput();
    }
  }
}

}  // namespace

void WritePieces(std::span<const std::string_view> pieces) {
  if (large.bytes) {
    GatherLarge(pieces);
    return;
  }
  std::size_t total = 0;
  for (std::string_view piece : pieces)
    total += piece.size();
  if (pending.size() + total <= kBufferSize) {
    if (pending.capacity() < kBufferSize) pending.reserve(kBufferSize);
    for (std::string_view piece : pieces)
      pending.append(piece);
    return;
  }
  if (ConsoleEncoding() != Encoding::Utf8) {
    FlushOutput();
    large.bytes.reset(static_cast<char*>(::operator new(kLargeSize, kPage)));
    large.begin = large.end = handed % kLargeSize;
    GatherLarge(pieces);
    return;
  }
  static std::vector<std::string_view> all;
  all.clear();
  all.emplace_back(pending);
  all.insert(all.end(), pieces.begin(), pieces.end());
  platform::IoError error;
  const bool ok = platform::WriteAllPieces(platform::Stream::Output, all, &error);
  handed += pending.size() + total;
  pending.clear();
  if (!ok) FailIo(error);
}

void WriteLine(std::string_view bytes) {
  const std::string_view pieces[] = {bytes, "\r\n"};
  WritePieces(pieces);
}

void FlushOutput() {
  platform::IoError error;
  if (!Drain(&error)) FailIo(error);
}

void FinishOutput() {
  FlushOutput();
  platform::IoError error;
  if (!platform::CloseOutput(&error)) FailIo(error);
}

bool TryFlushOutput() {
  platform::IoError error;
  return Drain(&error);
}

std::string ConsoleText(std::string_view shiftJisText) {
  if (ConsoleEncoding() != Encoding::Utf8) return std::string(shiftJisText);
  return ShiftJisToUtf8(shiftJisText);
}

std::string ConsoleText(std::string_view shiftJisText, std::string_view value) {
  std::string text = ConsoleText(shiftJisText);
  // '%' is never part of a Shift-JIS character, so the first one is the mark.
  const std::size_t mark = text.find("%s");
  if (mark != std::string::npos) text.replace(mark, 2, value);
  return text;
}

}  // namespace narvo
