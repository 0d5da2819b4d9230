// An input the searcher may map part of, as it maps a large file: read in
// pieces of random length, and mapped, when the searcher asks, from the bytes
// it has read and not yet used up to a point at or after what it has read (the
// file as it stood then); the bytes after that point are read on, as bytes the
// file gained since.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/searcher.h"

namespace narvo {

class MappableInput {
 public:
  // The file holds data; when mapped at read position r, it holds
  // max(r, mappedSize) bytes; reads take 1 to maxPiece bytes at a time.
  MappableInput(std::string_view data, std::uint32_t seed, std::size_t mappedSize,
                std::size_t maxPiece)
      : state_(std::make_shared<State>(State{data, seed | 1, mappedSize, maxPiece, 0, {}})) {}

  ReadFunction Read() const {
    return [state = state_](char* buffer, std::size_t size, platform::IoError*) {
      State& s = *state;
      s.seed ^= s.seed << 13;
      s.seed ^= s.seed >> 17;
      s.seed ^= s.seed << 5;
      const std::size_t n = std::min({size, s.data.size() - s.offset, 1 + s.seed % s.maxPiece});
      std::memcpy(buffer, s.data.data() + s.offset, n);
      s.offset += n;
      return static_cast<std::ptrdiff_t>(n);
    };
  }

  InputMapping Mapping() const {
    return {[state = state_](std::size_t back) {
              State& s = *state;
              const std::size_t end = std::min(std::max(s.offset, s.mappedSize), s.data.size());
              s.mapped.assign(s.data.substr(s.offset - back, end - (s.offset - back)));
              s.offset = end;
              return std::span<char>(s.mapped);
            },
            {}};
  }

  // True once the searcher has mapped the input.
  bool Mapped() const { return !state_->mapped.empty(); }

 private:
  struct State {
    std::string_view data;
    std::uint32_t seed;
    std::size_t mappedSize;
    std::size_t maxPiece;
    std::size_t offset = 0;
    std::string mapped;
  };
  std::shared_ptr<State> state_;
};

}  // namespace narvo
