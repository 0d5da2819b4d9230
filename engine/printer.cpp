#include "engine/printer.h"

#include <algorithm>
#include <cstring>

#include "helpers/encoding.h"

namespace narvo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Input converted per part of the output buffer: large enough that writes
// stay large, small enough that the buffer stays in the cache.
constexpr std::size_t kConvertPart = 1 << 15;

// Queues bytes that stay where they are until the flush (read buffer, constants).
void Put(Printer* p, std::string_view bytes) {
  if (bytes.empty()) return;
  if (!p->queued.empty() && p->queued.back().data() + p->queued.back().size() == bytes.data()) {
    p->queued.back() =
        std::string_view(p->queued.back().data(), p->queued.back().size() + bytes.size());
  } else {
    p->queued.push_back(bytes);
  }
}

// Queues the waiting lines.
void EndRun(Printer* p) {
  const char* begin = p->runBegin;
  const char* const end = p->runEnd;
  p->runBegin = p->runEnd = nullptr;
  if (begin == end) return;
  if (p->runBareLf) {
    // An LF without its CR splits the run: the line goes out up to its LF and CR LF follows.
    p->runBareLf = false;
    for (const char* lf = begin; (lf = static_cast<const char*>(std::memchr(lf, '\n', end - lf)));
         ++lf) {
      if (lf == begin || lf[-1] != '\r') {
        Put(p, std::string_view(begin, lf - begin));
        Put(p, kLineEnd);
        begin = lf + 1;
      }
    }
  }
  Put(p, std::string_view(begin, end - begin));
}

// Waits until the pieces of mark have been written.
void Await(Printer* p, OutputMark mark) {
  if (mark != 0) p->pieces.await(mark);
}

// Hands the pieces over to whichever sink the printer has; their mark.
OutputMark Hand(Printer* p, std::span<const std::string_view> pieces) {
  if (!p->pieces.write) {
    for (std::string_view v : pieces)
      p->sink(v);
    return 0;
  }
  const OutputMark mark = p->pieces.write(pieces);
  if (mark != 0) p->handed = mark;
  return mark;
}

// Converts the queued pieces into an output buffer, handing it over whenever
// another part might not fit and going on in the other one: memory stays the
// buffers', however long the lines. No character spans two pieces (each ends
// where a line or its text ends, and CR and LF are never part of a Shift-JIS
// character), so the bytes are those of converting the pieces joined.
void WriteConverted(Printer* p) {
  constexpr std::size_t kRoom = 4 * Utf8Room(kConvertPart);
  char* start = nullptr;
  char* o = nullptr;
  const auto take = [p, &start, &o] {
    Await(p, p->convertedMark[p->turn]);
    std::string& buffer = p->converted[p->turn];
    if (buffer.size() < kRoom) buffer.resize(kRoom);
    start = o = buffer.data();
  };
  const auto hand = [p, &start, &o] {
    const std::string_view bytes(start, static_cast<std::size_t>(o - start));
    p->convertedMark[p->turn] = Hand(p, std::span<const std::string_view>(&bytes, 1));
    p->turn ^= 1;
  };
  take();
  for (std::string_view piece : p->queued) {
    while (!piece.empty()) {
      if (static_cast<std::size_t>(start + kRoom - o) < Utf8Room(kConvertPart)) {
        hand();
        take();
      }
      std::size_t used;
      o = ShiftJisToUtf8At(piece, std::min(piece.size(), kConvertPart), o, &used);
      piece.remove_prefix(used);
    }
  }
  if (o != start) hand();
}

}  // namespace

void PrintLines(Printer* p, const char* begin, const char* end, bool bareLf) {
  if (begin == end) return;
  if (begin != p->runEnd) {
    EndRun(p);
    p->runBegin = begin;
  }
  p->runEnd = end;
  p->runBareLf = p->runBareLf || bareLf;
}

void PrintText(Printer* p, std::string_view text) {
  EndRun(p);
  Put(p, text);
  Put(p, kLineEnd);
}

void FlushPrinter(Printer* p) {
  EndRun(p);
  if (p->queued.empty()) return;
  if (p->toUtf8) {
    WriteConverted(p);
  } else if (const OutputMark mark = Hand(p, p->queued)) {
    p->handedInput = mark;
  }
  p->queued.clear();
}

void AwaitPrinter(Printer* p) {
  Await(p, p->handed);
}

}  // namespace narvo
