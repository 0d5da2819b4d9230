// The data encoding of an input, and the conversions that follow from it: on a
// UTF-8 console keywords typed in UTF-8 become CP932 for Shift-JIS data, and
// selected Shift-JIS lines become UTF-8 as they are written; in the native mode
// where it decides, keywords in CP932 become UTF-8 for UTF-8 data.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "helpers/text.h"

namespace narvo {

// Index of the first byte >= 0x80 in text, or npos when it is all ASCII.
std::size_t FirstHighByte(std::string_view text);

// True when text is valid UTF-8; a sequence cut short by the end of text is allowed.
bool IsUtf8Prefix(std::string_view text);

// UTF-8 checked a piece at a time: overlong forms, surrogates and code points
// beyond U+10FFFF are invalid. Plain record, driven by the functions below.
struct Utf8Check {
  unsigned char need = 0;                 // continuation bytes still due
  unsigned char low = 0x80, high = 0xBF;  // the range of the next one
  bool bad = false;
  bool longSequence = false;  // a sequence of three or four bytes has begun
};

// Goes on checking with piece.
void CheckUtf8(Utf8Check* check, std::string_view piece);

// True when everything checked is valid UTF-8 with no sequence cut short.
bool IsCompleteUtf8(const Utf8Check& check);

// True when the checked line with an input's first byte >= 0x80 makes its data
// UTF-8: valid UTF-8, and where strict (the native mode) holding a character
// of three bytes or more. A line of half-width katakana alone (C2-DF before
// A1-BF) can be valid UTF-8 by chance, while Japanese text in UTF-8 holds kana
// or kanji: so the native mode takes no Shift-JIS file of Japanese for UTF-8.
bool TakesUtf8(const Utf8Check& check, bool strict);

// keyword (UTF-8, as typed) in CP932; false when it is no UTF-8 or CP932
// lacks one of its characters (¥ and ‾ count as lacking: iconv would write
// them as a backslash and a tilde).
bool KeywordToCp932(std::string_view keyword, std::string* converted);

// keyword (CP932) in UTF-8; false when a byte of it does not decode.
bool KeywordFromCp932(std::string_view keyword, std::string* converted);

// The keywords as they are searched for in data of dataEncoding: unchanged,
// except on a UTF-8 console in Shift-JIS data, where each is converted and one
// CP932 cannot hold becomes empty (an empty keyword is never found), and in the
// native mode in UTF-8 data, where each is converted and one that is no CP932
// text becomes empty.
std::vector<std::string> KeywordsForData(const std::vector<std::string>& typed, bool consoleUtf8,
                                         Encoding dataEncoding);

// Room ShiftJisToUtf8At needs for up to `bytes` bytes of Shift-JIS.
constexpr std::size_t Utf8Room(std::size_t bytes) {
  return 3 * bytes + 64;
}

// Converts the Shift-JIS characters that start in the first `limit` bytes of
// text (the last may end one byte after them) to UTF-8 at out, which has
// Utf8Room(limit) bytes; bytes that do not decode are copied as they are.
// Returns the end of what it wrote and sets *used to the bytes it converted.
char* ShiftJisToUtf8At(std::string_view text, std::size_t limit, char* out, std::size_t* used);

// Shift-JIS text in UTF-8, bytes that do not decode kept as they are.
std::string ShiftJisToUtf8(std::string_view text);

}  // namespace narvo
