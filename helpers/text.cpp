#include "helpers/text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "helpers/encoding.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// Parameters, paths and messages are Shift-JIS unless the console speaks UTF-8.
Encoding consoleEncoding = Encoding::ShiftJis;

// The code page's lead bytes, asked of the platform once: the test runs for
// every byte of every line, so it must be a table lookup.
struct LeadTable {
  bool lead[256];
  LeadTable() {
    for (int c = 0; c < 256; ++c)
      lead[c] = platform::IsLeadByte(static_cast<unsigned char>(c));
  }
};

const LeadTable& Leads() {
  static const LeadTable table;
  return table;
}

// The index of the last name delimiter that stands as a character of its own,
// or npos. Double-byte characters are stepped over so a 0x5C trail byte never counts.
std::size_t LastDelimiter(std::string_view path) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); i += CharLength(path, i, ConsoleEncoding())) {
    if (platform::IsNameDelimiter(static_cast<unsigned char>(path[i]))) last = i;
  }
  return last;
}

}  // namespace

bool IsLeadByte(unsigned char c) {
  return Leads().lead[c];
}

void SetConsoleEncoding(Encoding encoding) {
  consoleEncoding = encoding;
}

Encoding ConsoleEncoding() {
  return consoleEncoding;
}

std::size_t CharLength(std::string_view text, std::size_t i, Encoding encoding) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (encoding == Encoding::ShiftJis) return IsLeadByte(c) && i + 1 < text.size() ? 2 : 1;
  std::size_t n = 1;
  if (c >= 0xC0) {
    const std::size_t most = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    while (n < most && i + n < text.size() &&
           IsUtf8Continuation(static_cast<unsigned char>(text[i + n]))) {
      ++n;
    }
  }
  return n;
}

namespace {

// The characters CharLowerBuffA changes in CP932 beyond ASCII, as wine answers
// for every character (the Windows unit tests compare). It also moves 388
// codes of characters CP932 holds twice (the NEC-selected IBM kanji ED40-EEFC,
// ∵ 879A, ...) to their other code: in UTF-8 each is one character already.
struct CaseRange {
  char32_t first, last;  // capitals
  char32_t offset;       // capital + offset: its small letter
};
constexpr CaseRange kCp932Capitals[] = {
    {0x0391, 0x03A1, 0x20},  // Greek Α-Ρ
    {0x03A3, 0x03A9, 0x20},  // Σ-Ω (CP932 has no final sigma)
    {0x0401, 0x0401, 0x50},  // Cyrillic Ё
    {0x0410, 0x042F, 0x20},  // А-Я
    {0x2160, 0x2169, 0x10},  // Roman numerals Ⅰ-Ⅹ
    {0xFF21, 0xFF3A, 0x20},  // full-width Ａ-Ｚ
};

// Replaces, in UTF-8 text, each well-formed sequence of a capital (toLower) or
// of its small letter (else) by the other; both have the same length.
void MapCp932Letters(std::string* text, bool toLower) {
  std::string& s = *text;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    // The lead bytes of every such letter: CE CF (Greek), D0 D1 (Cyrillic), E2, EF.
    if (c != 0xCE && c != 0xCF && c != 0xD0 && c != 0xD1 && c != 0xE2 && c != 0xEF) continue;
    const std::size_t length = c < 0xE0 ? 2 : 3;
    if (s.size() - i < length) break;
    char32_t code = c & (length == 2 ? 0x1F : 0x0F);
    bool whole = true;
    for (std::size_t k = 1; k < length; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      whole = whole && IsUtf8Continuation(t);
      code = code << 6 | (t & 0x3F);
    }
    if (!whole) continue;
    for (const CaseRange& r : kCp932Capitals) {
      const char32_t shift = toLower ? 0 : r.offset;
      if (code < r.first + shift || code > r.last + shift) continue;
      code = toLower ? code + r.offset : code - r.offset;
      for (std::size_t k = length - 1; k > 0; --k, code >>= 6)
        s[i + k] = static_cast<char>(0x80 | (code & 0x3F));
      s[i] = static_cast<char>((length == 2 ? 0xC0 : 0xE0) | code);
      break;
    }
    i += length - 1;
  }
}

}  // namespace

std::string LowerCase(std::string_view text, Encoding encoding, bool cp932Letters) {
  std::string lower(text);
  if (encoding == Encoding::Utf8) {
    // ASCII bytes never occur inside a UTF-8 sequence, so each one is a character.
    for (char& c : lower)
      c = AsciiLower(c);
    if (cp932Letters) MapCp932Letters(&lower, true);
  } else {
    platform::LowerCase(lower.data(), lower.size());
  }
  return lower;
}

std::string UpperCp932Letters(std::string_view text) {
  std::string upper(text);
  MapCp932Letters(&upper, false);
  return upper;
}

bool FoldsOnlyAsCp932Letters(std::string_view lowerKeyword) {
  Utf8Check check;
  CheckUtf8(&check, lowerKeyword);
  return !IsCompleteUtf8(check) || UpperCp932Letters(lowerKeyword) != lowerKeyword;
}

std::vector<std::size_t> Borders(std::string_view needle) {
  std::vector<std::size_t> border(needle.size() + 1, 0);
  for (std::size_t i = 1, k = 0; i < needle.size(); ++i) {
    while (k > 0 && needle[i] != needle[k])
      k = border[k];
    if (needle[i] == needle[k]) ++k;
    border[i + 1] = k;
  }
  return border;
}

