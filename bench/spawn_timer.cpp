// spawn_timer: runs one command, a program or a pipeline of programs, and prints its wall time.
// bench/run.sh uses it so that a timed run holds the tools' own work and no shell.
//
//   spawn_timer OUTFILE ERRFILE N1 PROG1 ARGS1... [N2 PROG2 ARGS2...]...
//
// Each stage of the pipeline is a count N followed by exactly N argv entries (the program and its
// arguments), so arguments may hold any bytes, Shift-JIS keywords included: nothing is parsed but
// the counts. Two stages or more are joined by pipes, as in `prog1 args1 | prog2 args2`. The last
// stage writes to OUTFILE (opened O_WRONLY|O_CREAT|O_TRUNC), the others write to the pipe; every
// stage writes its stderr to ERRFILE (opened the same way) and inherits stdin (the first stage) and
// the environment from spawn_timer. A program name without '/' is looked up in PATH.
//
// Printed on stdout, one line: "<microseconds> <status> <CPU microseconds>".
// - microseconds: CLOCK_MONOTONIC from just before the first spawn to just after the last stage
//   is reaped. Opening the files and looking up PATH come before, so they are not counted.
// - status: the highest status of the stages, the way a shell would show each of them: the exit
//   status, 128 + N for a stage killed by signal N, 127 for a program not found and 126 for one
//   that could not be run (the reason goes to ERRFILE, as a shell would write it there).
// - CPU microseconds: the user and system time of all stages, as wait4 reports them. Other
//   processes running beside the command lengthen its wall time far more than its CPU time.
// spawn_timer itself exits with 0 when it printed that line, with 2 on a usage error or when it
// can't open OUTFILE or ERRFILE (message on its own stderr).

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Stage {
  std::vector<char*> argv;  // ends with nullptr
  std::string path;         // resolved program, empty if none was found
  int lookup_error = 0;     // errno of the PATH lookup when path is empty
  pid_t pid = -1;
};

int usage(const char* why) {
  std::fprintf(stderr, "spawn_timer: %s\n", why);
  std::fprintf(stderr,
               "usage: spawn_timer OUTFILE ERRFILE N1 PROG1 ARGS1... [N2 PROG2 ARGS2...]\n");
  return 2;
}

// Parses a stage count: a decimal number from 1 up to `left`, or 0 when it is anything else.
std::size_t parse_count(const char* s, std::size_t left) {
  if (*s == '\0') return 0;
  std::size_t n = 0;
  for (; *s != '\0'; ++s) {
    if (*s < '0' || *s > '9') return 0;
    n = n * 10 + static_cast<std::size_t>(*s - '0');
    if (n > left) return 0;
  }
  return n;
}

// Looks the program up as execvp would, so that no PATH search happens in the timed interval.
void resolve(Stage& stage) {
  const std::string name = stage.argv[0];
  stage.lookup_error = ENOENT;
  if (name.empty()) return;
  if (name.find('/') != std::string::npos) {
    stage.path = name;  // posix_spawn reports what is wrong with it
    return;
  }
  const char* env_path = std::getenv("PATH");
  const std::string dirs = env_path != nullptr ? env_path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t begin = 0;
  while (true) {
    const std::size_t end = std::min(dirs.find(':', begin), dirs.size());
    const std::string dir = dirs.substr(begin, end - begin);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (access(candidate.c_str(), X_OK) == 0) {
        stage.path = std::move(candidate);
        return;
      }
      stage.lookup_error = EACCES;  // found, but not executable: go on looking, as execvp does
    }
    if (end == dirs.size()) return;
    begin = end + 1;
  }
}

int open_output(const char* path) {
  return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

// The status a shell would give for a reaped child.
int shell_status(int wstatus) {
  if (WIFEXITED(wstatus)) return WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) return 128 + WTERMSIG(wstatus);
  return 255;
}

