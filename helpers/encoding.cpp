#include "helpers/encoding.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace narvo {

std::size_t FirstHighByte(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return i;
  }
  return std::string_view::npos;
}

bool IsUtf8Prefix(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    // The lead byte gives the length and the range of the second byte, which
    // rules out overlong forms, surrogates and code points beyond U+10FFFF.
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (p + k == end) return true;
      const unsigned char t = p[k];
      if (k == 1 ? t < low || t > high : !IsUtf8Continuation(t)) return false;
    }
    p += length;
  }
  return true;
}

void CheckUtf8(Utf8Check* check, std::string_view piece) {
  for (const char byte : piece) {
    if (check->bad) return;
    const auto c = static_cast<unsigned char>(byte);
    if (check->need > 0) {
      check->bad = c < check->low || c > check->high;
      check->low = 0x80;
      check->high = 0xBF;
      --check->need;
      continue;
    }
    if (c < 0x80) continue;
    // The lead byte gives the length and the range of the second byte, which
    // rules out overlong forms, surrogates and code points beyond U+10FFFF.
    if (c >= 0xC2 && c <= 0xDF) {
      check->need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      check->need = 2;
      if (c == 0xE0) check->low = 0xA0;
      if (c == 0xED) check->high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      check->need = 3;
      if (c == 0xF0) check->low = 0x90;
      if (c == 0xF4) check->high = 0x8F;
    } else {
      check->bad = true;
    }
  }
}

bool IsCompleteUtf8(const Utf8Check& check) {
  return !check.bad && check.need == 0;
}

std::optional<Encoding> DecideDataEncoding(std::string_view data) {
  const std::size_t high = FirstHighByte(data);
  if (high == std::string_view::npos) return std::nullopt;
  // Where the line reader ends the input: an end mark where a line begins, or
  // a second one in a line whose rest it skips after the first.
  std::size_t inputEnd = data.size();
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t lf = std::min(data.find('\n', at), data.size());
    const std::size_t mark = data.find(kEndMark, at);
    if (mark == at) {
      inputEnd = at;
      break;
    }
    const std::size_t second = mark < lf ? data.find(kEndMark, mark + 1) : data.npos;
    if (second < lf) {
      inputEnd = second;
      break;
    }
    at = lf + 1;
  }
  if (high >= inputEnd) return std::nullopt;
  if (data.substr(0, 3) == "\xEF\xBB\xBF") return Encoding::Utf8;
  const std::size_t lineEnd = std::min(data.find('\n', high), inputEnd);
  Utf8Check check;
  CheckUtf8(&check, data.substr(high, lineEnd - high));
  return IsCompleteUtf8(check) ? Encoding::Utf8 : Encoding::ShiftJis;
}

bool KeywordToCp932(std::string_view keyword, std::string* converted) {
  if (!platform::ConvertText("UTF-8", "CP932", keyword, false, converted)) return false;
  // Every ASCII character converts to itself; one byte more below 0x80
  // standing as a character means iconv put an ASCII stand-in for a character
  // CP932 lacks (¥ as a backslash), which Shift-JIS data would then match.
  std::size_t asciiTyped = 0, asciiConverted = 0;
  for (char c : keyword)
    asciiTyped += static_cast<unsigned char>(c) < 0x80;
  for (std::size_t i = 0; i < converted->size();
       i += CharLength(*converted, i, Encoding::ShiftJis)) {
    asciiConverted += static_cast<unsigned char>((*converted)[i]) < 0x80;
  }
  return asciiTyped == asciiConverted;
}

std::vector<std::string> KeywordsForData(const std::vector<std::string>& typed, bool consoleUtf8,
                                         Encoding dataEncoding) {
  if (!consoleUtf8 || dataEncoding == Encoding::Utf8) return typed;
  std::vector<std::string> keywords;
  for (const std::string& t : typed) {
    std::string converted;
    keywords.push_back(KeywordToCp932(t, &converted) ? converted : std::string());
  }
  return keywords;
}

std::string ShiftJisToUtf8ByConverter(std::string_view text) {
  std::string converted;
  if (!platform::ConvertText("CP932", "UTF-8", text, true, &converted)) return std::string(text);
  return converted;
}

namespace {

// CP932 to UTF-8 by table. The table comes from the platform's converter, asked
// once for every single byte and every lead/trail pair, so converting by it
// gives what converting through the converter gives, at a fraction of the
// cost. An entry holds up to three UTF-8 bytes in its low bytes and their
// count in its top byte; an undecodable single byte maps to itself, an
// undecodable pair to 0.
constexpr int kFirstTrail = 0x40, kLastTrail = 0xFC;
constexpr int kTrails = kLastTrail - kFirstTrail + 1;

struct ShiftJisTable {
  bool usable = false;
  std::array<std::uint32_t, 256> single{};
  std::array<std::uint8_t, 256> row{};  // per lead byte its row of pairs plus 1; 0 for others
  std::vector<std::uint32_t> pairs;     // by row * kTrails + trail - kFirstTrail
};

std::uint32_t Entry(std::string_view bytes) {
  std::uint32_t entry = static_cast<std::uint32_t>(bytes.size()) << 24;
  for (std::size_t k = 0; k < bytes.size(); ++k)
    entry |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])) << (8 * k);
  return entry;
}

// The entry for text when it is exactly one UTF-8 character of at most three
// bytes; 0 otherwise (a byte the converter kept undecoded, alone or before others).
std::uint32_t CharacterEntry(std::string_view text) {
  if (text.empty() || text.size() > 3 || !IsUtf8Prefix(text)) return 0;
  const auto c = static_cast<unsigned char>(text[0]);
  const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  return length == text.size() ? Entry(text) : 0;
}

