#include "helpers/encoding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "helpers/cp932_tables.h"

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

Encoding DecideDataEncoding(std::string_view block) {
  if (block.substr(0, 3) == "\xEF\xBB\xBF") return Encoding::Utf8;
  return IsUtf8Prefix(block) ? Encoding::Utf8 : Encoding::ShiftJis;
}

bool KeywordToCp932(std::string_view keyword, std::string* converted) {
  converted->clear();
  if (!IsUtf8Prefix(keyword)) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(keyword.data());
  const auto* const end = p + keyword.size();
  while (p < end) {
    if (*p < 0x80) {
      converted->push_back(static_cast<char>(*p++));
      continue;
    }
    const std::size_t length = *p < 0xE0 ? 2 : *p < 0xF0 ? 3 : 4;
    // CP932 holds nothing beyond U+FFFF, nor a sequence cut short.
    if (length == 4 || static_cast<std::size_t>(end - p) < length) return false;
    std::uint32_t utf8 = 0;
    for (std::size_t k = 0; k < length; ++k)
      utf8 = utf8 << 8 | p[k];
    p += length;
    const cp932::FromUtf8* const table = cp932::kFromUtf8;
    const cp932::FromUtf8* const tableEnd = table + cp932::kFromUtf8Count;
    const cp932::FromUtf8* found = std::lower_bound(
        table, tableEnd, utf8,
        [](const cp932::FromUtf8& entry, std::uint32_t key) { return entry.utf8 < key; });
    if (found == tableEnd || found->utf8 != utf8) return false;
    if (found->cp932 > 0xFF) converted->push_back(static_cast<char>(found->cp932 >> 8));
    converted->push_back(static_cast<char>(found->cp932 & 0xFF));
  }
  return true;
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

char* ShiftJisToUtf8At(std::string_view text, std::size_t limit, char* out, std::size_t* used) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* p = begin;
  const unsigned char* const stop = begin + limit;
  const unsigned char* const end = begin + text.size();
  auto* o = reinterpret_cast<unsigned char*>(out);
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
    const int row = cp932::kRowOfLead[c];
    if (row != 0 && end - p >= 2 && p[1] >= cp932::kFirstTrail && p[1] <= cp932::kLastTrail) {
      entry = cp932::kPairs[(row - 1) * cp932::kTrails + p[1] - cp932::kFirstTrail];
    }
    if (entry != 0) {
      p += 2;
    } else {
      entry = cp932::kSingle[c];
      ++p;
    }
    // Four bytes stored, as many kept as the entry has.
    const unsigned char bytes[4] = {static_cast<unsigned char>(entry),
                                    static_cast<unsigned char>(entry >> 8),
                                    static_cast<unsigned char>(entry >> 16), 0};
    std::memcpy(o, bytes, 4);
    o += entry >> 24;
  }
  *used = static_cast<std::size_t>(p - begin);
  return reinterpret_cast<char*>(o);
}

void AppendShiftJisAsUtf8(std::string_view text, std::string* out) {
  // A slice at a time through a small buffer, so out grows by what is written only.
  constexpr std::size_t kSlice = 4096;
  char buffer[Utf8Room(kSlice)];
  while (!text.empty()) {
    std::size_t used;
    const char* written = ShiftJisToUtf8At(text, std::min(text.size(), kSlice), buffer, &used);
    out->append(buffer, static_cast<std::size_t>(written - buffer));
    text.remove_prefix(used);
  }
}

std::string ShiftJisToUtf8(std::string_view text) {
  std::string out;
  AppendShiftJisAsUtf8(text, &out);
  return out;
}

}  // namespace narvo