// Writes "spawn_timer: PROG: REASON" to the stages' stderr, as a shell reports a failed command.
void report_failure(int err_fd, const char* prog, const char* reason) {
  std::string message = "spawn_timer: ";
  message += prog;
  message += ": ";
  message += reason;
  message += '\n';
  if (write(err_fd, message.data(), message.size()) < 0) {
    // nothing more can be done: the status still tells the failure
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Keep fds 0 to 2 taken, so that the files opened below never land on them.
  for (int fd = open("/dev/null", O_RDWR); fd >= 0; fd = open("/dev/null", O_RDWR)) {
    if (fd > 2) {
      close(fd);
      break;
    }
  }

  if (argc < 5) return usage("missing arguments");
  std::vector<Stage> stages;
  for (int i = 3; i < argc;) {
    const auto left = static_cast<std::size_t>(argc - i - 1);
    const std::size_t n = parse_count(argv[i], left);
    if (n == 0) return usage("a stage must start with its count of argv entries (1 or more)");
    Stage stage;
    stage.argv.assign(argv + i + 1, argv + i + 1 + n);
    stage.argv.push_back(nullptr);
    resolve(stage);
    stages.push_back(std::move(stage));
    i += 1 + static_cast<int>(n);
  }

  const int out_fd = open_output(argv[1]);
  if (out_fd < 0) {
    std::fprintf(stderr, "spawn_timer: %s: %s\n", argv[1], std::strerror(errno));
    return 2;
  }
  const int err_fd = open_output(argv[2]);
  if (err_fd < 0) {
    std::fprintf(stderr, "spawn_timer: %s: %s\n", argv[2], std::strerror(errno));
    return 2;
  }

  int status = 0;
  timespec t0{};
  timespec t1{};
  clock_gettime(CLOCK_MONOTONIC, &t0);
  int in_fd = -1;  // read end of the pipe from the previous stage, -1 for the first stage
  for (std::size_t s = 0; s < stages.size(); ++s) {
    Stage& stage = stages[s];
    int pipe_fds[2] = {-1, -1};
    const bool last = s + 1 == stages.size();
    if (!last && pipe2(pipe_fds, O_CLOEXEC) != 0) {
      report_failure(err_fd, "pipe", std::strerror(errno));
      status = std::max(status, 126);
      break;
    }
    const int stage_out = last ? out_fd : pipe_fds[1];

    if (stage.path.empty()) {
      report_failure(err_fd, stage.argv[0],
                     stage.lookup_error == ENOENT ? "command not found" : std::strerror(EACCES));
      status = std::max(status, stage.lookup_error == ENOENT ? 127 : 126);
    } else {
      // The opened fds are close-on-exec; dup2 onto 0, 1 and 2 clears that flag on the copies.
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      if (in_fd >= 0) posix_spawn_file_actions_adddup2(&actions, in_fd, STDIN_FILENO);
      posix_spawn_file_actions_adddup2(&actions, stage_out, STDOUT_FILENO);
      posix_spawn_file_actions_adddup2(&actions, err_fd, STDERR_FILENO);
      const int rc = posix_spawn(&stage.pid, stage.path.c_str(), &actions, nullptr,
                                 stage.argv.data(), environ);
      posix_spawn_file_actions_destroy(&actions);
      if (rc != 0) {
        stage.pid = -1;
        report_failure(err_fd, stage.argv[0], std::strerror(rc));
        status = std::max(status, rc == ENOENT ? 127 : 126);
      }
    }
    // The next stage reads what this one writes; once both have their copies, ours go, so that
    // each reader sees end of file when its writer ends.
    if (in_fd >= 0) close(in_fd);
    if (!last) close(pipe_fds[1]);
    in_fd = last ? -1 : pipe_fds[0];
  }
  if (in_fd >= 0) close(in_fd);  // only after a pipe2 failure

  long long cpu_us = 0;
  for (Stage& stage : stages) {
    if (stage.pid < 0) continue;
    int wstatus = 0;
    struct rusage usage {};
    while (wait4(stage.pid, &wstatus, 0, &usage) < 0) {
      if (errno != EINTR) {
        wstatus = 255 << 8;
        break;
      }
    }
    status = std::max(status, shell_status(wstatus));
    for (const timeval& t : {usage.ru_utime, usage.ru_stime}) {
      cpu_us += static_cast<long long>(t.tv_sec) * 1000000LL + t.tv_usec;
    }
  }
  clock_gettime(CLOCK_MONOTONIC, &t1);

  const long long us = (static_cast<long long>(t1.tv_sec) - t0.tv_sec) * 1000000LL +
                       (t1.tv_nsec - t0.tv_nsec) / 1000;
  std::printf("%lld %d %lld\n", us, status, cpu_us);
  return std::fflush(stdout) == 0 ? 0 : 2;
}
