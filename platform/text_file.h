// text_file.h - DOS text files as plain FILE* streams: the only code that knows CR LF and Ctrl-Z.
#ifndef PLATFORM_TEXT_FILE_H_
#define PLATFORM_TEXT_FILE_H_

#include <cstddef>
#include <cstdio>

namespace platform {

/// Byte that ends a DOS text file when it is read as text.
constexpr int kEndOfFileMark = 26;

/// Buffer sizes for a text stream. The small one is stdio's own, so a failed write shows within
/// a few lines of output; the large one serves whole books, where every read or write call of the
/// system should move far more than that.
constexpr std::size_t kSmallTextBuffer = 8 << 10;
constexpr std::size_t kLargeTextBuffer = 256 << 10;

/// Opens the file `name` as a DOS text stream: mode "r" reads it with CR LF turned into LF, a
/// lone CR kept, and a Ctrl-Z ending the file until the stream is rewound; mode "w" creates or
/// truncates it and writes every LF as CR LF. Returns nullptr, with errno set, if the file cannot
/// be opened: EISDIR for a folder, ENOMEM when the buffers cannot be had. Opening for reading
/// never waits, not even for the writer of a named pipe; statTextFile tells what was opened. The
/// stream behaves as stdio's (ferror, feof, clearerr, rewind, fclose) with a buffer of `bufferSize`
/// bytes; a failed write sets its error state as soon as the buffer is passed on, and a failed
/// flush or close shows in fclose's result.
std::FILE* openTextFile(const char* name, const char* mode,
                        std::size_t bufferSize = kSmallTextBuffer);

/// What the system says of a file: which file it is (whatever name or link reaches it), its kind,
/// and the marks that every write to it changes.
struct FileStatus {
  int regular;                // a regular file: no folder, pipe, device or socket
  unsigned long long device;  // device and inode together name one file
  unsigned long long inode;
  long long size;      // bytes
  long long modified;  // time of the last write, in ns
  long long changed;   // time of the last change of content or attributes, in ns; no program can
                       // set it back
};

/// Fills `status` for the file that the text stream `stream` reads or writes. Returns 0, or -1 if
/// `stream` is no open text stream or the system cannot say.
int statTextFile(std::FILE* stream, FileStatus& status);

/// Fills `status` for the file `name`, following symbolic links. Returns 0, or -1 with errno set
/// (ENOENT if there is no such file).
int statFileName(const char* name, FileStatus& status);

/// Result of reading one console line.
struct ConsoleLine {
  int endOfInput;      // nothing was read: the input had ended
  std::size_t length;  // length of the whole line without its line end, however long
};

/// Reads one console line from `in`, up to and including its LF, so that the next read starts on
/// the next line; a CR just before the LF belongs to the line end, and a last line without a line
/// end is a line. Keeps the first `capacity` - 1 bytes in `buf`, terminated. If the line is longer
/// and `overflowOut` is given, writes `overflowPrefix`, the bytes kept and then the rest of the
/// line as typed to `overflowOut`, so an overlong answer can be shown whole in constant memory.
ConsoleLine readConsoleLine(std::FILE* in, char* buf, std::size_t capacity,
                            std::FILE* overflowOut = nullptr, const char* overflowPrefix = "");

}  // namespace platform

#endif  // PLATFORM_TEXT_FILE_H_
