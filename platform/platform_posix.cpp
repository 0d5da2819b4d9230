// The platform interface on Linux and macOS. The native mode behaves like the
// Windows programs in code page 932; a UTF-8 locale switches the console to UTF-8.
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace platform {

namespace {

// argv as main received it; POSIX hands the parameters over already split.
int argumentCount = 0;
char** arguments = nullptr;
bool consoleUtf8 = false;

IoError ErrorFromErrno(int e) {
  IoError error;
  error.code = e;
  switch (e) {
    case ENOENT:
      error.kind = IoErrorKind::FileNotFound;
      break;
    case ENOTDIR:
    case ENAMETOOLONG:
      error.kind = IoErrorKind::PathNotFound;
      break;
    case EMFILE:
    case ENFILE:
      error.kind = IoErrorKind::TooManyOpenFiles;
      break;
    case EACCES:
    case EPERM:
      error.kind = IoErrorKind::AccessDenied;
      break;
    default:
      error.kind = IoErrorKind::Other;
      break;
  }
  return error;
}

// True for every spelling of UTF-8 a codeset name takes (UTF-8, utf8, UTF_8...).
bool NamesUtf8(std::string_view codeset) {
  std::string name;
  for (const char c : codeset) {
    if (c != '-' && c != '_')
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return name == "utf8";
}

// The folder with exactly one '/' at its end ("/" stays "/"), so no path shows "//".
std::string WithOneSlash(std::string folder) {
  while (!folder.empty() && folder.back() == '/')
    folder.pop_back();
  return folder + '/';
}

// The codeset the environment names for character handling, which also serves
// where the locale cannot load: glibc refuses the whole of LC_ALL="" when any
// one category names a locale that is not installed, and an ssh session from
// macOS sends LC_CTYPE=UTF-8, which glibc does not know. The user still types
// UTF-8 then. POSIX's order: the first non-empty of LC_ALL, LC_CTYPE, LANG. The codeset
// follows the '.' up to a '@' modifier; a value without a '.' is itself one.
std::string_view CodesetOfEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] == '\0') continue;
    std::string_view name(value);
    if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) {
      name.remove_prefix(dot + 1);
    }
    return name.substr(0, name.find('@'));
  }
  return std::string_view();
}

// Gives SIGCHLD and SIGPIPE their default dispositions, unblocked, whatever the
// parent left: with SIGCHLD ignored, waitpid cannot report how a clipboard helper
// ended; with SIGPIPE ignored or blocked, a reader that went away would end the
// run in a failure report instead of quietly, as it ends every other filter.
void ResetSignals() {
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(SIGCHLD, &standard, nullptr);
  sigaction(SIGPIPE, &standard, nullptr);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGCHLD);
  sigaddset(&signals, SIGPIPE);
  sigprocmask(SIG_UNBLOCK, &signals, nullptr);
}

// Waits until fd can take more bytes (a parent may hand over a non-blocking
// pipe, where a full pipe is EAGAIN, not a failure); false when polling fails.
bool WaitUntilWritable(int fd, IoError* error) {
  pollfd ready = {fd, POLLOUT, 0};
  while (poll(&ready, 1, -1) < 0) {
    if (errno == EINTR) continue;
    *error = ErrorFromErrno(errno);
    return false;
  }
  return true;
}

}  // namespace

void Init(int argc, char** argv) {
  argumentCount = argc;
  arguments = argv;
  ResetSignals();
  // A locale whose name says UTF-8 needs no loading (C.UTF-8 from its files
  // makes glibc read its converter list); one that names no codeset, or
  // another, is asked for its own.
  if (NamesUtf8(CodesetOfEnvironment())) {
    consoleUtf8 = true;
  } else if (std::setlocale(LC_CTYPE, "") != nullptr) {
    const char* codeset = nl_langinfo(CODESET);
    consoleUtf8 = codeset != nullptr && NamesUtf8(codeset);
  }
  tzset();
}

