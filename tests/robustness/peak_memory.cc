// peak_memory.cc - runs a command with its standard output sent to a file, prints the command's
// peak resident memory in KB on standard output, and exits with the command's status.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: peak_memory TRANSCRIPT COMMAND [ARG...]\n", stderr);
    return 2;
  }
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 2;
  }
  if (child == 0) {
    const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) _exit(126);
    close(fd);
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(child, &status, 0, &usage) != child) {
    std::perror("wait4");
    return 2;
  }
  std::printf("%ld\n", usage.ru_maxrss);
  if (WIFSIGNALED(status)) {
    std::fprintf(stderr, "peak_memory: %s ended by signal %d\n", argv[2], WTERMSIG(status));
    return 128 + WTERMSIG(status);
  }
  return WEXITSTATUS(status);
}
