// The buffered line reader against a one-pass reference over the whole data,
// with random buffer sizes and random short reads, so every line end, CR and
// Ctrl-Z lands on a buffer boundary sooner or later.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/reference_search.h"

namespace {

constexpr char kCtrlZ = 0x1A;

std::vector<std::string> ReferenceLines(std::string_view d) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < d.size() && d[i] != kCtrlZ) {
    std::string line;
    bool more = true;
    for (;;) {
      if (i == d.size()) {
        more = false;
        break;
      }
      const char c = d[i++];
      if (c == '\n') break;
      if (c == '\r') {
        if (i < d.size() && d[i] == '\n') {
          ++i;
          break;
        }
        continue;
      }
      if (c == kCtrlZ) {
        while (i < d.size() && d[i] != '\n' && d[i] != kCtrlZ)
          ++i;
        if (i == d.size() || d[i] == kCtrlZ) more = false;
        ++i;
        break;
      }
      line += c;
    }
    lines.push_back(std::move(line));
    if (!more) break;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 3) return 0;
  // Byte 0 picks the buffer size, bytes 1-2 seed the read sizes; the rest is the data.
  const std::size_t bufferSize = bytes[0] < 0xF0 ? 1 + bytes[0] % 17 : 4096;
  std::uint32_t state = 0x9E3779B9u ^ (static_cast<std::uint32_t>(bytes[1]) << 8 | bytes[2]);
  const std::string_view data(reinterpret_cast<const char*>(bytes + 3), size - 3);

  std::size_t offset = 0;
  narvo::ReadFunction read = [&](char* buffer, std::size_t room, platform::IoError*) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    const std::size_t n = std::min({room, data.size() - offset, 1 + state % (room + 1)});
    std::memcpy(buffer, data.data() + offset, n);
    offset += n;
    return static_cast<std::ptrdiff_t>(n);
  };
  narvo::LineReader reader;
  narvo::InitLineReader(&reader, read, bufferSize);

  const std::vector<std::string> want = ReferenceLines(data);
  std::string line;  // reused, as the search run does
  std::size_t k = 0;
  while (narvo::ReadLine(&reader, &line)) {
    if (k >= want.size() || line != want[k]) std::abort();
    ++k;
  }
  if (k != want.size()) std::abort();
  // The end of input stays the end.
  if (narvo::ReadLine(&reader, &line) || !line.empty()) std::abort();
  return 0;
}
