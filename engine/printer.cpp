#include "engine/printer.h"

#include <algorithm>
#include <cstring>

#include "helpers/encoding.h"

namespace narvo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

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

// Cuts the queued pieces in two of about the same size, where a line ends,
// into firstHalf and secondHalf.
void SplitInHalves(Printer* p) {
  std::size_t size = 0;
  for (std::string_view piece : p->queued)
    size += piece.size();
  p->firstHalf.clear();
  p->secondHalf.clear();
  std::size_t at = 0;
  for (std::string_view piece : p->queued) {
    if (at < size / 2) {
      const std::size_t lf = piece.find('\n', std::min(piece.size(), size / 2 - at));
      const std::size_t cut = lf == std::string_view::npos ? piece.size() : lf + 1;
      p->firstHalf.push_back(piece.substr(0, cut));
      piece.remove_prefix(cut);
      at += cut;
    }
    if (!piece.empty()) p->secondHalf.push_back(piece);
  }
}

// Converts the queued pieces into the output buffers in turn: one is filled
// while the other may still be written.
void WriteConverted(Printer* p, std::span<const std::string_view> pieces) {
  ConvertPieces(
      pieces,
      [p] {
        AwaitHanded(p, p->convertedMark[p->turn]);
        std::unique_ptr<char[]>& buffer = p->converted[p->turn];
        if (!buffer) buffer = std::make_unique_for_overwrite<char[]>(kConvertBufferSize);
        return buffer.get();
      },
      [p](std::string_view bytes) {
        p->convertedMark[p->turn] = Hand(p, std::span<const std::string_view>(&bytes, 1));
        p->turn ^= 1;
      });
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
    // Where the output converts on a thread of its own, it converts the first
    // half while the second is converted here; else all of it is converted here.
    std::span<const std::string_view> rest = p->queued;
    if (p->pieces.writeInUtf8) {
      SplitInHalves(p);
      if (const OutputMark mark = p->pieces.writeInUtf8(p->firstHalf)) {
        p->handed = p->handedInput = mark;
        rest = p->secondHalf;
      }
    }
    WriteConverted(p, rest);
  } else if (const OutputMark mark = Hand(p, p->queued)) {
    p->handedInput = mark;
  }
  p->queued.clear();
}

void AwaitHanded(Printer* p, OutputMark mark) {
  if (mark != 0) p->pieces.await(mark);
}

void AwaitPrinter(Printer* p) {
  AwaitHanded(p, p->handed);
}

}  // namespace narvo
