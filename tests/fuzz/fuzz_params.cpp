// SplitCommandLine against a second splitter written from the rules alone,
// plus the properties every parameter list must have whatever the line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "helpers/params.h"

namespace {

bool Lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool Blank(unsigned char c) {
  return c >= 1 && c <= 32;
}

// One character of the line and whether it stood inside a quoted stretch.
struct Piece {
  std::string bytes;
  bool quoted = false;
};

// The line as characters: a lead byte with the byte after it, or one byte.
std::vector<std::string> Characters(std::string_view line) {
  std::vector<std::string> chars;
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t n = Lead(static_cast<unsigned char>(line[i])) && i + 1 < line.size() ? 2 : 1;
    chars.emplace_back(line.substr(i, n));
    i += n;
  }
  return chars;
}

// Splits into parameters made of pieces, so the checks below know which
// characters came from a quoted stretch.
std::vector<std::vector<Piece>> ReferenceSplit(std::string_view line) {
  const std::vector<std::string> c = Characters(line.substr(0, line.find('\0')));
  auto isQuote = [&](std::size_t i) { return i < c.size() && c[i] == "\""; };
  auto isBlank = [&](std::size_t i) {
    return i < c.size() && c[i].size() == 1 && Blank(static_cast<unsigned char>(c[i][0]));
  };
  std::vector<std::vector<Piece>> out;
  std::size_t i = 0;
  for (bool first = true;; first = false) {
    while (isBlank(i) || (isQuote(i) && isQuote(i + 1)))
      i += isBlank(i) ? 1 : 2;
    std::vector<Piece> parameter;
    bool quoted = false;
    for (; i < c.size() && (quoted || !isBlank(i)); ++i) {
      if (isQuote(i)) {
        quoted = !quoted;
      } else {
        parameter.push_back({c[i], quoted});
      }
    }
    if (first) continue;
    if (parameter.empty()) break;
    out.push_back(std::move(parameter));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> got = narvo::SplitCommandLine(line);
  const std::vector<std::vector<Piece>> want = ReferenceSplit(line);
  if (got.size() != want.size()) std::abort();
  for (std::size_t k = 0; k < got.size(); ++k) {
    std::string joined;
    for (const Piece& piece : want[k]) {
      // A quote or a separator can only be part of a parameter as the second
      // byte of a double-byte character, or (separators) from a quoted stretch.
      if (piece.bytes == "\"") std::abort();
      if (piece.bytes.size() == 1 && Blank(static_cast<unsigned char>(piece.bytes[0])) &&
          !piece.quoted) {
        std::abort();
      }
      joined += piece.bytes;
    }
    if (got[k].empty() || got[k] != joined) std::abort();
    if (got[k].find('\0') != std::string::npos) std::abort();
  }
  return 0;
}
