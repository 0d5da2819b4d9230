#include "engine/printer.h"

#include <cstring>

#include "helpers/encoding.h"

namespace narvo {

namespace {

// Converting a stretch of several lines at once gives the bytes converting
// them one by one would: CR and LF are never part of a Shift-JIS character.
void Emit(Printer* p, std::string_view bytes) {
  if (bytes.empty()) return;
  if (p->toUtf8) {
    p->sink(ShiftJisToUtf8(bytes));
  } else {
    p->sink(bytes);
  }
}

}  // namespace

void PrintLines(Printer* p, const char* begin, const char* end, bool bareLf) {
  if (begin == end) return;
  if (begin != p->runEnd) {
    FlushPrinter(p);
    p->runBegin = begin;
  }
  p->runEnd = end;
  p->runBareLf = p->runBareLf || bareLf;
}

void PrintLine(Printer* p, std::string_view line) {
  FlushPrinter(p);
  Emit(p, line);
  p->sink("\r\n");
}

void FlushPrinter(Printer* p) {
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
        Emit(p, std::string_view(begin, lf - begin));
        p->sink("\r\n");
        begin = lf + 1;
      }
    }
  }
  Emit(p, std::string_view(begin, end - begin));
}

}  // namespace narvo
