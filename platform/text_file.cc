// text_file.cc - DOS text streams over file descriptors, through glibc's cookie streams.
#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace platform {
namespace {

// One open text file. stdio's buffer sits in front of this; the read side keeps a raw buffer of
// its own so that the translation works on blocks, and the write side translates each block that
// stdio passes on into the raw buffer and writes it straight to the descriptor, so that a failure
// reaches stdio's error state and is never held back here.
struct TextFile {
  int fd;
  int atMark;       // a Ctrl-Z was read: the file has ended until rewound
  int pendingCr;    // a CR ended the last raw block; the next byte decides what it was
  int writeFailed;  // a write failed: the close reports it too, however the buffer was left
  std::size_t rawStart;
  std::size_t rawEnd;
  std::size_t markAt;   // index of the first Ctrl-Z in the raw block, or rawEnd
  std::size_t rawSize;  // bytes of raw: a read block, or a translated block of stdio's buffer
  unsigned char* raw;   // follows stdio's buffer in `storage`
  char* storage;        // stdio's buffer, then raw; its pages are touched only as they are used
  std::FILE* stream;    // the stdio stream in front of this file
};

// Text streams still open, so that a program that ends with std::exit (after a failed write, say)
// closes them too: their last bytes reach the file and their memory is given back.
constexpr int kMaxOpenFiles = 8;
TextFile* openFiles[kMaxOpenFiles];

void closeOpenFiles() {
  for (TextFile* file : openFiles) {
    if (file != nullptr) std::fclose(file->stream);  // closeText empties the slot
  }
}

void registerOpen(TextFile* file) {
  static const int registered = std::atexit(closeOpenFiles);
  (void)registered;
  for (TextFile*& slot : openFiles) {
    if (slot == nullptr) {
      slot = file;
      return;
    }
  }
}

void unregisterOpen(const TextFile* file) {
  for (TextFile*& slot : openFiles) {
    if (slot == file) slot = nullptr;
  }
}

// Fills the raw buffer; returns the bytes read, 0 at the end of the file, -1 on an error.
ssize_t fillRaw(TextFile& file) {
  for (;;) {
    const ssize_t got = ::read(file.fd, file.raw, file.rawSize);
    if (got < 0 && errno == EINTR) continue;
    file.rawStart = 0;
    file.rawEnd = got > 0 ? static_cast<std::size_t>(got) : 0;
    const void* mark = std::memchr(file.raw, kEndOfFileMark, file.rawEnd);
    file.markAt = mark
                      ? static_cast<std::size_t>(static_cast<const unsigned char*>(mark) - file.raw)
                      : file.rawEnd;
    return got;
  }
}

ssize_t readText(void* cookie, char* out, std::size_t size) {
  TextFile& file = *static_cast<TextFile*>(cookie);
  std::size_t n = 0;
  while (n < size && !file.atMark) {
    if (file.rawStart == file.rawEnd) {
      // Hand over what is ready before blocking for more input.
      if (n > 0 && !file.pendingCr) break;
      const ssize_t got = fillRaw(file);
      if (got < 0) return n > 0 ? static_cast<ssize_t>(n) : -1;
      if (got == 0) {
        if (file.pendingCr) {  // a CR as the last byte of the file is an ordinary byte
          file.pendingCr = 0;
          out[n++] = '\r';
        }
        break;
      }
    }
    if (file.pendingCr) {
      file.pendingCr = 0;
      if (file.raw[file.rawStart] == '\n') {
        ++file.rawStart;
        out[n++] = '\n';
      } else {
        out[n++] = '\r';  // a lone CR; the byte after it is taken on the next round
      }
      continue;
    }
    // Copy the run of ordinary bytes up to the next CR or Ctrl-Z in one go.
    std::size_t end =
        file.rawStart +
        (size - n < file.rawEnd - file.rawStart ? size - n : file.rawEnd - file.rawStart);
    if (file.markAt < end) end = file.markAt;
    const void* cr = std::memchr(file.raw + file.rawStart, '\r', end - file.rawStart);
    if (cr) end = static_cast<std::size_t>(static_cast<const unsigned char*>(cr) - file.raw);
    std::memcpy(out + n, file.raw + file.rawStart, end - file.rawStart);
    n += end - file.rawStart;
    file.rawStart = end;
    if (file.rawStart == file.rawEnd || n == size) continue;
    if (file.rawStart == file.markAt) {
      file.atMark = 1;
    } else if (file.raw[file.rawStart] == '\r') {
      ++file.rawStart;
      file.pendingCr = 1;
    }
  }
  return static_cast<ssize_t>(n);
}

// Writes all of `size` bytes or fails: a short write left unreported would lose text.
int writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return 0;
}

// Returns `size`, or 0 when the write failed: a cookie stream's write must never return a negative
// count, which glibc takes for a huge one on a write that bypasses the buffer, and then reads on
// past the caller's bytes. A short count sets the stream's error state all the same.
ssize_t writeText(void* cookie, const char* data, std::size_t size) {
  TextFile& file = *static_cast<TextFile*>(cookie);
  // The raw buffer is free on a write stream: it collects the translated block.
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < size) {
    if (used + 3 > file.rawSize) {
      if (writeAll(file.fd, reinterpret_cast<char*>(file.raw), used) != 0) {
        file.writeFailed = 1;
        return 0;
      }
      used = 0;
    }
    // Copy up to the next LF, as much as fits with room for the CR LF.
    std::size_t run = size - i;
    if (run > file.rawSize - used - 2) run = file.rawSize - used - 2;
    const void* lf = std::memchr(data + i, '\n', run);
    if (lf) run = static_cast<std::size_t>(static_cast<const char*>(lf) - (data + i));
    std::memcpy(file.raw + used, data + i, run);
    used += run;
    i += run;
    if (lf) {
      file.raw[used++] = '\r';
      file.raw[used++] = '\n';
      ++i;
    }
  }
  if (writeAll(file.fd, reinterpret_cast<char*>(file.raw), used) != 0) {
    file.writeFailed = 1;
    return 0;
  }
  return static_cast<ssize_t>(size);
}

