// The one narrow interface between narvo and the operating system.
//
// Everything that touches the system goes through here; engine/ and helpers/
// contain no #ifdef. CMake compiles exactly one implementation:
// platform_posix.cpp (Linux, macOS) or platform_win32.cpp (Windows).
// Strings are byte strings in the console's encoding: Shift-JIS in the native
// mode, UTF-8 where ConsoleIsUtf8 says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Prepares the process (locale, code page); argv is used where the system
// hands the parameters over already split. Call once, first thing in main.
void Init(int argc, char** argv);

// The full path of the running program file (parameter 0).
std::string ProgramPath();

// The parameters after the program name, in order; never an empty one.
std::vector<std::string> Parameters();

// The current directory as an absolute path.
std::string CurrentDirectory();

// The suffix program files carry: ".exe" on Windows, empty elsewhere.
std::string_view ExecutableSuffix();

// The separator appended by WithTrailingSeparator: '\\' on Windows, '/' elsewhere.
char PathSeparator();

// True for a byte that ends a directory part: '\\' and ':' on Windows, '/' elsewhere.
bool IsNameDelimiter(unsigned char c);

// True when c starts a double-byte character of Shift-JIS: the ANSI code
// page's lead bytes in the native mode on Windows, CP932's elsewhere.
bool IsLeadByte(unsigned char c);

// Lower-cases Shift-JIS bytes in place: the ANSI code page's mapping in the
// native mode on Windows, ASCII letters elsewhere. Never changes a byte of a
// double-byte character by itself.
void LowerCase(char* text, std::size_t size);

// The locale's case-insensitive equality of two short strings (switch lookup).
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// Local time of a file's last write, whole seconds.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The folders searched for the default data file after the program's own, each
// ending in a separator: the user's data folder, then the installation's
// share/narvo/ when programPath lies in a folder named bin. Empty on Windows.
std::vector<std::string> DataFolders(const std::string& programPath);

// True when path names an existing non-directory whose local last-write time
// lies in 1980..2107; fills *modified then (may be null).
bool FileExists(const std::string& path, LocalTime* modified);

// What a failed system call means to the user; code is the system's number.
enum class IoErrorKind { FileNotFound, PathNotFound, TooManyOpenFiles, AccessDenied, Other };
struct IoError {
  IoErrorKind kind = IoErrorKind::Other;
  int code = 0;
};

// An open input: a file opened read-only, or standard input.
struct Input {
  std::intptr_t handle = -1;
  bool ownsHandle = false;
};

// Opens path for reading only, shared with other readers. False with *error filled on failure.
bool OpenInput(const std::string& path, Input* input, IoError* error);

// Standard input as an Input.
Input StandardInput();

// Reads up to size bytes (from a Windows console in UTF-8 mode: what was
// typed, in UTF-8; Ctrl-Z at the start of a line ends it). Returns the count, 0 at the end of the
// data (a broken pipe included) or -1 with *error filled.
std::ptrdiff_t ReadInput(const Input& input, char* buffer, std::size_t size, IoError* error);

// True when a read of input may wait for a writer (a pipe, a terminal, a
// socket): not a file on a disk.
bool InputMayWait(const Input& input);

// Closes a file opened by OpenInput; standard input is left open.
void CloseInput(Input* input);

enum class Stream { Output, Error };

// Writes all bytes to standard output or error; false with *error filled on
// failure. A Windows console shows UTF-8 text as characters (WriteConsoleW), a
// sequence cut short kept for the next write; files and pipes get the bytes.
bool WriteAll(Stream stream, const char* data, std::size_t size, IoError* error);

// Writes the pieces in order, as few system calls as the system allows (POSIX
// gathers them with writev); false with *error filled on failure.
bool WriteAllPieces(Stream stream, std::span<const std::string_view> pieces, IoError* error);

// Closes standard output after the last write; false with *error filled when the
// system reports a failure only then (POSIX). Nothing to do on Windows.
bool CloseOutput(IoError* error);

// True when the console speaks UTF-8: POSIX with a UTF-8 locale codeset;
// Windows unless the ANSI code page is 932 and the console, if any, shows code
// page 932. False means the native mode, where every text is Shift-JIS bytes.
bool ConsoleIsUtf8();

// True when the native mode knows its keywords are CP932 and so decides each
// input's data encoding (Windows, where the system converts what was typed);
// false where it cannot know (POSIX's C locale).
bool DecidesNativeData();

// The bytes written to standard output from now on are UTF-8 text (a console
// shows them with WriteConsoleW); false: the console's own code page. Nothing
// to do on POSIX.
void SetOutputUtf8(bool utf8);

// Converts a failure report to the error console's encoding (the OEM code page
// in the native mode on Windows).
std::string ToReportEncoding(std::string_view text);

// Puts text (up to its first NUL) on the system clipboard, replacing what it
// held; utf8 tells that it is UTF-8, else Shift-JIS bytes of the native mode.
// False when the clipboard cannot be opened.
bool SetClipboardText(std::string_view text, bool utf8);

// Hands a web address to the user's browser; never waits, ignores failures.
void OpenWebPage(const std::string& address);

// Hands a mailto address to the user's mail program; never waits, ignores failures.
void OpenMailAddress(const std::string& address);

// Ends the process with the given status without returning.
[[noreturn]] void ExitProcess(int status);

}  // namespace platform
