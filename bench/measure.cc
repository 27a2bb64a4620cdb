// measure.cc - runs a command and prints its wall time, throughput and peak memory.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: measure LABEL INPUT_FILE COMMAND [ARG...]\n");
    return 2;
  }
  struct stat info {};
  const double megabytes = stat(argv[2], &info) == 0 ? static_cast<double>(info.st_size) / 1e6 : 0;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    // The programs' own transcripts are not part of the figures.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
    execvp(argv[3], argv + 3);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-28s %8.1f MB %8.3f s %8.1f MB/s  peak %6ld KB  status %d\n", argv[1], megabytes,
              seconds, seconds > 0 ? megabytes / seconds : 0.0, usage.ru_maxrss,
              WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return 0;
}
