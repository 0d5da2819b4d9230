#include "engine/printer.h"

#include <algorithm>
#include <cstring>

#include "helpers/encoding.h"
#include "helpers/text.h"

namespace narvo {

namespace {

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
      if (IsBareLf(begin, lf)) {
        Put(p, std::string_view(begin, lf - begin));
        Put(p, kLineEnd);
        begin = lf + 1;
      }
    }
  }
  Put(p, std::string_view(begin, end - begin));
}

// Writes bytes in one piece to whichever sink the printer has.
void Emit(Printer* p, std::string_view bytes) {
  if (p->pieces) {
    p->pieces(std::span<const std::string_view>(&bytes, 1));
  } else {
    p->sink(bytes);
  }
}

// Converts the queued pieces into the output buffer, writing it whenever
// another part might not fit: memory stays the buffer's, however long the
// lines. No character spans two pieces (each ends where a line or its text
// ends, and CR and LF are never part of a Shift-JIS character), so the
// bytes are those of converting the pieces joined.
void WriteConverted(Printer* p) {
  constexpr std::size_t kRoom = 4 * Utf8Room(kConvertPart);
  if (!p->converted) p->converted = std::make_unique_for_overwrite<char[]>(kRoom);
  char* const start = p->converted.get();
  char* o = start;
  for (std::string_view piece : p->queued) {
    while (!piece.empty()) {
      if (static_cast<std::size_t>(start + kRoom - o) < Utf8Room(kConvertPart)) {
        Emit(p, std::string_view(start, static_cast<std::size_t>(o - start)));
        o = start;
      }
      std::size_t used;
      o = ShiftJisToUtf8At(piece, std::min(piece.size(), kConvertPart), o, &used);
      piece.remove_prefix(used);
    }
  }
  if (o != start) Emit(p, std::string_view(start, static_cast<std::size_t>(o - start)));
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
  } else if (p->pieces) {
    p->pieces(p->queued);
  } else {
    for (std::string_view v : p->queued)
      p->sink(v);
  }
  p->queued.clear();
}

}  // namespace narvo
