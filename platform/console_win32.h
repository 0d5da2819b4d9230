// What the Windows implementation files share with each other and with their
// unit tests: the choice of mode, the UTF-8 <-> UTF-16 conversions, and what a
// console shows of UTF-8 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform::win32 {

// True for the native mode: ANSI code page 932 and no console (its output code
// page 0) or a console that shows code page 932. Anything else is the UTF-8 mode.
bool IsNativeMode(unsigned ansiCodePage, unsigned consoleOutputCodePage);

// True in the UTF-8 mode, as Init decided it for this process.
bool Utf8Mode();

// The error the system reported last.
IoError LastIoError();

// UTF-8 as UTF-16; bytes that do not decode become U+FFFD.
std::wstring Widen(std::string_view utf8);

// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view wide);

// How many bytes at the end of text start a UTF-8 sequence that text cuts short (0 to 3).
std::size_t CutShortTail(std::string_view text);

// What a console shows of UTF-8 text written in pieces: *tail (the sequence
// the piece before cut short) and bytes, less a sequence that bytes cut short,
// which becomes the new *tail. A byte-order mark is not shown.
std::wstring ConsoleCharacters(std::string* tail, std::string_view bytes);

}  // namespace platform::win32
