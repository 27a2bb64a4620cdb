// skimpo_fuzz.cc - fuzz entry point: the viewer over arbitrary bytes as a PostScript file,
// against a model of its scanner.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/program_end_fuzz.h"
#include "viewer/viewer.h"

namespace {

using fuzz::check;

constexpr std::size_t kKept = skimpo::kBufferBytes - 1;  // bytes a buffer keeps of a string or word

// The model reads the file as the viewer's rules say and lists the strings it prints.
struct Model {
  std::string_view file;
  std::size_t at;
  std::string printed;  // every string printed, each with its "\n"
  int strings;          // how many strings were printed
};

// Skips spaces, then takes bytes up to a space, CR or LF (consumed); keeps the first kKept bytes.
// Returns false if the file ended before the word did.
bool readWord(Model& model, std::string& word) {
  word.clear();
  while (model.at < model.file.size() && model.file[model.at] == ' ') ++model.at;
  for (; model.at < model.file.size(); ++model.at) {
    const char c = model.file[model.at];
    if (c == ' ' || c == '\r' || c == '\n') {
      ++model.at;
      return true;
    }
    if (word.size() < kKept) word += c;
  }
  return false;
}

bool isNumber(std::string_view word) { return word.find_first_not_of("0123456789") == word.npos; }

void runModel(Model& model) {
  std::string literal;
  std::string word;
  int inString = 0;
  while (model.at < model.file.size()) {
    const char byte = static_cast<char>(model.file[model.at++] & 0x7F);
    if (byte == '(') {
      inString = 1;
      literal.clear();
    } else if (byte == ')') {
      bool more = readWord(model, word);
      while (more && isNumber(word)) more = readWord(model, word);
      if (word == "fjt" || word == "SB" || word == "TX") {
        // A byte that reads as NUL ends the printed text.
        model.printed += literal.substr(0, literal.find('\0'));
        model.printed += '\n';
        ++model.strings;
      }
      inString = 0;
      literal.clear();
      if (!more) return;
    } else if (inString && literal.size() < kKept) {
      literal += byte;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Read-only: fmemopen never writes through the pointer in mode "rb".
  std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  char* printed = nullptr;
  std::size_t printedSize = 0;
  std::FILE* out = open_memstream(&printed, &printedSize);
  check(in != nullptr && out != nullptr, "the streams open");
  skimpo::ViewerBuffers buffers;
  skimpo::obtainBuffers(buffers, stderr);
  skimpo::showStrings(in, out, buffers);
  skimpo::releaseBuffers(buffers);
  std::fclose(in);
  std::fclose(out);
  const std::string output = fuzz::takeMemory(printed, printedSize);

  Model model{std::string_view(reinterpret_cast<const char*>(data), size), 0, {}, 0};
  runModel(model);
  check(output == model.printed, "the viewer prints what its rules print");
  int closings = 0;
  for (std::size_t i = 0; i < size; ++i) closings += (data[i] & 0x7F) == ')';
  check(model.strings <= closings, "no more strings than bytes that read as ')'");
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < output.size(); ++i) {
    if (output[i] != '\n') continue;
    check(i - lineStart <= kKept, "no line of more than 9999 bytes");
    lineStart = i + 1;
  }
  return 0;
}
