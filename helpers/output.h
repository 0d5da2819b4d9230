// Standard output through one buffer. Every write failure, also one that only
// shows at the final flush, ends in the failure report; a closed pipe ends the
// process quietly through SIGPIPE on POSIX, like any other filter.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace narvo {

// Appends bytes to standard output.
void WriteBytes(std::string_view bytes);

// Marks the pieces handed to WritePieces: 0 for pieces already written or
// copied, else one more than the mark before.
using OutputMark = std::uint64_t;

// Appends the pieces in order: copied into the buffer when they fit, else
// written with what is buffered, in one gathered write where the system has
// it, without copying. At first that write happens at once (mark 0); once a
// run has written much, a thread of its own does it while the run goes on,
// and the bytes the pieces point to must stay as they are until
// AwaitOutput(the mark returned) has returned.
OutputMark WritePieces(std::span<const std::string_view> pieces);

// The same for Shift-JIS pieces, none ending inside a character, that the
// writer thread converts to UTF-8 as it writes them; 0 where it does not run
// yet: nothing is taken, and the caller converts them.
OutputMark WritePiecesInUtf8(std::span<const std::string_view> pieces);

// Returns once the pieces of mark, and all before, are written; a failure ends
// in the failure report.
void AwaitOutput(OutputMark mark);

// Appends bytes followed by CR LF.
void WriteLine(std::string_view bytes);

// Writes everything buffered; a failure ends in the failure report.
void FlushOutput();

// Writes everything buffered and closes standard output, the last write of a
// run that ends normally; a failure, also one shown only by the close, ends in
// the failure report.
void FinishOutput();

// Writes everything buffered and drops it; false on failure (for the failure report itself).
bool TryFlushOutput();

// A text of the program's own (Shift-JIS bytes) in the console's encoding:
// unchanged in the native mode, converted on a UTF-8 console.
std::string ConsoleText(std::string_view shiftJisText);

// The same with its %s replaced by value (already in the console's encoding).
std::string ConsoleText(std::string_view shiftJisText, std::string_view value);

}  // namespace narvo
