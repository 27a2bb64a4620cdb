// command.cc - runs other programs (pltotf, kpsewhich) without a shell and waits for them.
#include "fontkit/command.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace fontkit {
namespace {

int waitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) != pid) {
    if (errno != EINTR) return kCouldNotStart;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : kCouldNotStart;
}

// Starts `argv` with standard input from /dev/null and standard output into `outFd`, or into
// /dev/null when `outFd` is -1; returns 0 if it could not start.
int startProgram(char* const argv[], int outFd, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outFd < 0) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  } else {
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  }
  // A program gets SIGPIPE's default action back, which kanjikit ignores for itself.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  const int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0;
}

}  // namespace

int findProgram(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return 0;
  while (*path != '\0') {
    const char* end = std::strchr(path, ':');
    const std::size_t length =
        end == nullptr ? std::strlen(path) : static_cast<std::size_t>(end - path);
    PathBuffer candidate;
    // An empty entry is the current folder.
    const int n = std::snprintf(candidate, sizeof candidate, "%.*s%s%s", static_cast<int>(length),
                                path, length == 0 ? "" : "/", program);
    if (n > 0 && static_cast<std::size_t>(n) < sizeof candidate && access(candidate, X_OK) == 0) {
      return 1;
    }
    if (end == nullptr) break;
    path = end + 1;
  }
  return 0;
}

int runProgram(char* const argv[]) {
  pid_t pid = 0;
  if (!startProgram(argv, -1, pid)) return kCouldNotStart;
  return waitFor(pid);
}

int runForLine(char* const argv[], PathBuffer& line, const char* skipPrefix) {
  line[0] = '\0';
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return kCouldNotStart;
  pid_t pid = 0;
  const int started = startProgram(argv, pipeEnds[1], pid);
  close(pipeEnds[1]);
  std::FILE* in = fdopen(pipeEnds[0], "r");
  if (in == nullptr) {
    close(pipeEnds[0]);
    return started ? waitFor(pid) : kCouldNotStart;
  }
  while (std::fgets(line, sizeof line, in) != nullptr) {
    line[std::strcspn(line, "\n")] = '\0';
    if (skipPrefix == nullptr || std::strncmp(line, skipPrefix, std::strlen(skipPrefix)) != 0) {
      break;
    }
    line[0] = '\0';
  }
  // Read the rest, so that the program never blocks on a full pipe.
  char rest[512];
  while (std::fread(rest, 1, sizeof rest, in) > 0) {
  }
  std::fclose(in);
  return started ? waitFor(pid) : kCouldNotStart;
}

}  // namespace fontkit