// What the converter makes of pieces that each end in an LF: per piece, the
// entry of the one character it decoded to, or 0.
bool DecodePieces(std::string_view pieces, std::size_t count, std::vector<std::uint32_t>* entries) {
  std::string utf8;
  if (!platform::ConvertText("CP932", "UTF-8", pieces, true, &utf8)) return false;
  entries->clear();
  entries->reserve(count);
  std::string_view rest = utf8;
  for (std::size_t lf; (lf = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(lf + 1))
    entries->push_back(CharacterEntry(rest.substr(0, lf)));
  return rest.empty() && entries->size() == count;
}

ShiftJisTable MakeShiftJisTable() {
  ShiftJisTable t;
  std::string singles, pairs;
  int rows = 0;
  for (int c = 0; c < 256; ++c) {
    if (IsLeadByte(static_cast<unsigned char>(c))) t.row[c] = static_cast<std::uint8_t>(++rows);
  }
  singles.reserve(2 * 256);
  pairs.reserve(3 * kTrails * static_cast<std::size_t>(rows));
  for (int c = 0; c < 256; ++c) {
    if (c != '\n') singles += {static_cast<char>(c), '\n'};
    for (int trail = kFirstTrail; t.row[c] != 0 && trail <= kLastTrail; ++trail)
      pairs += {static_cast<char>(c), static_cast<char>(trail), '\n'};
  }
  std::vector<std::uint32_t> one;
  if (!DecodePieces(singles, 255, &one) ||
      !DecodePieces(pairs, static_cast<std::size_t>(kTrails * rows), &t.pairs)) {
    return t;
  }
  for (int c = 0, next = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    const std::uint32_t decoded = c == '\n' ? Entry("\n") : one[next++];
    t.single[c] = decoded != 0 ? decoded : Entry(std::string_view(&byte, 1));
    // ASCII is copied as it is: the converter must agree.
    if (c < 0x80 && t.single[c] != Entry(std::string_view(&byte, 1))) return t;
  }
  t.usable = true;
  return t;
}

// Making the table costs a millisecond or two, about what converting 300 KB
// through the converter does, so the first this many bytes go through the
// converter: a search that writes a few thousand lines never pays for it.
std::size_t convertBeforeTable = 1 << 19;
std::size_t convertedBeforeTable = 0;

// The table, once this much has been converted; nullptr before.
const ShiftJisTable* TheShiftJisTable(std::size_t toConvert) {
  if (convertedBeforeTable + toConvert <= convertBeforeTable) {
    convertedBeforeTable += toConvert;
    return nullptr;
  }
  static const ShiftJisTable table = MakeShiftJisTable();
  return table.usable ? &table : nullptr;
}

// Converts the characters that start in [*from, stop) by the table into o,
// which has room for three bytes per byte of them and one more; a character
// may end after stop, up to end. Returns the end of what it wrote and moves
// *from past what it converted.
unsigned char* ConvertByTable(const ShiftJisTable& t, const unsigned char** from,
                              const unsigned char* const stop, const unsigned char* const end,
                              unsigned char* o) {
  const unsigned char* p = *from;
  while (p < stop) {
    // Eight ASCII bytes at a time where they are.
    std::uint64_t word;
    if (stop - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080u) == 0)) {
      std::memcpy(o, p, 8);
      o += 8;
      p += 8;
      continue;
    }
    const unsigned char c = *p;
    if (c < 0x80) {
      *o++ = c;
      ++p;
      continue;
    }
    std::uint32_t entry = 0;
    const int row = t.row[c];
    if (row != 0 && end - p >= 2 && p[1] >= kFirstTrail && p[1] <= kLastTrail) {
      entry = t.pairs[(row - 1) * kTrails + p[1] - kFirstTrail];
    }
    if (entry != 0) {
      p += 2;
    } else {
      entry = t.single[c];
      ++p;
    }
    // Four bytes stored, as many kept as the entry has.
    const unsigned char bytes[4] = {static_cast<unsigned char>(entry),
                                    static_cast<unsigned char>(entry >> 8),
                                    static_cast<unsigned char>(entry >> 16), 0};
    std::memcpy(o, bytes, 4);
    o += entry >> 24;
  }
  *from = p;
  return o;
}

}  // namespace

void ConvertByTableAfter(std::size_t bytes) {
  convertBeforeTable = bytes;
}

bool ShiftJisTableUsable() {
  static const bool usable = MakeShiftJisTable().usable;
  return usable;
}

void AppendShiftJisAsUtf8(std::string_view text, std::string* out) {
  const ShiftJisTable* table = TheShiftJisTable(text.size());
  if (table == nullptr) {
    // Straight into out where it is empty, so that its memory is reused.
    if (!out->empty()) {
      out->append(ShiftJisToUtf8ByConverter(text));
    } else if (!platform::ConvertText("CP932", "UTF-8", text, true, out)) {
      out->assign(text);
    }
    return;
  }
  // Through a small buffer, a slice at a time, so out grows by what is written only.
  constexpr std::ptrdiff_t kSlice = 4096;
  unsigned char buffer[3 * (kSlice + 1) + 1];
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p < end) {
    const auto* const stop = end - p > kSlice ? p + kSlice : end;
    const unsigned char* written = ConvertByTable(*table, &p, stop, end, buffer);
    out->append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(written - buffer));
  }
}

std::string ShiftJisToUtf8(std::string_view text) {
  std::string out;
  AppendShiftJisAsUtf8(text, &out);
  return out;
}

}  // namespace narvo
