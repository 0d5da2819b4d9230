#include "helpers/output.h"

#include <vector>

#include "helpers/encoding.h"
#include "helpers/failure.h"
#include "helpers/text.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// Small: it gathers the scattered lines of a search that writes few; many
// lines go out straight from the read buffer (WritePieces), and every page of
// a larger buffer would cost a page fault for little.
constexpr std::size_t kBufferSize = 1 << 14;

// Bytes written but not yet handed to the system.
std::string pending;

bool Drain(platform::IoError* error) {
  const bool ok =
      platform::WriteAll(platform::Stream::Output, pending.data(), pending.size(), error);
  pending.clear();
  return ok;
}

}  // namespace

void WritePieces(std::span<const std::string_view> pieces) {
  std::size_t total = 0;
  for (std::string_view piece : pieces)
    total += piece.size();
  if (pending.size() + total <= kBufferSize) {
    if (pending.capacity() < kBufferSize) pending.reserve(kBufferSize);
    for (std::string_view piece : pieces)
      pending.append(piece);
    return;
  }
  static std::vector<std::string_view> all;
  all.clear();
  all.emplace_back(pending);
  all.insert(all.end(), pieces.begin(), pieces.end());
  platform::IoError error;
  const bool ok = platform::WriteAllPieces(platform::Stream::Output, all, &error);
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
