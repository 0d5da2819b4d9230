// An output that takes the bytes of the pieces handed to it only when they are
// awaited, the latest a writer thread may write them: a searcher that changes
// them before it waits writes other bytes than it selected.
#pragma once

#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "engine/printer.h"

namespace narvo {

struct LateSink {
  std::string written;
  std::deque<std::pair<OutputMark, std::string_view>> held;
  OutputMark last = 0;

  PiecesSink Sink() {
    return {[this](std::span<const std::string_view> pieces) {
              ++last;
              for (std::string_view piece : pieces)
                held.emplace_back(last, piece);
              return last;
            },
            [this](OutputMark mark) {
              for (; !held.empty() && held.front().first <= mark; held.pop_front())
                written += held.front().second;
            }};
  }
};

}  // namespace narvo
