// The data encoding of an input on a UTF-8 console, and the conversions that
// follow from it: keywords typed in UTF-8 become CP932 for Shift-JIS data, and
// selected Shift-JIS lines become UTF-8 as they are written.
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
};

// Goes on checking with piece.
void CheckUtf8(Utf8Check* check, std::string_view piece);

// True when everything checked is valid UTF-8 with no sequence cut short.
bool IsCompleteUtf8(const Utf8Check& check);

// keyword (UTF-8, as typed) in CP932; false when it is no UTF-8 or CP932
// lacks one of its characters (¥ and ‾ count as lacking: iconv would write
// them as a backslash and a tilde).
bool KeywordToCp932(std::string_view keyword, std::string* converted);

// The keywords as they are searched for in data of dataEncoding: unchanged,
// except on a UTF-8 console in Shift-JIS data, where each is converted and one
// CP932 cannot hold becomes empty (an empty keyword is never found).
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
