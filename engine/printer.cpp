#include "engine/printer.h"

#include <cstring>

#include "helpers/encoding.h"

namespace narvo {

namespace {

// Hands bytes on: to the sink, or to the stretch the next flush converts.
// Converting many lines at once gives the bytes converting them one by one
// would (CR and LF are never part of a Shift-JIS character) for far fewer
// calls of the converter.
void Put(Printer* p, std::string_view bytes) {
  if (bytes.empty()) return;
  if (p->toUtf8) {
    p->toConvert.append(bytes);
  } else {
    p->sink(bytes);
  }
}

// Puts the queued lines.
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
        Put(p, "\r\n");
        begin = lf + 1;
      }
    }
  }
  Put(p, std::string_view(begin, end - begin));
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

void PrintLine(Printer* p, std::string_view line) {
  EndRun(p);
  Put(p, line);
  Put(p, "\r\n");
}

void FlushPrinter(Printer* p) {
  EndRun(p);
  if (p->toConvert.empty()) return;
  p->sink(ShiftJisToUtf8(p->toConvert));
  p->toConvert.clear();
}

}  // namespace narvo
