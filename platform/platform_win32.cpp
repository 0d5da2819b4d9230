// The platform interface on Windows: the console's own handles and the user32
// clipboard. The native mode (code page 932) works in the ANSI code page, and
// is the reference the POSIX implementation imitates; the UTF-8 mode keeps its
// texts in UTF-8, asks the system's wide functions, and uses the rules of the
// POSIX build for Shift-JIS data.
#include <windows.h>
// windows.h first: these rely on its types.
#include <objbase.h>
#include <shellapi.h>
#include <urlmon.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "helpers/params.h"
#include "platform/console_win32.h"
#include "platform/platform.h"

namespace platform {

namespace {

IoError ErrorFromCode(DWORD code) {
  IoError error;
  error.code = static_cast<int>(code);
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      error.kind = IoErrorKind::FileNotFound;
      break;
    case ERROR_PATH_NOT_FOUND:
      error.kind = IoErrorKind::PathNotFound;
      break;
    case ERROR_TOO_MANY_OPEN_FILES:
      error.kind = IoErrorKind::TooManyOpenFiles;
      break;
    case ERROR_ACCESS_DENIED:
      error.kind = IoErrorKind::AccessDenied;
      break;
    default:
      error.kind = IoErrorKind::Other;
      break;
  }
  return error;
}

IoError LastError() {
  return ErrorFromCode(GetLastError());
}

// Decided once, by Init; the unit tests, which do not call it, see the native mode.
bool utf8Mode = false;

// Text in the console's encoding as the wide functions take it.
std::wstring ToWide(const std::string& text) {
  if (utf8Mode) return win32::Widen(text);
  const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size - 1));
  return wide;
}

// Asks fill (a GetCurrentDirectory-like call: the length written, or the room
// needed when more than room) until the answer fits.
template <typename Char, typename Fill>
std::basic_string<Char> AskGrowing(Fill fill) {
  std::basic_string<Char> text(MAX_PATH, Char());
  for (;;) {
    const DWORD n = fill(text.data(), static_cast<DWORD>(text.size()));
    if (n == 0) return {};
    if (n < text.size()) {
      text.resize(n);
      return text;
    }
    text.resize(std::max<std::size_t>(n, text.size() * 2));
  }
}

bool AsciiEqualIgnoringCase(std::string_view a, std::string_view b) {
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&fold](char x, char y) { return fold(x) == fold(y); });
}

bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

HANDLE HandleOf(const Input& input) {
  return reinterpret_cast<HANDLE>(input.handle);
}

// The lower-case form of every character, built lazily from CharLowerBuffA.
// Asking CharLowerBuffA once per character instead of once per line keeps
// matching a table lookup, and a byte sequence the code page does not define
// is left as it is instead of coming back as the default character.
struct LowerTable {
  bool singleReady = false;
  char single[256];
  bool pairReady[256] = {};
  unsigned short pair[256][256];  // lead, trail -> lower-case lead << 8 | trail
};

LowerTable lowerTable;

// True when text is exactly one character the ANSI code page defines.
bool IsOneCharacter(const char* text, int size) {
  WCHAR wide[2];
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, size, wide, 2) == 1;
}

// The lower-case form of the character text[0..size), or false when
// CharLowerBuffA has nothing that is again one character of the same size.
bool LowerCharacter(char* text, int size) {
  if (!IsOneCharacter(text, size)) return false;
  char lower[2] = {text[0], size == 2 ? text[1] : '\0'};
  if (CharLowerBuffA(lower, static_cast<DWORD>(size)) != static_cast<DWORD>(size)) return false;
  if (!IsOneCharacter(lower, size)) return false;
  std::memcpy(text, lower, static_cast<std::size_t>(size));
  return true;
}

void PrepareSingleBytes() {
  for (int c = 0; c < 256; ++c) {
    char text[1] = {static_cast<char>(c)};
    if (!IsDBCSLeadByte(static_cast<BYTE>(c))) LowerCharacter(text, 1);
    lowerTable.single[c] = text[0];
  }
  lowerTable.singleReady = true;
}

