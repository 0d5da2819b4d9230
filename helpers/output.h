// Standard output through one buffer. Every write failure, also one that only
// shows at the final flush, ends in the failure report; a closed pipe ends the
// process quietly through SIGPIPE on POSIX, like any other filter.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace narvo {

// Appends the pieces in order: copied into the buffer when they fit, else
// written at once with what is buffered, in one gathered write where the
// system has it, without copying.
void WritePieces(std::span<const std::string_view> pieces);

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