namespace {

// Every occurrence in turn (Knuth-Morris-Pratt), each checked for starting a
// character, which a walk over the characters kept level with the occurrences
// tells: linear in both lengths, whatever their repetitions. Folding, a
// second walk kept level with the reading tells which bytes are characters of
// their own (in UTF-8 every ASCII byte is).
std::size_t BoundaryPosition(std::string_view needle, std::string_view haystack, Encoding encoding,
                             bool foldAscii) {
  needle = needle.substr(0, needle.find('\0'));
  haystack = haystack.substr(0, haystack.find('\0'));
  if (needle.empty() || haystack.size() < needle.size()) return 0;
  const std::vector<std::size_t> border = Borders(needle);
  const bool utf8 = encoding == Encoding::Utf8;
  std::size_t walk = 0, foldWalk = 0;  // character starts
  for (std::size_t i = 0, k = 0; i < haystack.size(); ++i) {
    char c = haystack[i];
    if (foldAscii && (utf8 || i == foldWalk)) {
      if (!utf8) foldWalk += CharLength(haystack, i, Encoding::ShiftJis);
      c = AsciiLower(c);
    }
    while (k > 0 && c != needle[k])
      k = border[k];
    if (c == needle[k]) ++k;
    if (k < needle.size()) continue;
    const std::size_t at = i + 1 - needle.size();
    k = border[k];
    if (utf8) {
      if (!IsUtf8Continuation(static_cast<unsigned char>(haystack[at]))) return at + 1;
      continue;
    }
    while (walk < at)
      walk += CharLength(haystack, walk, Encoding::ShiftJis);
    if (walk == at) return at + 1;
  }
  return 0;
}

}  // namespace

std::size_t Position(std::string_view needle, std::string_view haystack, Encoding encoding) {
  return BoundaryPosition(needle, haystack, encoding, false);
}

std::size_t PositionFoldingAscii(std::string_view needle, std::string_view haystack,
                                 Encoding encoding) {
  return BoundaryPosition(needle, haystack, encoding, true);
}

std::string FileName(std::string_view path) {
  const std::size_t d = LastDelimiter(path);
  return std::string(d == std::string_view::npos ? path : path.substr(d + 1));
}

std::string DirectoryPart(std::string_view path) {
  const std::size_t d = LastDelimiter(path);
  return d == std::string_view::npos ? std::string() : std::string(path.substr(0, d + 1));
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
  const std::size_t d = LastDelimiter(path);
  const std::size_t nameStart = d == std::string_view::npos ? 0 : d + 1;
  std::size_t dot = std::string_view::npos;
  for (std::size_t i = nameStart; i < path.size(); i += CharLength(path, i, ConsoleEncoding())) {
    if (path[i] == '.') dot = i;
  }
  std::string changed(path.substr(0, dot == std::string_view::npos ? path.size() : dot));
  changed += extension;
  return changed;
}

bool ParseDecimal(std::string_view text, std::int32_t* value) {
  if (text.empty()) return false;
  std::int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) return false;
  }
  *value = static_cast<std::int32_t>(v);
  return true;
}

LineReading ReadingOf(const char* begin, const char* from, const char* end) {
  LineReading r;
  const char* lf = static_cast<const char*>(std::memchr(from, '\n', end - from));
  const char* const lineEnd = lf == nullptr ? end : lf;
  const char* mark = from > begin && from[-1] == kEndMark ? from - 1 : nullptr;
  if (mark == nullptr) {
    mark = FindEndMark(from, lineEnd);
    if (mark == nullptr) {
      if (lf != nullptr) {
        r.textEnd = TextEnd(begin, lf + 1);
        r.stop = lf + 1;
      }
      return r;
    }
  }
  r.textEnd = mark;
  if (mark == begin) {
    r.stop = begin;
    r.endsInput = true;
    return r;
  }
  const char* restStart = std::max(mark + 1, from);
  if (const char* second = FindEndMark(restStart, lineEnd)) {
    r.stop = second;
    r.endsInput = true;
  } else if (lf != nullptr) {
    r.stop = lf + 1;
  }
  return r;
}

char* DropLoneCrs(char* begin, char* end) {
  char* kept = begin;
  for (char* p = begin; p < end;) {
    char* cr = static_cast<char*>(std::memchr(p, kCr, end - p));
    char* const stop = cr == nullptr ? end : cr;
    std::memmove(kept, p, static_cast<std::size_t>(stop - p));
    kept += stop - p;
    p = cr == nullptr ? end : cr + 1;
  }
  return kept;
}

const char* FindEndMark(const char* begin, const char* end) {
  return static_cast<const char*>(std::memchr(begin, kEndMark, end - begin));
}

bool HoldsIrregularByte(const char* begin, const char* end) {
  if (std::memchr(begin, kNul, end - begin) != nullptr) return true;
  if (FindEndMark(begin, end) != nullptr) return true;
  for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, kCr, end - p))); ++p) {
    // A CR LF is the line's end only at its end.
    if (IsIrregularByte(p, end) || p + 2 != end) return true;
  }
  return false;
}

}  // namespace narvo
