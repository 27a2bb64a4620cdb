// io_floor.cc - the I/O that any converter of a file must do, and nothing else: reads the input
// twice and writes as many bytes as the converter wrote, in 64 KiB blocks, so that the benchmark
// can give the converter's time as a multiple of it, measured in the same run.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kBlock = 64 << 10;
char block[kBlock];    // what is read
char pattern[kBlock];  // what is written

// Reads the whole file once; returns its size, or -1 on an error.
long readThrough(int fd) {
  if (::lseek(fd, 0, SEEK_SET) < 0) return -1;
  long total = 0;
  for (;;) {
    const ssize_t got = ::read(fd, block, kBlock);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) return total;
    total += got;
  }
}

int writeBlock(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return -1;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: io_floor INPUT OUTPUT BYTES\n", stderr);
    return 2;
  }
  const long bytes = std::atol(argv[3]);
  const int in = ::open(argv[1], O_RDONLY);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (in < 0 || out < 0) {
    std::perror("io_floor");
    return 1;
  }
  std::memset(pattern, 'x', kBlock);
  const long inputSize = readThrough(in);
  if (inputSize < 0) {
    std::perror("io_floor: read");
    return 1;
  }
  // The second reading goes with the writing, as in the converter's second pass.
  if (::lseek(in, 0, SEEK_SET) < 0) return 1;
  long written = 0;
  long read = 0;
  for (;;) {
    const ssize_t got = ::read(in, block, kBlock);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      std::perror("io_floor: read");
      return 1;
    }
    // The output keeps pace with the input: as much of it is due as of the input has been read.
    read += got;
    const long due = got == 0 || inputSize == 0 ? bytes
                                                : static_cast<long>(static_cast<double>(bytes) *
                                                                    static_cast<double>(read) /
                                                                    static_cast<double>(inputSize));
    while (written < due && written < bytes) {
      const long left = bytes - written;
      const std::size_t size =
          left < static_cast<long>(kBlock) ? static_cast<std::size_t>(left) : kBlock;
      if (writeBlock(out, pattern, size) != 0) {
        std::perror("io_floor: write");
        return 1;
      }
      written += static_cast<long>(size);
    }
    if (got == 0) break;
  }
  if (::close(out) != 0 || ::close(in) != 0) {
    std::perror("io_floor: close");
    return 1;
  }
  return 0;
}
