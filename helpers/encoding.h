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

// The data encoding of a whole input (data as read, up to the end of the data)
// on a UTF-8 console, decided on the line that holds its first byte >= 0x80,
// as the line reader delimits it (its LF, the end of the data, or the end mark
// that ends the input): UTF-8 when the data starts with a byte-order mark or
// that line is valid UTF-8, Shift-JIS otherwise; none when the input ends
// before any such byte. The searcher decides the same as it reads.
std::optional<Encoding> DecideDataEncoding(std::string_view data);

// keyword (UTF-8, as typed) in CP932; false when CP932 lacks one of its
// characters, also where iconv would fall back to an ASCII byte (¥, ‾).
bool KeywordToCp932(std::string_view keyword, std::string* converted);

// The keywords as they are searched for in data of dataEncoding: unchanged,
// except on a UTF-8 console in Shift-JIS data, where each is converted and one
// CP932 cannot hold becomes empty (an empty keyword is never found).
std::vector<std::string> KeywordsForData(const std::vector<std::string>& typed, bool consoleUtf8,
                                         Encoding dataEncoding);

// Shift-JIS text in UTF-8, bytes that do not decode kept as they are: by a
// table taken once from the platform's converter, or through the converter
// where that cannot be had.
std::string ShiftJisToUtf8(std::string_view text);

// The same appended to out.
void AppendShiftJisAsUtf8(std::string_view text, std::string* out);

// The table is made once this many bytes (512 KiB at first) have gone through
// the converter: making it costs about what converting 300 KB does. The tests
// set 0, to convert by the table at once.
void ConvertByTableAfter(std::size_t bytes);

// True when the platform's converter gave a whole table (it does on POSIX).
bool ShiftJisTableUsable();

// The same straight through the platform's converter: the reference for the table.
std::string ShiftJisToUtf8ByConverter(std::string_view text);

}  // namespace narvo
