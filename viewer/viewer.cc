// viewer.cc - skimpo: finds the strings that a PostScript file shows and prints them.
#include "viewer/viewer.h"

#include <cstdlib>
#include <string_view>

#include "platform/program_end.h"
#include "platform/write_check.h"

namespace skimpo {
namespace {

constexpr std::string_view kOperators[] = {"fjt", "SB", "TX"};

constexpr int kSpace = 32;
constexpr int kCarriageReturn = 13;
constexpr int kLineFeed = 10;

/// A word read after a string.
struct Word {
  std::string_view text;  // in the word buffer; any byte values, at most kBufferBytes - 1
  int endOfInput;         // the file ended before a space, CR or LF closed the word
};

/// Skips spaces (byte 32 only, a tab belongs to a word), then reads bytes up to the next space,
/// CR or LF, which is consumed, into `word`. Keeps the first kBufferBytes - 1 bytes of a longer
/// word and reads past the rest.
Word readWord(std::FILE* in, TextBuffer& word) {
  int c = getc_unlocked(in);
  while (c == kSpace) c = getc_unlocked(in);
  std::size_t length = 0;
  for (; c != EOF && c != kSpace && c != kCarriageReturn && c != kLineFeed; c = getc_unlocked(in)) {
    if (length < sizeof word - 1) word[length++] = static_cast<char>(c);
  }
  word[length] = '\0';
  return {std::string_view(word, length), c == EOF};
}

// An empty word (a line end right after the spaces) counts as a number too.
bool isNumber(std::string_view word) {
  for (char c : word) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool isOperator(std::string_view word) {
  for (std::string_view name : kOperators) {
    if (word == name) return true;
  }
  return false;
}

}  // namespace

void obtainBuffers(ViewerBuffers& buffers, std::FILE* console) {
  buffers.literal = static_cast<TextBuffer*>(std::malloc(sizeof(TextBuffer)));
  buffers.word = nullptr;
  if (buffers.literal != nullptr) {
    buffers.word = static_cast<TextBuffer*>(std::malloc(sizeof(TextBuffer)));
  }
  if (buffers.word == nullptr) {
    std::fputs("malloc failed\n", console);
    platform::endProgram(2);
  }
}

void releaseBuffers(ViewerBuffers& buffers) {
  std::free(buffers.word);
  std::free(buffers.literal);
  buffers.word = nullptr;
  buffers.literal = nullptr;
}

void showStrings(std::FILE* in, std::FILE* out, ViewerBuffers& buffers) {
  TextBuffer& literal = *buffers.literal;
  int inString = 0;
  std::size_t length = 0;  // bytes kept in `literal`, where its terminator goes
  // The unlocked reads take the bytes straight from stdio's buffer: one thread owns the stream.
  for (int c; (c = getc_unlocked(in)) != EOF;) {
    // Only the low 7 bits count: 0xA8 and 0xA9 act as '(' and ')', 0x80 ends the printed text.
    const char byte = static_cast<char>(c & 0x7F);
    if (inString && byte != ')' && length < sizeof literal - 1) literal[length++] = byte;
    if (byte == '(') {
      // Also inside a string, escaped or not: the string starts again.
      inString = 1;
      length = 0;
    } else if (byte == ')') {
      literal[length] = '\0';
      Word word = readWord(in, *buffers.word);
      while (!word.endOfInput && isNumber(word.text)) word = readWord(in, *buffers.word);
      if (isOperator(word.text)) {
        std::fprintf(out, "%s\n", literal);
        platform::checkWrites(out);
      }
      inString = 0;
      length = 0;
      if (word.endOfInput) return;
    }
  }
}

int runViewer(int argc, const char* const* argv, std::FILE* console) {
  ViewerBuffers buffers;
  obtainBuffers(buffers, console);
  int status = 0;
  if (argc < 2) {
    std::fputs("Brenmoor Postscript text viewer - useage: skimpo FILE.PS\n", console);
  } else if (std::FILE* in = std::fopen(argv[1], "rb"); in == nullptr) {
    std::fprintf(console, "unable to open %s for input!\n", argv[1]);
    status = 1;
  } else {
    showStrings(in, console, buffers);
    // A file that cannot be read, such as a folder, shows as an end of file with an error set.
    if (std::ferror(in)) status = 1;
    std::fclose(in);
  }
  releaseBuffers(buffers);
  platform::checkConsole(console);
  return status;
}

}  // namespace skimpo
