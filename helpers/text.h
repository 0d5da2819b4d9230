// Byte-string conventions: Shift-JIS (or UTF-8) character boundaries,
// lower-casing, the character-boundary substring search, file-name parts and
// decimal conversion. Every string is bytes; nothing here allocates on the
// hot path of a search except the lower-casing copies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace narvo {

// How bytes form characters in a text.
enum class Encoding { ShiftJis, Utf8 };

// How text files are read, line by line, as they always have been: LF or
// CR LF ends a line, a lone CR is dropped, NUL bytes are ordinary bytes, and
// the end mark (Ctrl-Z) where a line begins ends the input; inside a line it
// ends the line's text, and the rest of the line is skipped up to its LF,
// where a second one ends the input. ReadingOf is that rule; these are the
// only places the bytes are spelled out, and the scans only find them.
constexpr char kEndMark = 0x1A;
constexpr char kCr = '\r';
constexpr char kNul = '\0';

// The line end written after every line.
constexpr std::string_view kLineEnd = "\r\n";

// True for a byte of [p, end) the line reader treats specially: a NUL, an end
// mark, or a CR that is no line end (no LF after it).
inline bool IsIrregularByte(const char* p, const char* end) {
  const char c = *p;
  return c == kNul || c == kEndMark || (c == kCr && (p + 1 == end || p[1] != '\n'));
}

// True when the LF at lf is not preceded by its CR (begin is a line start, so
// an LF there ends an empty line).
inline bool IsBareLf(const char* begin, const char* lf) {
  return lf == begin || lf[-1] != kCr;
}

// The end of the text of the line [lineBegin, lineEnd), which ends in LF:
// before its LF, and before the CR right before that.
inline const char* TextEnd(const char* lineBegin, const char* lineEnd) {
  const char* end = lineEnd - 1;
  return end > lineBegin && end[-1] == kCr ? end - 1 : end;
}

// What the rule makes of one line, from the bytes held of it.
struct LineReading {
  // Its text is [begin, textEnd), less its lone CRs: up to an end mark in it,
  // else up to its line end; null while neither is held.
  const char* textEnd = nullptr;
  // Its bytes end here: after its LF, or at the end mark that ends the input;
  // null while neither is held (or the data ends without them).
  const char* stop = nullptr;
  // An end mark where it begins (stop == begin: no line at all) or a second
  // one in it ends the input at stop.
  bool endsInput = false;
};

// The rule on [begin, end), the bytes held of a line from its start; the
// bytes [begin, from) were looked at before: they hold no LF, and an end mark
// only as their last byte (which ended the text, and the rest is skipped).
LineReading ReadingOf(const char* begin, const char* from, const char* end);

// Closes up the text [begin, end) of a line in place, dropping its lone CRs;
// the new end.
char* DropLoneCrs(char* begin, char* end);

// The first end mark in [begin, end), or null.
const char* FindEndMark(const char* begin, const char* end);

// True when the line [begin, end) (after its LF, or the data's last) holds a
// byte the rule treats specially: a NUL, an end mark, or a CR that is not
// the CR of its CR LF.
bool HoldsIrregularByte(const char* begin, const char* end);

// An ASCII letter A-Z lower-cased; every other byte as it is. Lower-casing
// folds these, and never a byte of a double-byte character.
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// True when byte c starts a Shift-JIS double-byte character (the code page's lead range).
bool IsLeadByte(unsigned char c);

// The encoding of parameters, paths and console text: Shift-JIS in the native
// mode, UTF-8 on a UTF-8 console. Set once at start.
void SetConsoleEncoding(Encoding encoding);
Encoding ConsoleEncoding();

// Number of bytes of the character starting at text[i], never past the end of
// text (Shift-JIS: 2 for a lead byte; UTF-8: a lead byte and its continuation bytes).
std::size_t CharLength(std::string_view text, std::size_t i, Encoding encoding);

// True for a byte that continues a UTF-8 sequence (0x80-0xBF): no UTF-8
// character starts there.
inline bool IsUtf8Continuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Lower-cases text with the platform mapping, whole characters at a time.
// UTF-8 folds ASCII letters, and with cp932Letters also the capitals
// lower-casing folds in CP932 on Windows (CharLowerBuffA): full-width Latin,
// Greek, Cyrillic and Roman numerals, each to a small letter of its length.
std::string LowerCase(std::string_view text, Encoding encoding, bool cp932Letters = false);

// UTF-8 text with each small letter that one of those capitals folds to
// replaced by the capital; the same length.
std::string UpperCp932Letters(std::string_view text);

// True when a keyword (lower-cased with those letters) may occur in a line
// lower-cased so where the line with ASCII letters folded does not hold it: it
// holds a small letter one of the capitals folds to, or is no UTF-8. A valid
// keyword without one occurs in both at the same places: a capital and its
// small letter have the same length (the same bytes start characters), and one
// within an occurrence would stand whole in the keyword or cut it short.
bool FoldsOnlyAsCp932Letters(std::string_view lowerKeyword);

// 1-based byte position of the first occurrence of needle in haystack that
// starts on a character boundary (Shift-JIS: counted from the start; UTF-8: any
// byte that is not a continuation byte); both count only up to their first NUL;
// 0 when there is none or either is empty.
std::size_t Position(std::string_view needle, std::string_view haystack, Encoding encoding);

// Position of needle (lower-cased) in haystack as lower-casing that folds
// ASCII letters only would make it, folding as it reads instead of copying.
std::size_t PositionFoldingAscii(std::string_view needle, std::string_view haystack,
                                 Encoding encoding);

// For each prefix of needle (by length), the length of its longest proper
// prefix that is also its suffix: the table of the Knuth-Morris-Pratt search.
std::vector<std::size_t> Borders(std::string_view needle);

// File-name parts walk the path in the console encoding.

// What follows the last name delimiter (a separator or drive colon).
std::string FileName(std::string_view path);

// Everything up to and including the last name delimiter; empty when there is none.
std::string DirectoryPart(std::string_view path);

// path with the extension of its file name replaced by extension (".csv"),
// appended when there is none, removed when extension is empty.
std::string ChangeExtension(std::string_view path, std::string_view extension);

// Reads digits as a signed 32-bit decimal; false when the value exceeds 2147483647
// or text is not all digits.
bool ParseDecimal(std::string_view text, std::int32_t* value);

}  // namespace narvo
