// An output that takes the bytes of the pieces handed to it only when they are
// awaited, the latest a writer thread may write them: a searcher that changes
// them before it waits writes other bytes than it selected. Every other time
// it is asked to, it converts Shift-JIS pieces to UTF-8 itself.
#pragma once

#include <deque>
#include <span>
#include <string>
#include <string_view>

#include "engine/printer.h"
#include "helpers/encoding.h"

namespace narvo {

struct LateSink {
  struct Held {
    OutputMark mark;
    std::string_view bytes;
    bool toUtf8;
  };
  std::string written;
  std::deque<Held> held;
  OutputMark last = 0;
  bool declined = false;

  OutputMark Hold(std::span<const std::string_view> pieces, bool toUtf8) {
    ++last;
    for (std::string_view piece : pieces)
      held.push_back({last, piece, toUtf8});
    return last;
  }

  PiecesSink Sink() {
    return {[this](std::span<const std::string_view> pieces) { return Hold(pieces, false); },
            [this](OutputMark mark) {
              for (; !held.empty() && held.front().mark <= mark; held.pop_front()) {
                const Held& h = held.front();
                written += h.toUtf8 ? ShiftJisToUtf8(h.bytes) : std::string(h.bytes);
              }
            },
            [this](std::span<const std::string_view> pieces) {
              declined = !declined;
              return declined ? OutputMark{0} : Hold(pieces, true);
            }};
  }
};

}  // namespace narvo
