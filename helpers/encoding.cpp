#include "helpers/encoding.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#endif

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
      check->longSequence = true;
      if (c == 0xE0) check->low = 0xA0;
      if (c == 0xED) check->high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      check->need = 3;
      check->longSequence = true;
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

bool TakesUtf8(const Utf8Check& check, bool strict) {
  return IsCompleteUtf8(check) && (check.longSequence || !strict);
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

bool KeywordFromCp932(std::string_view keyword, std::string* converted) {
  converted->clear();
  const auto* p = reinterpret_cast<const unsigned char*>(keyword.data());
  const auto* const end = p + keyword.size();
  while (p < end) {
    std::uint32_t entry = end - p >= 2 ? cp932::kPairs[cp932::kRowOfLead[p[0]] * 256 + p[1]] : 0;
    std::size_t used = 2;
    if (entry == 0) {
      entry = cp932::kSingle[*p];
      used = 1;
      // A byte that does not decode stands for itself.
      if (*p >= 0x80 && entry >> 24 == 1) return false;
    }
    for (std::uint32_t k = 0; k < entry >> 24; ++k)
      converted->push_back(static_cast<char>(entry >> (8 * k)));
    p += used;
  }
  return true;
}

std::vector<std::string> KeywordsForData(const std::vector<std::string>& typed, bool consoleUtf8,
                                         Encoding dataEncoding) {
  if (consoleUtf8 == (dataEncoding == Encoding::Utf8)) return typed;
  std::vector<std::string> keywords;
  for (const std::string& t : typed) {
    std::string converted;
    const bool held = consoleUtf8 ? KeywordToCp932(t, &converted) : KeywordFromCp932(t, &converted);
    keywords.push_back(held ? converted : std::string());
  }
  return keywords;
}

namespace {

// Stores a table entry's UTF-8 bytes at o (four bytes written, the count kept)
// and returns the end of them.
inline unsigned char* PutEntry(unsigned char* o, std::uint32_t entry) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(o, &entry, 4);
  } else {
    const unsigned char bytes[4] = {static_cast<unsigned char>(entry),
                                    static_cast<unsigned char>(entry >> 8),
                                    static_cast<unsigned char>(entry >> 16), 0};
    std::memcpy(o, bytes, 4);
  }
  return o + (entry >> 24);
}

// What each byte of 64 is, one bit per byte.
struct Kinds {
  std::uint64_t ascii;  // below 0x80
  std::uint64_t kana;   // half-width katakana, A1-DF (never a lead byte)
};

// Sixteen bytes copied.
inline void Copy16(const unsigned char* from, unsigned char* to) {
  std::memcpy(to, from, 16);
}

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
// True (0xFF) per byte of v in [low, high], bytes taken as unsigned.
inline __m128i InRange(__m128i v, int low, int high) {
  const __m128i x = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(0x80)));
  return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(low - 0x81))),
                       _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(high - 0x7F))));
}

inline Kinds KindsOf(const unsigned char* p) {
  Kinds k{0, 0};
  for (int i = 0; i < 4; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    const auto bits = [](__m128i m) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m)));
    };
    k.ascii |= (~bits(v) & 0xFFFF) << (16 * i);
    k.kana |= bits(InRange(v, 0xA1, 0xDF)) << (16 * i);
  }
  return k;
}

// Sixteen half-width katakana (A1-DF) at p as UTF-8 at o (EF BD A1-BF, EF
// BE 80-9F): 48 bytes, two more written.
inline void PutKana(const unsigned char* p, unsigned char* o) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i upper = InRange(v, 0xC0, 0xDF);  // 0xFF where the second byte is BE
  const __m128i second = _mm_sub_epi8(_mm_set1_epi8(static_cast<char>(0xBD)), upper);
  const __m128i third =
      _mm_add_epi8(v, _mm_and_si128(upper, _mm_set1_epi8(static_cast<char>(0xC0))));
  const __m128i ef = _mm_set1_epi8(static_cast<char>(0xEF));
  const __m128i zero = _mm_setzero_si128();
  const __m128i lead2[2] = {_mm_unpacklo_epi8(ef, second), _mm_unpackhi_epi8(ef, second)};
  const __m128i rest2[2] = {_mm_unpacklo_epi8(third, zero), _mm_unpackhi_epi8(third, zero)};
  // Two characters (EF xx yy 00 each) per 64 bits, closed up to six bytes.
  const __m128i low = _mm_set1_epi64x(0xFFFFFF);
  const __m128i highPart = _mm_set1_epi64x(0xFFFFFF000000);
  for (int h = 0; h < 2; ++h) {
    const __m128i words[2] = {_mm_unpacklo_epi16(lead2[h], rest2[h]),
                              _mm_unpackhi_epi16(lead2[h], rest2[h])};
    for (int w = 0; w < 2; ++w) {
      const __m128i packed = _mm_or_si128(_mm_and_si128(words[w], low),
                                          _mm_and_si128(_mm_srli_epi64(words[w], 8), highPart));
      unsigned char* const at = o + 24 * h + 12 * w;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(at), packed);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(at + 6), _mm_unpackhi_epi64(packed, packed));
    }
  }
}
#else
inline Kinds KindsOf(const unsigned char* p) {
  Kinds k{0, 0};
  for (int i = 0; i < 64; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << i;
    if (p[i] < 0x80) k.ascii |= bit;
    if (p[i] >= 0xA1 && p[i] <= 0xDF) k.kana |= bit;
  }
  return k;
}