std::string ProgramPath() {
#if defined(__APPLE__)
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string raw(size, '\0');
  if (_NSGetExecutablePath(raw.data(), &size) == 0) {
    raw.resize(std::strlen(raw.c_str()));
    if (char* real = realpath(raw.c_str(), nullptr)) {
      std::string path(real);
      std::free(real);
      return path;
    }
    return raw;
  }
#else
  std::string path(4096, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) break;
    if (static_cast<std::size_t>(n) < path.size()) {
      path.resize(static_cast<std::size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
#endif
  return argumentCount > 0 && arguments[0] ? std::string(arguments[0]) : std::string();
}

std::vector<std::string> Parameters() {
  std::vector<std::string> parameters;
  // An empty parameter ends the count, as on the Windows command line.
  for (int i = 1; i < argumentCount && arguments[i] && arguments[i][0]; ++i) {
    parameters.emplace_back(arguments[i]);
  }
  return parameters;
}

std::string CurrentDirectory() {
  std::string dir(4096, '\0');
  while (getcwd(dir.data(), dir.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    dir.resize(dir.size() * 2);
  }
  dir.resize(std::strlen(dir.c_str()));
  return dir;
}

std::string_view ExecutableSuffix() {
  return "";
}

char PathSeparator() {
  return '/';
}

bool IsNameDelimiter(unsigned char c) {
  return c == '/';
}

bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

void LowerCase(char* text, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c)) {
      ++i;  // the trail byte belongs to the character and is never folded alone
    } else if (c >= 'A' && c <= 'Z') {
      text[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> DataFolders(const std::string& programPath) {
  std::vector<std::string> folders;
  // The XDG base directory rules: a relative XDG_DATA_HOME is ignored.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome && dataHome[0] == '/') {
    folders.push_back(WithOneSlash(dataHome) + "narvo/");
  } else if (home && home[0]) {
    folders.push_back(WithOneSlash(home) + ".local/share/narvo/");
  }
  // /usr/bin/narvo reads /usr/share/narvo/, named as the packager sees it
  // (no "bin/.."); a program anywhere else has no installation folder.
  const std::size_t nameStart = programPath.rfind('/');
  if (nameStart == std::string::npos) return folders;
  std::string folder = programPath.substr(0, nameStart);
  while (!folder.empty() && folder.back() == '/')
    folder.pop_back();
  const std::size_t slash = folder.rfind('/');
  const std::size_t lastStart = slash == std::string::npos ? 0 : slash + 1;
  if (folder.compare(lastStart, std::string::npos, "bin") == 0) {
    folders.push_back(folder.substr(0, lastStart) + "share/narvo/");
  }
  return folders;
}

bool FileExists(const std::string& path, LocalTime* modified) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  struct tm local;
  const time_t mtime = st.st_mtime;
  if (localtime_r(&mtime, &local) == nullptr) return false;
  const int year = local.tm_year + 1900;
  // The same range a file date has on Windows (1980..2107).
  if (year < 1980 || year > 2107) return false;
  if (modified) {
    modified->year = year;
    modified->month = local.tm_mon + 1;
    modified->day = local.tm_mday;
    modified->hour = local.tm_hour;
    modified->minute = local.tm_min;
    modified->second = local.tm_sec;
  }
  return true;
}

bool OpenInput(const std::string& path, Input* input, IoError* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = ErrorFromErrno(errno);
    return false;
  }
  input->handle = fd;
  input->ownsHandle = true;
  return true;
}

Input StandardInput() {
  Input input;
  input.handle = STDIN_FILENO;
  input.ownsHandle = false;
  return input;
}

std::ptrdiff_t ReadInput(const Input& input, char* buffer, std::size_t size, IoError* error) {
  for (;;) {
    const ssize_t n = read(static_cast<int>(input.handle), buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // Standard input left non-blocking by the parent: wait for data as a blocking read would.
      pollfd ready = {static_cast<int>(input.handle), POLLIN, 0};
      if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    if (errno == EPIPE) return 0;
    *error = ErrorFromErrno(errno);
    return -1;
  }
}

bool InputMayWait(const Input& input) {
  struct stat st;
  if (fstat(static_cast<int>(input.handle), &st) != 0) return true;
  return !S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode);
}

void CloseInput(Input* input) {
  if (input->ownsHandle && input->handle >= 0) close(static_cast<int>(input->handle));
  input->handle = -1;
  input->ownsHandle = false;
}

bool WriteAll(Stream stream, const char* data, std::size_t size, IoError* error) {
  const int fd = stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO;
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (!WaitUntilWritable(fd, error)) return false;
        continue;
      }
      *error = ErrorFromErrno(errno);
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAllPieces(Stream stream, std::span<const std::string_view> pieces, IoError* error) {
  const int fd = stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO;
  constexpr std::size_t kMostPieces = 1024;  // IOV_MAX on Linux and macOS
  iovec vectors[kMostPieces];
  std::size_t next = 0;  // the first piece not yet handed to writev
  std::size_t done = 0;  // bytes of pieces[next] already written
  while (next < pieces.size()) {
    std::size_t count = 0;
    for (std::size_t i = next; i < pieces.size() && count < kMostPieces; ++i) {
      const std::size_t skip = i == next ? done : 0;
      if (pieces[i].size() == skip) continue;
      vectors[count].iov_base = const_cast<char*>(pieces[i].data() + skip);
      vectors[count].iov_len = pieces[i].size() - skip;
      ++count;
    }
    if (count == 0) break;
    const ssize_t n = writev(fd, vectors, static_cast<int>(count));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (!WaitUntilWritable(fd, error)) return false;
        continue;
      }
      *error = ErrorFromErrno(errno);
      return false;
    }
    // Skip what went out, empty pieces included.
    auto left = static_cast<std::size_t>(n);
    while (next < pieces.size() && left >= pieces[next].size() - done) {
      left -= pieces[next].size() - done;
      ++next;
      done = 0;
    }
    done += left;
  }
  return true;
}

bool CloseOutput(IoError* error) {
  // The last chance for a write failure to show (a file system that reports it
  // only when the file is closed). A standard output that was never open has
  // taken no bytes (a write would have failed first), so nothing is lost then.
  if (close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR) {
    *error = ErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool ConsoleIsUtf8() {
  return consoleUtf8;
}

bool DecidesNativeData() {
  return false;
}

void SetOutputUtf8(bool) {}

std::string ToReportEncoding(std::string_view text) {
  return std::string(text);
}

void ExitProcess(int status) {
  std::exit(status);
}

}  // namespace platform
