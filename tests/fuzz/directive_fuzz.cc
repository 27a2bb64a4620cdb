// directive_fuzz.cc - fuzz entry point: the option directive parser over arbitrary comment lines,
// handed to it directly and read by the reader, up to and past the 254-byte limit.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "converter/directive.h"
#include "converter/reader.h"
#include "converter/settings.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/program_end_fuzz.h"
#include "tests/fuzz/settings_check.h"

namespace {

using fuzz::check;

using CommentBuffer = char[kotobun::kMaxComment + 2];

// Parses `comment` (at most 254 bytes) in a heap buffer of exactly the parser's size, so that
// AddressSanitizer sees any write past it; returns what the parser wrote.
std::string parseDirectly(std::string_view comment, kotobun::ConversionOptions& options,
                          int outputEnabled) {
  char* buffer = new char[sizeof(CommentBuffer)];
  comment.copy(buffer, comment.size());
  buffer[comment.size()] = '\0';
  char* written = nullptr;
  std::size_t writtenSize = 0;
  std::FILE* out = open_memstream(&written, &writtenSize);
  check(out != nullptr, "the output opens");
  kotobun::parseDirective(*reinterpret_cast<CommentBuffer*>(buffer), options, outputEnabled, out);
  std::fclose(out);
  delete[] buffer;
  return fuzz::takeMemory(written, writtenSize);
}

// The echo lines: each "%" and a settings echo that differs from the settings before it in at
// most one value (one option sets one field), the last showing `after`; at most one for every
// switch character of the line.
void checkEchoes(std::string_view written, std::string_view comment,
                 const kotobun::ConversionOptions& before,
                 const kotobun::ConversionOptions& after) {
  kotobun::ConversionOptions shown = before;
  std::size_t lines = 0;
  while (!written.empty()) {
    const kotobun::ConversionOptions previous = shown;
    check(fuzz::consume(written, "%") && fuzz::takeEcho(written, before.fileName, shown),
          "every echo line is a well-formed settings line");
    check(fuzz::changedValues(previous, shown) <= 1, "an echo line shows one option's change");
    ++lines;
  }
  check(fuzz::sameValues(shown, after), "the last echo shows the settings in force");
  std::size_t switches = 0;
  for (char c : comment) switches += c == '/' || c == '-';
  check(lines <= switches, "no more echo lines than options");
}

// What the reader makes of the line as the only line of a file.
struct ReadLine {
  std::string written;
  std::string console;
  int ended;  // the program would have ended
};

ReadLine readAsFile(std::string_view comment, kotobun::ConversionOptions& options) {
  std::string file(comment);
  file += '\n';
  std::FILE* in = fmemopen(file.data(), file.size(), "r");
  char* written = nullptr;
  std::size_t writtenSize = 0;
  std::FILE* out = open_memstream(&written, &writtenSize);
  char* console = nullptr;
  std::size_t consoleSize = 0;
  std::FILE* log = open_memstream(&console, &consoleSize);
  check(in != nullptr && out != nullptr && log != nullptr, "the streams open");
  ReadLine result{};
  try {
    kotobun::ReaderState state;
    kotobun::startPass(state, 1);
    while (!state.endOfInput)
      kotobun::readToNextKanji(in, out, state, options, kotobun::CharClass::None, log);
  } catch (const fuzz::ProgramEnd& end) {
    check(end.status == 1, "a fatal end has status 1");
    result.ended = 1;
  }
  std::fclose(in);
  std::fclose(out);
  std::fclose(log);
  result.written = fuzz::takeMemory(written, writtenSize);
  result.console = fuzz::takeMemory(console, consoleSize);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the settings, the rest follows the '%' of the comment line.
  const kotobun::ConversionOptions before =
      fuzz::optionsFromByte(kotobun::defaultOptions(), data[0]);
  std::string comment = "%";
  comment.append(reinterpret_cast<const char*>(data + 1), size - 1);

  // Handed to the parser as the reader hands it: at most 254 bytes.
  kotobun::ConversionOptions direct = before;
  std::string echoes;
  if (comment.size() <= kotobun::kMaxComment) {
    kotobun::ConversionOptions quiet = before;
    check(parseDirectly(comment, quiet, 0).empty(), "the font scan's parse writes nothing");
    echoes = parseDirectly(comment, direct, 1);
    check(fuzz::areValid(direct), "the settings stay valid");
    check(fuzz::sameValues(quiet, direct), "both passes reach the same settings");
    check(std::strcmp(direct.fileName, before.fileName) == 0, "the file name stays");
    checkEchoes(echoes, comment, before, direct);
  }

  // Read from a file: the line is copied, parsed at its line end and echoed after it, or it is
  // too long and ends the run.
  kotobun::ConversionOptions read = before;
  const ReadLine line = readAsFile(comment, read);
  check(fuzz::areValid(read), "the settings stay valid after any line");
  // A line without a line end or form feed inside is one comment line: then only its length
  // decides whether it ends the run, unless a bad pair ends the pass first.
  if (comment.find_first_of("\n\f") == std::string::npos) {
    if (line.ended) {
      check(comment.size() > kotobun::kMaxComment, "a comment of 254 bytes is accepted");
      check(line.console.substr(0, 21) == ".\n\aComment too long: ", "the comment message");
    } else if (line.console.empty()) {
      check(comment.size() <= kotobun::kMaxComment, "a comment of 255 bytes ends the run");
      check(line.written == comment + "\n" + echoes, "the line, then its echoes");
      check(fuzz::sameValues(read, direct), "the reader's parse is the parser's");
    }
  }
  return 0;
}
