// The runtime failure report: every failure the program does not handle itself
// ends here, with standard output flushed first, a two-line report on standard
// error and exit status 1.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace narvo {

// The user's message for a failed open, read or write (Shift-JIS bytes).
std::string IoErrorMessage(const platform::IoError& error);

// The report as written before the conversion for the error console: the
// occurrence line, the message with a full stop, CR LF after each, at most 1024 bytes.
std::string FormatFailureReport(std::string_view kindName, std::string_view moduleName,
                                const void* address, std::string_view message);

// Reports an input/output failure and exits with status 1.
[[noreturn]] void FailIo(const platform::IoError& error);

// Reports that text (a /C or /W value) is not a 32-bit integer and exits with status 1.
[[noreturn]] void FailConversion(std::string_view text);

// Reports that memory ran out (a line too long to hold) and exits with status 1.
[[noreturn]] void FailOutOfMemory();

// Reports that the clipboard cannot be opened and exits with status 1.
[[noreturn]] void FailClipboard();

}  // namespace narvo
