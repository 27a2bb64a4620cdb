// text_run.cc - kototext's run: the command line, the input's encoding, and the document written.
#include "road/text_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "road/char_class.h"
#include "road/latex_text.h"
#include "road/text_decoder.h"
#include "road/text_options.h"

namespace kototext {
namespace {

// The temporary file while it is written, so that a failure or a signal can remove it.
char temporaryName[4096];
volatile std::sig_atomic_t temporaryExists = 0;

extern "C" void removeOnSignal(int signal) {
  if (temporaryExists) unlink(temporaryName);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Prints "kototext: " and `message` on stderr, removes the temporary file and ends the program.
[[noreturn]] void fail(const char* message) {
  if (temporaryExists) unlink(temporaryName);
  temporaryExists = 0;
  std::fflush(stdout);
  std::fprintf(stderr, "kototext: %s\n", message);
  std::exit(1);
}

// The same with a message made from `format` and `args` as printf makes it.
template <typename... Args>
[[noreturn]] void fail(const char* format, Args... args) {
  char message[2048];
  std::snprintf(message, sizeof message, format, args...);
  fail(static_cast<const char*>(message));
}

// The input's encoding: the one asked for, or the one its bytes are in.
Encoding findEncoding(std::FILE* in, const char* name, Encoding asked) {
  if (asked != Encoding::Detect) return asked;
  if (std::fseek(in, 0, SEEK_CUR) != 0) {
    fail(
        "%s: its encoding is found by reading it twice, which a pipe does not allow: give "
        "--encoding",
        name);
  }
  Detection found;
  if (!detectEncoding(in, found)) fail("iconv(3) cannot convert from UTF-8, CP932 or EUC-JP");
  if (found.readFailed) fail("%s: cannot read it: %s", name, std::strerror(errno));
  if (!found.valid) {
    fail(
        "%s: not UTF-8, Shift-JIS or EUC-JP; read as %s, line %ld, byte %ld (0x%02X) %s; "
        "--encoding chooses one",
        name, encodingName(found.encoding), found.errorLine, found.errorByte, found.errorValue,
        found.cutAtEnd ? "starts a character that the file cuts off" : "is not valid");
  }
  if (std::fseek(in, 0, SEEK_SET) != 0)
    fail("%s: cannot read it again: %s", name, std::strerror(errno));
  return found.encoding;
}

// Opens the temporary file beside `name` that becomes OUTPUT at the end.
std::FILE* openTemporary(const char* name, const char* inputName, std::FILE* in) {
  struct stat inputStat;
  struct stat outputStat;
  if (fstat(fileno(in), &inputStat) == 0 && stat(name, &outputStat) == 0 &&
      inputStat.st_dev == outputStat.st_dev && inputStat.st_ino == outputStat.st_ino) {
    fail("%s: OUTPUT is INPUT (%s)", name, inputName);
  }
  const int n = std::snprintf(temporaryName, sizeof temporaryName, "%s.XXXXXX", name);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof temporaryName) fail("%s: name too long", name);
  const int fd = mkstemp(temporaryName);
  if (fd < 0) fail("%s: cannot create a file beside it: %s", name, std::strerror(errno));
  temporaryExists = 1;
  // mkstemp makes the file private; OUTPUT gets the permissions of any new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  std::FILE* out = fdopen(fd, "w");
  if (out == nullptr) fail("%s: cannot write: %s", name, std::strerror(errno));
  return out;
}

}  // namespace

int runKototext(int argc, char** argv) {
  static TextOptions options;
  switch (parseArguments(argc, argv, options, stderr)) {
    case Request::Run:
      break;
    case Request::Help:
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    case Request::Version:
      std::fputs(kVersion, stdout);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    case Request::BadUsage:
      return 1;
  }
  static ClassTable classes;
  if (!fillClassTable(classes)) fail("iconv(3) cannot convert from EUC-JP or CP932");

  const int fromStdin = std::strcmp(options.input, "-") == 0;
  const char* inputName = fromStdin ? "standard input" : options.input;
  std::FILE* in = fromStdin ? stdin : std::fopen(options.input, "rb");
  if (in == nullptr) fail("%s: %s", options.input, std::strerror(errno));
  const Encoding encoding = findEncoding(in, inputName, options.encoding);

  const int toStdout = std::strcmp(options.output, "-") == 0;
  const char* outputName = toStdout ? "standard output" : options.output;
  std::signal(SIGINT, removeOnSignal);
  std::signal(SIGTERM, removeOnSignal);
  std::signal(SIGHUP, removeOnSignal);
  std::FILE* out = toStdout ? stdout : openTemporary(options.output, inputName, in);

  static Decoder decoder;
  if (!openDecoder(decoder, encoding)) {
    fail("iconv(3) cannot convert from %s", iconvName(encoding));
  }
  writeDocumentStart(out, options.document);
  static TextWriter writer;
  startText(writer, classes, options.document.lineParagraphs);
  static char chunk[kChunkSize];
  int endOfInput = 0;
  while (!endOfInput) {
    const std::size_t size = std::fread(chunk, 1, sizeof chunk, in);
    if (std::ferror(in)) fail("%s: cannot read it: %s", inputName, std::strerror(errno));
    endOfInput = size < sizeof chunk;
    const std::size_t made = decodeChunk(decoder, chunk, size, endOfInput);
    writeUtf8(out, writer, std::string_view(decoder.output, made));
    if (decoder.failed && decoder.cutAtEnd) {
      fail("%s: line %ld, byte %ld: the file ends inside a %s character", inputName,
           decoder.errorLine, decoder.errorByte, encodingName(encoding));
    }
    if (decoder.failed) {
      fail("%s: line %ld, byte %ld: 0x%02X is not valid %s here", inputName, decoder.errorLine,
           decoder.errorByte, decoder.errorValue, encodingName(encoding));
    }
    if (std::ferror(out)) fail("%s: cannot write: %s", outputName, std::strerror(errno));
  }
  endDocument(out, writer);
  closeDecoder(decoder);
  if (!fromStdin) std::fclose(in);
  const int flushed = std::fflush(out) == 0 && !std::ferror(out);
  if (!flushed || (!toStdout && std::fclose(out) != 0)) {
    fail("%s: cannot write: %s", outputName, std::strerror(errno));
  }
  if (!toStdout && std::rename(temporaryName, options.output) != 0) {
    fail("%s: cannot put it in place: %s", options.output, std::strerror(errno));
  }
  temporaryExists = 0;
  return 0;
}

}  // namespace kototext
