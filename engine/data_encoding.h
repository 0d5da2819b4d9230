// The data encoding of an input on a UTF-8 console, or in the native mode where
// it decides, decided as the searcher reads: on the whole line that holds the
// first byte >= 0x80 (up to its LF, the end mark that ends the input, or the
// end of the data), however the reads split it. Elsewhere the native mode
// knows only Shift-JIS.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/matcher.h"
#include "engine/read_buffer.h"
#include "engine/searcher.h"
#include "helpers/encoding.h"

namespace narvo {

// The data encoding of one input and the keywords prepared for it.
struct DataState {
  bool decided = false;
  Encoding encoding = Encoding::ShiftJis;
  Matcher matcher;
  // From the first byte >= 0x80 until its line ends: that line's bytes from
  // there on are checked as they come, which decides at the line's end.
  bool pending = false;
  std::size_t pendingAt = 0;   // where that byte is in the read buffer, until checking
  bool checking = false;       // the line's bytes up to what is held are checked
  bool byteOrderMark = false;  // the data starts with one
  Utf8Check check;
};

// Starts an input: decided where the native mode does not decide, else open.
void StartData(DataState* data, const SearchSetup& setup);

// Takes encoding for the input's data and prepares the keywords for it.
void Decide(DataState* data, const SearchSetup& setup, Encoding encoding);

// Looks at the bytes [from, held) just read for the first byte >= 0x80 while
// the encoding is open; the decision then waits for the end of its line.
void NoteHighByte(DataState* data, const ReadBuffer& buffer, std::size_t from);

// Decides once the buffer holds the end of the line with the first byte
// >= 0x80 (the bytes [from, held) are new); where an end mark ends the line's
// text first, checks what is held and leaves the rest to CheckSkippedBytes.
// True when it decided.
bool DecideOnHeldLine(DataState* data, const SearchSetup& setup, const ReadBuffer& buffer,
                      std::size_t from, bool dataEnded);

// The bytes of a skipped line's rest: they may hold the first byte >= 0x80,
// or go on with the line being checked; ended tells the line has ended. True
// when it decided.
bool CheckSkippedBytes(DataState* data, const SearchSetup& setup, std::string_view rest,
                       bool ended);

}  // namespace narvo