void PrepareLead(unsigned char lead) {
  for (int trail = 0; trail < 256; ++trail) {
    char text[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    LowerCharacter(text, 2);
    lowerTable.pair[lead][trail] = static_cast<unsigned short>(
        static_cast<unsigned char>(text[0]) << 8 | static_cast<unsigned char>(text[1]));
  }
  lowerTable.pairReady[lead] = true;
}

// The clipboard wants an owner window; a message-only one is never shown.
HWND CreateClipboardOwner() {
  return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

namespace win32 {

IoError LastIoError() {
  return LastError();
}

bool Utf8Mode() {
  return utf8Mode;
}

}  // namespace win32

void Init(int, char**) {
  // GetConsoleOutputCP is 0 without a console; `chcp 65001` sets it to 65001.
  utf8Mode = !win32::IsNativeMode(GetACP(), GetConsoleOutputCP());
}

std::string ProgramPath() {
  // GetModuleFileName fills the whole room when the path is longer: ask again with more.
  if (utf8Mode) {
    return win32::Narrow(AskGrowing<wchar_t>([](wchar_t* room, DWORD size) {
      const DWORD n = GetModuleFileNameW(nullptr, room, size);
      return n < size ? n : size + 1;
    }));
  }
  return AskGrowing<char>([](char* room, DWORD size) {
    const DWORD n = GetModuleFileNameA(nullptr, room, size);
    return n < size ? n : size + 1;
  });
}

std::vector<std::string> Parameters() {
  // The C runtime's argv follows other quoting rules (backslashes escape
  // quotes there); the program splits the raw command line itself.
  if (utf8Mode) {
    return narvo::SplitCommandLine(win32::Narrow(GetCommandLineW()), narvo::Encoding::Utf8);
  }
  return narvo::SplitCommandLine(GetCommandLineA());
}

std::string CurrentDirectory() {
  // Asked again when the directory changed between two calls and grew.
  if (utf8Mode) {
    return win32::Narrow(AskGrowing<wchar_t>(
        [](wchar_t* room, DWORD size) { return GetCurrentDirectoryW(size, room); }));
  }
  return AskGrowing<char>([](char* room, DWORD size) { return GetCurrentDirectoryA(size, room); });
}

std::string_view ExecutableSuffix() {
  return ".exe";
}

char PathSeparator() {
  return '\\';
}

bool IsNameDelimiter(unsigned char c) {
  return c == '\\' || c == ':';
}

bool IsLeadByte(unsigned char c) {
  // The ANSI code page of the UTF-8 mode has other lead bytes, or none.
  if (utf8Mode) return IsCp932LeadByte(c);
  return IsDBCSLeadByte(c) != FALSE;
}

void LowerCase(char* text, std::size_t size) {
  if (utf8Mode) {
    for (std::size_t i = 0; i < size; ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (IsCp932LeadByte(c)) {
        ++i;  // the trail byte belongs to the character and is never folded alone
      } else if (c >= 'A' && c <= 'Z') {
        text[i] = static_cast<char>(c - 'A' + 'a');
      }
    }
    return;
  }
  if (!lowerTable.singleReady) PrepareSingleBytes();
  for (std::size_t i = 0; i < size; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsDBCSLeadByte(c) && i + 1 < size) {
      if (!lowerTable.pairReady[c]) PrepareLead(c);
      const unsigned short lower = lowerTable.pair[c][static_cast<unsigned char>(text[i + 1])];
      text[i] = static_cast<char>(lower >> 8);
      text[i + 1] = static_cast<char>(lower & 0xFF);
      ++i;
    } else {
      text[i] = lowerTable.single[c];
    }
  }
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (utf8Mode) return AsciiEqualIgnoringCase(a, b);
  if (a.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
      b.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return false;
  }
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::vector<std::string> DataFolders(const std::string&) {
  // The Windows programs keep their data beside them and nowhere else.
  return {};
}

bool FileExists(const std::string& path, LocalTime* modified) {
  DWORD attributes = 0;
  FILETIME written;
  if (utf8Mode) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(win32::Widen(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    attributes = found.dwFileAttributes;
    written = found.ftLastWriteTime;
  } else {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    attributes = found.dwFileAttributes;
    written = found.ftLastWriteTime;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  FILETIME local;
  if (!FileTimeToLocalFileTime(&written, &local)) return false;
  // A DOS date covers 1980..2107; a time it cannot hold means no such file.
  // wine's FileTimeToDosDateTime lets years past 2107 wrap round to 1980, so
  // the year is checked as well.
  WORD dosDate = 0, dosTime = 0;
  if (!FileTimeToDosDateTime(&local, &dosDate, &dosTime)) return false;
  SYSTEMTIME calendar;
  if (!FileTimeToSystemTime(&local, &calendar) || calendar.wYear < 1980 || calendar.wYear > 2107) {
    return false;
  }
  if (modified) {
    modified->year = 1980 + (dosDate >> 9);
    modified->month = (dosDate >> 5) & 0x0F;
    modified->day = dosDate & 0x1F;
    modified->hour = dosTime >> 11;
    modified->minute = (dosTime >> 5) & 0x3F;
    modified->second = (dosTime & 0x1F) * 2;
  }
  return true;
}

bool OpenInput(const std::string& path, Input* input, IoError* error) {
  // Sharing with readers only: a file another program is writing stays closed to us.
  const HANDLE file = utf8Mode
                          ? CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                          : CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastError();
    return false;
  }
  input->handle = reinterpret_cast<std::intptr_t>(file);
  input->ownsHandle = true;
  return true;
}

Input StandardInput() {
  Input input;
  input.handle = reinterpret_cast<std::intptr_t>(GetStdHandle(STD_INPUT_HANDLE));
  input.ownsHandle = false;
  return input;
}

bool InputMayWait(const Input& input) {
  return GetFileType(HandleOf(input)) != FILE_TYPE_DISK;
}

void CloseInput(Input* input) {
  if (input->ownsHandle && HandleOf(*input) != INVALID_HANDLE_VALUE) CloseHandle(HandleOf(*input));
  input->handle = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  input->ownsHandle = false;
}

bool ConsoleIsUtf8() {
  return utf8Mode;
}

bool DecidesNativeData() {
  return !utf8Mode;
}

std::string ToReportEncoding(std::string_view text) {
  if (text.empty() || utf8Mode) return std::string(text);
  std::string oem(text.size(), '\0');
  CharToOemBuffA(text.data(), oem.data(), static_cast<DWORD>(oem.size()));
  return oem;
}

bool SetClipboardText(std::string_view text, bool utf8) {
  const HWND owner = CreateClipboardOwner();
  if (!OpenClipboard(owner)) {
    if (owner) DestroyWindow(owner);
    return false;
  }
  EmptyClipboard();
  // UTF-8 goes in as UTF-16, which every program pastes right whatever its
  // code page. Every byte goes in, a NUL inside included; readers stop at the first one.
  const std::wstring wide = utf8 ? win32::Widen(text) : std::wstring();
  const std::size_t size = utf8 ? (wide.size() + 1) * sizeof(wchar_t) : text.size() + 1;
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size)) {
    if (void* p = GlobalLock(memory)) {
      if (utf8) {
        std::memcpy(p, wide.c_str(), size);
      } else {
        std::memcpy(p, text.data(), text.size());
        static_cast<char*>(p)[text.size()] = '\0';
      }
      GlobalUnlock(memory);
      if (!SetClipboardData(utf8 ? CF_UNICODETEXT : CF_TEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
  if (owner) DestroyWindow(owner);
  return true;
}

void OpenWebPage(const std::string& address) {
  const std::wstring wide = ToWide(address);
  const HRESULT com = CoInitialize(nullptr);
  HlinkNavigateString(nullptr, wide.c_str());
  if (SUCCEEDED(com)) CoUninitialize();
}

void OpenMailAddress(const std::string& address) {
  ShellExecuteW(nullptr, L"open", ToWide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ExitProcess(int status) {
  ::ExitProcess(static_cast<UINT>(status));
}

}  // namespace platform