// Only a rewind is supported: positions in the translated text have no byte offset in the file.
int seekText(void* cookie, off64_t* offset, int whence) {
  TextFile& file = *static_cast<TextFile*>(cookie);
  if (whence != SEEK_SET || *offset != 0) {
    errno = EINVAL;
    return -1;
  }
  if (::lseek(file.fd, 0, SEEK_SET) < 0) return -1;
  file.atMark = 0;
  file.pendingCr = 0;
  file.rawStart = file.rawEnd = file.markAt = 0;
  return 0;
}

int closeText(void* cookie) {
  TextFile* file = static_cast<TextFile*>(cookie);
  unregisterOpen(file);
  const int result = ::close(file->fd);
  const int failed = file->writeFailed;
  delete[] file->storage;
  delete file;
  return failed ? -1 : result;
}

}  // namespace

std::FILE* openTextFile(const char* name, const char* mode, std::size_t bufferSize) {
  const int writing = mode[0] == 'w';
  // Opened for reading, a named pipe without a writer would hold the open until one came.
  const int fd = writing ? ::open(name, O_WRONLY | O_CREAT | O_TRUNC, 0666)
                         : ::open(name, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  // A folder opens on Linux but is no text file: treat it as a file that is not there.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return nullptr;
  }
  // Reads wait for their bytes as usual; only the open had to return at once.
  if (!writing && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return nullptr;
  }
  // Written, every LF of a full buffer may become CR LF: the raw buffer then takes the whole
  // translated block, and each block stdio passes on goes out in one write call.
  const std::size_t rawSize = writing ? 2 * bufferSize + 2 : bufferSize;
  TextFile* file =
      new (std::nothrow) TextFile{fd, 0, 0, 0, 0, 0, 0, rawSize, nullptr, nullptr, nullptr};
  char* storage = file ? new (std::nothrow) char[bufferSize + rawSize] : nullptr;
  if (storage == nullptr) {
    delete file;
    ::close(fd);
    errno = ENOMEM;
    return nullptr;
  }
  file->storage = storage;
  file->raw = reinterpret_cast<unsigned char*>(storage + bufferSize);
  cookie_io_functions_t io{};
  if (writing) {
    io.write = writeText;
  } else {
    io.read = readText;
    io.seek = seekText;
  }
  io.close = closeText;
  std::FILE* stream = fopencookie(file, writing ? "w" : "r", io);
  if (stream == nullptr) {
    const int saved = errno;
    closeText(file);
    errno = saved;
    return nullptr;
  }
  file->stream = stream;
  registerOpen(file);
  // The buffer lives with the file: the close frees it after stdio's last flush.
  if (std::setvbuf(stream, storage, _IOFBF, bufferSize) != 0) {
    std::fclose(stream);
    errno = ENOMEM;
    return nullptr;
  }
  return stream;
}

namespace {

long long nanoseconds(const struct timespec& time) {
  return static_cast<long long>(time.tv_sec) * 1000000000LL + time.tv_nsec;
}

void fillStatus(const struct stat& info, FileStatus& status) {
  status.regular = S_ISREG(info.st_mode) ? 1 : 0;
  status.device = info.st_dev;
  status.inode = info.st_ino;
  status.size = info.st_size;
  status.modified = nanoseconds(info.st_mtim);
  status.changed = nanoseconds(info.st_ctim);
}

}  // namespace

int statTextFile(std::FILE* stream, FileStatus& status) {
  for (const TextFile* file : openFiles) {
    struct stat info {};
    if (file == nullptr || file->stream != stream) continue;
    if (::fstat(file->fd, &info) != 0) return -1;
    fillStatus(info, status);
    return 0;
  }
  return -1;
}

int statFileName(const char* name, FileStatus& status) {
  struct stat info {};
  if (::stat(name, &info) != 0) return -1;
  fillStatus(info, status);
  return 0;
}

ConsoleLine readConsoleLine(std::FILE* in, char* buf, std::size_t capacity, std::FILE* overflowOut,
                            const char* overflowPrefix) {
  ConsoleLine line{0, 0};
  const std::size_t keep = capacity - 1;
  int c = std::getc(in);
  if (c == EOF) {
    buf[0] = '\0';
    line.endOfInput = 1;
    return line;
  }
  auto take = [&](int byte) {
    if (line.length < keep) {
      buf[line.length] = static_cast<char>(byte);
    } else if (overflowOut != nullptr) {
      if (line.length == keep) {
        std::fputs(overflowPrefix, overflowOut);
        std::fwrite(buf, 1, keep, overflowOut);
      }
      std::putc(byte, overflowOut);
    }
    ++line.length;
  };
  int pendingCr = 0;
  for (; c != EOF && c != '\n'; c = std::getc(in)) {
    if (pendingCr) take('\r');
    pendingCr = c == '\r';
    if (!pendingCr) take(c);
  }
  if (pendingCr && c == EOF) take('\r');
  buf[line.length < keep ? line.length : keep] = '\0';
  return line;
}

}  // namespace platform
