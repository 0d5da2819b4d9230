// The fast searcher (SearchStream) against the line-by-line reference
// (SearchStreamByLine): same bytes written, same last line, same encoding,
// for random keywords, both modes, Shift-JIS and UTF-8 data, tiny buffers and
// short reads.
//
// Input: byte 0 flags (bit 0 exclude, bit 1 UTF-8 console, bits 2-7 the
// long-line limit when not 0), byte 1 the buffer size (bit 7: the native mode
// decides), bytes 2-3 the read-size seed, then up to four keywords each ended
// by LF, an empty one (a lone LF) ending the list; the rest is the data.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/searcher.h"
#include "helpers/encoding.h"
#include "tests/reference_search.h"

namespace {

// Hands out data in reads of pseudo-random length.
narvo::ReadFunction ShortReads(std::string_view data, std::uint32_t seed) {
  return [data, seed, offset = std::size_t{0}](char* buffer, std::size_t room,
                                               platform::IoError*) mutable {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    const std::size_t n = std::min({room, data.size() - offset, std::size_t{1} + seed % 97});
    std::memcpy(buffer, data.data() + offset, n);
    offset += n;
    return static_cast<std::ptrdiff_t>(n);
  };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 4) return 0;
  narvo::SearchSetup setup;
  setup.excludeMode = bytes[0] & 1;
  setup.consoleUtf8 = bytes[0] & 2;
  // Small limits send lines down the long-line path and cut regions into pieces.
  if (bytes[0] >> 2 != 0) setup.longLine = bytes[0] >> 2;
  static const std::size_t kBufferSizes[] = {1, 2, 3, 5, 8, 13, 64, 100, 4096, 1 << 18};
  setup.bufferSize = kBufferSizes[(bytes[1] & 0x7F) % std::size(kBufferSizes)];
  setup.decideNative = !setup.consoleUtf8 && (bytes[1] & 0x80) != 0;
  const std::uint32_t seed = 0x9E3779B9u ^ (static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3]);
  std::string_view rest(reinterpret_cast<const char*>(bytes + 4), size - 4);
  while (setup.terms.size() < 4) {
    const std::size_t lf = rest.find('\n');
    if (lf == std::string_view::npos) break;
    const std::string_view term = rest.substr(0, lf);
    rest.remove_prefix(lf + 1);
    if (term.empty()) break;
    // A keyword comes from the command line: it never holds a NUL.
    setup.terms.emplace_back(term.substr(0, term.find('\0')));
  }
  if (setup.terms.empty()) return 0;
  const std::string_view data = rest;

  std::string fast, reference;
  const narvo::SearchOutcome a = narvo::SearchStream(
      setup, ShortReads(data, seed), [&fast](std::string_view b) { fast.append(b); });
  const narvo::SearchOutcome b = narvo::SearchStreamByLine(
      setup, ShortReads(data, ~seed), [&reference](std::string_view b) { reference.append(b); });
  if (fast != reference || a.lastMatch != b.lastMatch) std::abort();
  // The encoding recorded with the last line matters only where it holds a
  // byte >= 0x80: an ASCII line cuts and converts the same either way, and
  // one read before the decision may be recorded on either side of it.
  if (narvo::FirstHighByte(a.lastMatch) != std::string_view::npos &&
      a.lastMatchEncoding != b.lastMatchEncoding) {
    std::abort();
  }
  return 0;
}
