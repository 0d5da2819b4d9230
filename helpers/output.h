// Standard output through one buffer. Every write failure, also one that only
// shows at the final flush, ends in the failure report; a closed pipe ends the
// process quietly through SIGPIPE on POSIX, like any other filter.
#pragma once

#include <string>
#include <string_view>

namespace narvo {

// Appends bytes to standard output.
void WriteBytes(std::string_view bytes);

// Appends bytes followed by CR LF.
void WriteLine(std::string_view bytes);

// Writes everything buffered; a failure ends in the failure report.
void FlushOutput();

// Writes everything buffered and drops it; false on failure (for the failure report itself).
bool TryFlushOutput();

// A text of the program's own (Shift-JIS bytes) in the console's encoding:
// unchanged in the native mode, converted on a UTF-8 console.
std::string ConsoleText(std::string_view shiftJisText);

}  // namespace narvo
