#include "engine/printer.h"

#include <cstring>

#include "helpers/encoding.h"

namespace narvo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Queues bytes that stay where they are until the flush (read buffer,
// constants), or adds them to the stretch the flush converts. Converting many
// lines at once gives the bytes converting them one by one would (CR and LF
// are never part of a Shift-JIS character) for far fewer calls of the converter.
void Put(Printer* p, std::string_view bytes) {
  if (bytes.empty()) return;
  if (p->toUtf8) {
    p->toConvert.append(bytes);
  } else if (!p->queued.empty() &&
             p->queued.back().data() + p->queued.back().size() == bytes.data()) {
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
  if (!p->toConvert.empty()) {
    // Into a string kept from flush to flush, so its memory is reused.
    p->converted.clear();
    AppendShiftJisAsUtf8(p->toConvert, &p->converted);
    p->queued.push_back(p->converted);
    p->toConvert.clear();
  }
  if (p->queued.empty()) return;
  if (p->pieces) {
    p->pieces(p->queued);
  } else {
    for (std::string_view v : p->queued)
      p->sink(v);
  }
  p->queued.clear();
}

}  // namespace narvo
