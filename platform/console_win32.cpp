// The standard handles on Windows, and UTF-8 text there: the conversions to
// and from the system's UTF-16, and a console's characters, which bytes written
// with WriteFile would show in the console's own code page.
#include "platform/console_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// ReadFile and WriteFile take a DWORD count; larger requests go in pieces.
constexpr std::size_t kMaxTransfer = 1u << 30;

// The conversion functions count in int; longer texts go in pieces of this.
constexpr std::size_t kMostConverted = 1u << 28;

// Characters per WriteConsoleW call: consoles have refused very long writes.
constexpr std::size_t kConsolePiece = 1u << 13;

// Characters per ReadConsoleW call.
constexpr DWORD kConsoleRead = 4096;

constexpr wchar_t kByteOrderMark = 0xFEFF;
constexpr wchar_t kCtrlZ = 0x1A;

bool IsHighSurrogate(wchar_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

namespace win32 {

bool IsNativeMode(unsigned ansiCodePage, unsigned consoleOutputCodePage) {
  return ansiCodePage == 932 && (consoleOutputCodePage == 0 || consoleOutputCodePage == 932);
}

std::wstring Widen(std::string_view utf8) {
  std::wstring wide;
  while (!utf8.empty()) {
    std::size_t n = std::min(utf8.size(), kMostConverted);
    if (n < utf8.size()) n -= CutShortTail(utf8.substr(0, n));
    const int size = static_cast<int>(n);
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    const std::size_t start = wide.size();
    wide.resize(start + static_cast<std::size_t>(count));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data() + start, count);
    utf8.remove_prefix(n);
  }
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  std::string utf8;
  while (!wide.empty()) {
    std::size_t n = std::min(wide.size(), kMostConverted);
    if (n < wide.size() && IsHighSurrogate(wide[n - 1])) --n;
    const int size = static_cast<int>(n);
    const int count =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    const std::size_t start = utf8.size();
    utf8.resize(start + static_cast<std::size_t>(count));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data() + start, count, nullptr,
                        nullptr);
    wide.remove_prefix(n);
  }
  return utf8;
}

std::size_t CutShortTail(std::string_view text) {
  // The last byte that is no continuation byte, if one of the last three is.
  for (std::size_t k = 1; k <= std::min<std::size_t>(3, text.size()); ++k) {
    const auto c = static_cast<unsigned char>(text[text.size() - k]);
    if (c >= 0x80 && c <= 0xBF) continue;
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length > k ? k : 0;
  }
  return 0;
}

std::wstring ConsoleCharacters(std::string* tail, std::string_view bytes) {
  std::string text = std::move(*tail);
  text.append(bytes);
  const std::size_t cut = CutShortTail(text);
  tail->assign(text, text.size() - cut, cut);
  text.resize(text.size() - cut);
  std::wstring characters = Widen(text);
  std::erase(characters, kByteOrderMark);
  return characters;
}

}  // namespace win32