inline void PutKana(const unsigned char* p, unsigned char* o) {
  for (int k = 0; k < 16; ++k)
    PutEntry(o + 3 * k, cp932::kSingle[p[k]]);
}
#endif

// The length of the run of set bits in mask from bit `at` on (at < 64).
inline int RunAt(std::uint64_t mask, int at) {
  return std::countr_one(mask >> at);
}

}  // namespace

char* ShiftJisToUtf8At(std::string_view text, std::size_t limit, char* out, std::size_t* used) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* p = begin;
  const unsigned char* const stop = begin + limit;
  const unsigned char* const end = begin + text.size();
  auto* o = reinterpret_cast<unsigned char*>(out);
  // Postal-code lines change between ASCII, half-width katakana and kanji a
  // dozen times each. Each 64 bytes are classified at once; runs of each kind
  // are then found in the bits, without waiting for the bytes: ASCII copied
  // as it is, katakana computed sixteen at a time, pairs by the table.
  while (end - p >= 128 && stop - p >= 64) {
    const unsigned char* const chunk = p;
    const Kinds kinds = KindsOf(chunk);
    int at = 0;
    while (at < 64) {
      // Most runs are short (the ASCII between two fields is three bytes):
      // the first 32 ASCII bytes and 16 katakana are written whatever the
      // run's length, so that only longer runs take a loop whose end the
      // processor may mispredict (the conversion of KEN_ALL.CSV 3-4 % faster,
      // CPU time, measured alone). The chunk's 128 readable bytes and the
      // room's 64 spare ones allow it.
      if (const int n = RunAt(kinds.ascii, at)) {
        Copy16(chunk + at, o);
        Copy16(chunk + at + 16, o + 16);
        for (int k = 32; k < n; k += 16)
          Copy16(chunk + at + k, o + k);
        o += n;
        at += n;
        if (at >= 64) break;
      }
      if (const int n = RunAt(kinds.kana, at)) {
        PutKana(chunk + at, o);
        for (int k = 16; k < n; k += 16)
          PutKana(chunk + at + k, o + 3 * k);
        o += 3 * n;
        at += n;
        continue;
      }
      // Pairs while they decode (a byte that is no lead byte finds 0 in row
      // 0), then a byte alone (as itself where it does not decode). A pair
      // may end one byte after the chunk.
      const int from = at;
      while (at < 64) {
        const std::uint32_t u = cp932::kPairs[cp932::kRowOfLead[chunk[at]] * 256 + chunk[at + 1]];
        if (u == 0) break;
        o = PutEntry(o, u);
        at += 2;
      }
      if (at == from) {
        o = PutEntry(o, cp932::kSingle[chunk[at]]);
        ++at;
      }
    }
    p = chunk + at;
  }
  // The rest a character at a time.
  while (p < stop) {
    const std::uint32_t u = end - p >= 2 ? cp932::kPairs[cp932::kRowOfLead[p[0]] * 256 + p[1]] : 0;
    if (u != 0) {
      o = PutEntry(o, u);
      p += 2;
    } else {
      o = PutEntry(o, cp932::kSingle[*p]);
      ++p;
    }
  }
  *used = static_cast<std::size_t>(p - begin);
  return reinterpret_cast<char*>(o);
}

std::string ShiftJisToUtf8(std::string_view text) {
  // A slice at a time through a small buffer, so the result grows by what is written only.
  constexpr std::size_t kSlice = 4096;
  char buffer[Utf8Room(kSlice)];
  std::string out;
  while (!text.empty()) {
    std::size_t used;
    const char* written = ShiftJisToUtf8At(text, std::min(text.size(), kSlice), buffer, &used);
    out.append(buffer, static_cast<std::size_t>(written - buffer));
    text.remove_prefix(used);
  }
  return out;
}

}  // namespace narvo
