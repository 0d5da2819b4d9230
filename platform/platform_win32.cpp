// The platform interface on Windows: the ANSI code page, the console's own
// handles and the user32 clipboard. Everything here is the reference the POSIX
// implementation imitates.
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
#include "platform/platform.h"

namespace platform {

namespace {

// ReadFile and WriteFile take a DWORD count; larger requests go in pieces.
constexpr std::size_t kMaxTransfer = 1u << 30;

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

// Standard output carries UTF-8 text (SetOutputUtf8).
bool outputUtf8 = false;

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

void Init(int, char**) {}

std::string ProgramPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: ask again with room to spare
  }
}

std::vector<std::string> Parameters() {
  // The C runtime's argv follows other quoting rules (backslashes escape
  // quotes there); the program splits the raw command line itself.
  return narvo::SplitCommandLine(GetCommandLineA());
}

std::string CurrentDirectory() {
  for (;;) {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return std::string();
    std::string dir(needed, '\0');
    const DWORD n = GetCurrentDirectoryA(needed, dir.data());
    if (n == 0) return std::string();
    if (n < needed) {
      dir.resize(n);
      return dir;
    }
    // The directory changed between the two calls and grew; ask again.
  }
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
  return IsDBCSLeadByte(c) != FALSE;
}

void LowerCase(char* text, std::size_t size) {
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
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  FILETIME local;
  if (!FileTimeToLocalFileTime(&found.ftLastWriteTime, &local)) return false;
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
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
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

std::ptrdiff_t ReadInput(const Input& input, char* buffer, std::size_t size, IoError* error) {
  DWORD n = 0;
  if (ReadFile(HandleOf(input), buffer, static_cast<DWORD>(std::min(size, kMaxTransfer)), &n,
               nullptr)) {
    return static_cast<std::ptrdiff_t>(n);
  }
  const DWORD code = GetLastError();
  // The writer of a pipe has gone: that is how piped input ends.
  if (code == ERROR_BROKEN_PIPE) return 0;
  *error = ErrorFromCode(code);
  return -1;
}

bool InputMayWait(const Input& input) {
  return GetFileType(HandleOf(input)) != FILE_TYPE_DISK;
}

void CloseInput(Input* input) {
  if (input->ownsHandle && HandleOf(*input) != INVALID_HANDLE_VALUE) CloseHandle(HandleOf(*input));
  input->handle = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  input->ownsHandle = false;
}

bool WriteAll(Stream stream, const char* data, std::size_t size, IoError* error) {
  // WriteFile, not the C runtime: its text mode would turn CR LF into CR CR LF.
  const HANDLE handle =
      GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  while (size > 0) {
    DWORD n = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &n, nullptr)) {
      *error = LastError();
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

bool CloseOutput(IoError*) {
  // WriteFile reports every failure as it happens; the handle ends with the process.
  return true;
}

bool ConsoleIsUtf8() {
  return false;
}

bool DecidesNativeData() {
  return !ConsoleIsUtf8();
}

void SetOutputUtf8(bool utf8) {
  outputUtf8 = utf8;
}

std::string ToReportEncoding(std::string_view text) {
  if (text.empty()) return std::string();
  std::string oem(text.size(), '\0');
  CharToOemBuffA(text.data(), oem.data(), static_cast<DWORD>(oem.size()));
  return oem;
}

bool SetClipboardText(std::string_view text) {
  const HWND owner = CreateClipboardOwner();
  if (!OpenClipboard(owner)) {
    if (owner) DestroyWindow(owner);
    return false;
  }
  EmptyClipboard();
  // Every byte goes in, a NUL inside included; readers stop at the first one.
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1)) {
    if (void* p = GlobalLock(memory)) {
      std::memcpy(p, text.data(), text.size());
      static_cast<char*>(p)[text.size()] = '\0';
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
  if (owner) DestroyWindow(owner);
  return true;
}

void OpenWebPage(const std::string& address) {
  const int size = MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, nullptr, 0);
  if (size <= 0) return;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, wide.data(), size);
  const HRESULT com = CoInitialize(nullptr);
  HlinkNavigateString(nullptr, wide.c_str());
  if (SUCCEEDED(com)) CoUninitialize();
}

void OpenMailAddress(const std::string& address) {
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ExitProcess(int status) {
  ::ExitProcess(static_cast<UINT>(status));
}

}  // namespace platform
