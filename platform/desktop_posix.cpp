// Clipboard and address opener on Linux and macOS. Neither system has a
// clipboard or browser call a console program could use, so both are handed to
// the desktop's own programs, found on PATH and started without a shell (the
// address or text never passes through one, so no quoting can go wrong).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

extern char** environ;

namespace platform {

namespace {

// The full path of an executable file called name in a folder of PATH, or empty.
std::string FindOnPath(const std::string& name) {
  const char* variable = std::getenv("PATH");
  const std::string path = variable ? variable : "/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(':', start);
    // An empty PATH entry means the current folder, as the shell reads it.
    const std::string_view entry = std::string_view(path).substr(start, end - start);
    const std::string folder = entry.empty() ? std::string(".") : std::string(entry);
    const std::string candidate = folder + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (end == std::string::npos) return std::string();
    start = end + 1;
  }
}

#if !defined(__APPLE__)
// True when the variable holds a value; an empty one names no display.
bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0';
}
#endif

// The argv of a helper program as exec wants it; the strings must outlive the call.
std::vector<char*> ArgumentVector(std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (std::string& a : arguments)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// How long a clipboard helper may take to take the text and exit. It normally
// needs milliseconds; one that hangs on a frozen display is killed then and
// counts as failed.
constexpr int kHelperSeconds = 3;

// Milliseconds left until deadline, at least 0.
int MillisecondsLeft(const timespec& deadline) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long left = (static_cast<long long>(deadline.tv_sec) - now.tv_sec) * 1000 +
                         (deadline.tv_nsec - now.tv_nsec) / 1000000;
  return left < 0 ? 0 : static_cast<int>(left);
}

// Writes all of text to the non-blocking fd before deadline: a helper that
// never reads must not hold zanpo in a full pipe. A helper that died closes the
// pipe under us; that must show as a failed write, not as a SIGPIPE that ends
// zanpo, so the signal is ignored just around the writes (SIG_IGN discards it
// instead of leaving it pending) and the program's own disposition comes back
// afterwards: its standard output keeps ending quietly on a closed pipe.
bool WriteToHelper(int fd, std::string_view text, const timespec& deadline) {
  struct sigaction ignore = {};
  struct sigaction previous = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &previous);
  bool ok = true;
  while (!text.empty()) {
    const ssize_t n = write(fd, text.data(), text.size());
    if (n >= 0) {
      text.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd ready = {fd, POLLOUT, 0};
      const int waited = poll(&ready, 1, MillisecondsLeft(deadline));
      if (waited > 0 || (waited < 0 && errno == EINTR)) continue;
    }
    ok = false;
    break;
  }
  sigaction(SIGPIPE, &previous, nullptr);
  return ok;
}

// Waits for child until deadline; false when it has not ended by then or
// cannot be waited for. *status gets how it ended.
bool WaitForHelper(pid_t child, const timespec& deadline, int* status) {
  // Polled: no portable call waits for a child with a time limit, and a
  // handler for SIGCHLD would be state every other part of the process shares.
  long pause = 1000000;  // 1 ms, doubled up to 50 ms: most helpers end within the first
  for (;;) {
    const pid_t ended = waitpid(child, status, WNOHANG);
    if (ended == child) return true;
    if (ended < 0 && errno != EINTR) return false;
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return false;
    timespec nap = {0, std::min<long>(pause, static_cast<long>(left) * 1000000)};
    nanosleep(&nap, nullptr);
    pause = std::min<long>(pause * 2, 50000000);
  }
}

// Runs a clipboard helper with text on its standard input and waits for it
// until a deadline. Its stdout and stderr go to /dev/null: xclip stays behind
// to serve the selection and would hold any inherited pipe open, hanging
// whoever reads it. It gets a process group of its own, so a helper that is
// out of time is killed with whatever it started (a script's programs).
bool RunClipboardHelper(std::vector<std::string> arguments, std::string_view text) {
  const std::string program = FindOnPath(arguments[0]);
  if (program.empty()) return false;

  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return false;
  // Neither end may stay open in the helper beyond its stdin, or it never sees the end of the text.
  fcntl(pipeEnds[0], F_SETFD, FD_CLOEXEC);
  fcntl(pipeEnds[1], F_SETFD, FD_CLOEXEC);
  // Only our end: the helper reads its stdin as usual.
  fcntl(pipeEnds[1], F_SETFL, fcntl(pipeEnds[1], F_GETFL) | O_NONBLOCK);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  std::vector<char*> argv = ArgumentVector(arguments);
  pid_t child = -1;
  const int spawned =
      posix_spawn(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[0]);
  if (spawned != 0) {
    close(pipeEnds[1]);
    return false;
  }

  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += kHelperSeconds;
  const bool written = WriteToHelper(pipeEnds[1], text, deadline);
  close(pipeEnds[1]);
  int status = 0;
  if (!WaitForHelper(child, deadline, &status)) {
    kill(-child, SIGKILL);
    // SIGKILL cannot be caught: the wait is short. It also spares a zombie.
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
  }
  // A helper that lost part of the text would leave a wrong clipboard behind,
  // even if it then exits 0.
  return written && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Hands address to the desktop's opener without waiting for it. The opener may
// run for as long as the browser does, so it is started as a grandchild in a
// session of its own: the middle child exits at once and is reaped here, the
// opener is adopted by init, and nothing is left for this process to wait for.
void OpenAddress(const std::string& address) {
#if defined(__APPLE__)
  const std::string opener = FindOnPath("open");
#else
  const std::string opener = FindOnPath("xdg-open");
#endif
  if (opener.empty()) return;
  // Everything the children need is prepared before fork: after it only
  // async-signal-safe calls are allowed.
  std::vector<std::string> arguments = {opener, address};
  std::vector<char*> argv = ArgumentVector(arguments);

  const pid_t middle = fork();
  if (middle < 0) return;
  if (middle == 0) {
    setsid();
    const pid_t openerPid = fork();
    if (openerPid == 0) {
      // The caller may be reading our stdout and stderr through pipes; the
      // opener must not hold them open after we are gone.
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (null > STDERR_FILENO) close(null);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    _exit(0);
  }
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

bool SetClipboardText(std::string_view text, bool) {
  // The helpers take the console's encoding, whichever it is. Every reader of
  // the Windows text format stops at the first NUL; so does this clipboard.
  text = text.substr(0, text.find('\0'));
#if defined(__APPLE__)
  return RunClipboardHelper({"pbcopy"}, text);
#else
  if (IsSet("WAYLAND_DISPLAY") &&
      RunClipboardHelper({"wl-copy", "--type", "text/plain;charset=utf-8"}, text)) {
    return true;
  }
  if (IsSet("DISPLAY")) {
    // xsel clears the clipboard when its input is empty instead of holding an
    // empty text, so xclip is asked first.
    if (RunClipboardHelper({"xclip", "-selection", "clipboard", "-i"}, text)) return true;
    if (RunClipboardHelper({"xsel", "--clipboard", "--input"}, text)) return true;
  }
  return false;
#endif
}

void OpenWebPage(const std::string& address) {
  OpenAddress(address);
}

void OpenMailAddress(const std::string& address) {
  OpenAddress(address);
}

}  // namespace platform