namespace {

// Typed text already converted and not yet handed over, and a high surrogate
// whose low half the next read brings. One console, one standard input.
struct ConsoleInput {
  std::string ready;
  std::size_t used = 0;
  wchar_t high = 0;
};

ConsoleInput consoleInput;

// Shows the UTF-8 bytes on the console handle, *tail as for ConsoleCharacters.
bool WriteConsoleUtf8(HANDLE handle, std::string* tail, std::string_view bytes, IoError* error) {
  const std::wstring characters = win32::ConsoleCharacters(tail, bytes);
  std::size_t done = 0;
  while (done < characters.size()) {
    std::size_t count = std::min(characters.size() - done, kConsolePiece);
    // A surrogate pair goes to the console in one call.
    if (done + count < characters.size() && IsHighSurrogate(characters[done + count - 1])) --count;
    DWORD n = 0;
    if (!WriteConsoleW(handle, characters.data() + done, static_cast<DWORD>(count), &n, nullptr)) {
      *error = win32::LastIoError();
      return false;
    }
    done += n != 0 ? n : count;  // a console that takes nothing is not waited for
  }
  return true;
}

// Reads what is typed on the console handle as UTF-8: up to size bytes, 0 at
// the end, -1 with *error filled.
std::ptrdiff_t ReadConsoleUtf8(HANDLE handle, char* buffer, std::size_t size, IoError* error) {
  ConsoleInput& in = consoleInput;
  while (in.used == in.ready.size()) {
    wchar_t wide[kConsoleRead + 1];
    const std::size_t start = in.high ? 1 : 0;
    wide[0] = in.high;
    DWORD n = 0;
    if (!ReadConsoleW(handle, wide + start, kConsoleRead, &n, nullptr)) {
      *error = win32::LastIoError();
      return -1;
    }
    if (n == 0) return 0;
    // Ctrl-Z typed at the start of a line ends the input, as ReadFile has it.
    if (wide[start] == kCtrlZ) return 0;
    std::size_t count = start + n;
    in.high = IsHighSurrogate(wide[count - 1]) ? wide[--count] : 0;
    in.ready = win32::Narrow(std::wstring_view(wide, count));
    in.used = 0;
  }
  const std::size_t n = std::min(size, in.ready.size() - in.used);
  std::memcpy(buffer, in.ready.data() + in.used, n);
  in.used += n;
  return static_cast<std::ptrdiff_t>(n);
}

// In the native mode, standard output's bytes are UTF-8 text from now on (SetOutputUtf8).
bool outputUtf8 = false;

// What is known of a standard output handle: whether it is a console, and the
// start of a UTF-8 sequence the last write cut short.
struct OutputState {
  bool checked = false;
  bool console = false;
  std::string tail;
};

OutputState outputStates[2];

OutputState& StateOf(Stream stream) {
  return outputStates[stream == Stream::Output ? 0 : 1];
}

HANDLE HandleOf(Stream stream) {
  return GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

// True when stream is a console and what goes there is UTF-8 text: everything
// in the UTF-8 mode, the lines of UTF-8 data in the native mode.
bool ShowsUtf8(Stream stream) {
  OutputState& state = StateOf(stream);
  if (!state.checked) {
    DWORD mode = 0;
    state.console = GetConsoleMode(HandleOf(stream), &mode) != FALSE;
    state.checked = true;
  }
  return state.console && (win32::Utf8Mode() || (stream == Stream::Output && outputUtf8));
}

// True when standard input is a console whose typed text the UTF-8 mode reads.
bool ReadsConsoleUtf8(const Input& input) {
  static const bool console = [] {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != FALSE;
  }();
  return win32::Utf8Mode() && !input.ownsHandle && console;
}

HANDLE HandleOf(const Input& input) {
  return reinterpret_cast<HANDLE>(input.handle);
}

}  // namespace

std::ptrdiff_t ReadInput(const Input& input, char* buffer, std::size_t size, IoError* error) {
  // ReadFile would give the console's code page, which may lack what was typed.
  if (ReadsConsoleUtf8(input)) return ReadConsoleUtf8(HandleOf(input), buffer, size, error);
  DWORD n = 0;
  if (ReadFile(HandleOf(input), buffer, static_cast<DWORD>(std::min(size, kMaxTransfer)), &n,
               nullptr)) {
    return static_cast<std::ptrdiff_t>(n);
  }
  const DWORD code = GetLastError();
  // The writer of a pipe has gone: that is how piped input ends.
  if (code == ERROR_BROKEN_PIPE) return 0;
  SetLastError(code);
  *error = win32::LastIoError();
  return -1;
}

bool WriteAll(Stream stream, const char* data, std::size_t size, IoError* error) {
  const HANDLE handle = HandleOf(stream);
  if (ShowsUtf8(stream)) {
    return WriteConsoleUtf8(handle, &StateOf(stream).tail, std::string_view(data, size), error);
  }
  // WriteFile, not the C runtime: its text mode would turn CR LF into CR CR LF.
  while (size > 0) {
    DWORD n = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &n, nullptr)) {
      *error = win32::LastIoError();
      return false;
    }
    data += n;
    size -= n;
  }
  return true;
}

bool WriteAllPieces(Stream stream, std::span<const std::string_view> pieces, IoError* error) {
  // WriteFile takes one range: the pieces are joined, as a buffered write would.
  std::string joined;
  for (std::string_view piece : pieces)
    joined.append(piece);
  return WriteAll(stream, joined.data(), joined.size(), error);
}

bool CloseOutput(IoError* error) {
  // WriteFile reports every failure as it happens; the handle ends with the
  // process. A sequence the last write cut short shows as what it is, U+FFFD.
  std::string& tail = StateOf(Stream::Output).tail;
  if (tail.empty()) return true;
  const std::wstring shown = win32::Widen(tail);
  tail.clear();
  DWORD n = 0;
  if (!WriteConsoleW(HandleOf(Stream::Output), shown.data(), static_cast<DWORD>(shown.size()), &n,
                     nullptr)) {
    *error = win32::LastIoError();
    return false;
  }
  return true;
}

void SetOutputUtf8(bool utf8) {
  // A sequence cut short before the switch belongs to no text that follows.
  if (utf8 != outputUtf8 && !win32::Utf8Mode()) StateOf(Stream::Output).tail.clear();
  outputUtf8 = utf8;
}

}  // namespace platform
