// The reference line selection (LineSelected) against a second, plainly
// written model of the rules, plus the properties any selection must keep:
// several keywords combine as AND (include) or NOR (exclude), and the ASCII
// case of a keyword's own letters never matters.
//
// Input: byte 0 holds the flags (bit 0 exclude, bit 1 UTF-8), then keywords,
// each ended by LF, up to an empty one (a lone LF); the rest is lines split at
// LF. With no empty keyword the last keyword's text is also the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/matcher.h"

namespace {

using narvo::Encoding;

bool Lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool Continuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Start offsets of the characters of text (Shift-JIS) or the bytes where a
// UTF-8 character may start.
std::vector<bool> Starts(std::string_view text, Encoding encoding) {
  std::vector<bool> start(text.size(), false);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (encoding == Encoding::Utf8) {
      start[i] = !Continuation(static_cast<unsigned char>(text[i]));
    } else {
      start[i] = true;
      if (Lead(static_cast<unsigned char>(text[i]))) ++i;
    }
  }
  return start;
}

std::string Fold(std::string_view text, Encoding encoding) {
  std::string out(text);
  const std::vector<bool> start = Starts(text, encoding);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (start[i] && out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] + 32);
  }
  return out;
}

std::string Upper(std::string_view text, Encoding encoding) {
  std::string out(text);
  const std::vector<bool> start = Starts(text, encoding);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (start[i] && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 32);
  }
  return out;
}

bool Found(std::string_view term, std::string_view line, Encoding encoding) {
  const std::string t = Fold(term, encoding);
  const std::string l = Fold(line, encoding);
  const std::string_view needle = std::string_view(t).substr(0, t.find('\0'));
  const std::string_view hay = std::string_view(l).substr(0, l.find('\0'));
  if (needle.empty()) return false;
  const std::vector<bool> start = Starts(hay, encoding);
  for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    if (start[i] && hay.compare(i, needle.size(), needle) == 0) return true;
  }
  return false;
}

bool Selected(const std::vector<std::string>& terms, bool exclude, std::string_view line,
              Encoding encoding) {
  for (const std::string& t : terms) {
    if (Found(t, line, encoding) == exclude) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool exclude = data[0] & 1;
  const Encoding encoding = data[0] & 2 ? Encoding::Utf8 : Encoding::ShiftJis;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

  std::vector<std::string> terms;
  std::string_view text = rest;
  while (terms.size() < 8) {
    const std::size_t lf = rest.find('\n');
    if (lf == std::string_view::npos) break;
    if (lf == 0) {
      rest.remove_prefix(1);
      text = rest;
      break;
    }
    terms.emplace_back(rest.substr(0, lf));
    rest.remove_prefix(lf + 1);
    text = rest;
  }
  if (terms.empty()) return 0;

  const narvo::Matcher all = narvo::MakeMatcher(terms, exclude, encoding);
  std::vector<std::string> shouted;
  for (const std::string& t : terms)
    shouted.push_back(Upper(t, encoding));
  const narvo::Matcher allShouted = narvo::MakeMatcher(shouted, exclude, encoding);
  std::vector<narvo::Matcher> singles;
  for (const std::string& t : terms)
    singles.push_back(narvo::MakeMatcher({t}, exclude, encoding));

  for (;;) {
    const std::size_t lf = text.find('\n');
    const std::string_view line = text.substr(0, lf);
    const bool got = narvo::LineSelected(all, line);
    if (got != Selected(terms, exclude, line, encoding)) std::abort();
    if (got != narvo::LineSelected(allShouted, line)) std::abort();
    bool combined = true;
    for (const narvo::Matcher& m : singles)
      combined = combined && narvo::LineSelected(m, line);
    if (got != combined) std::abort();
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  return 0;
}
