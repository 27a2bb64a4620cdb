// settings_fuzz.cc - fuzz entry point: the command line and the prompt dialogue over arbitrary
// argument lists and console input, against a model of both.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "converter/settings.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/program_end_fuzz.h"
#include "tests/fuzz/settings_check.h"

namespace {

using fuzz::check;

// What a run of the settings left: the transcript, the settings and whether the program ended.
struct Outcome {
  std::string console;
  kotobun::ConversionOptions options;
  int ended;
};

Outcome fill(const std::vector<char*>& argv, std::string_view input) {
  Outcome outcome{};
  std::string typed(input);
  std::FILE* in = fmemopen(typed.data(), typed.size(), "r");  // glibc takes an empty buffer
  char* console = nullptr;
  std::size_t consoleSize = 0;
  std::FILE* out = open_memstream(&console, &consoleSize);
  check(in != nullptr && out != nullptr, "the streams open");
  try {
    kotobun::fillSettings(static_cast<int>(argv.size()), argv.data(), outcome.options, in, out);
  } catch (const fuzz::ProgramEnd& end) {
    check(end.status == 1, "a fatal end has status 1");
    outcome.ended = 1;
  }
  std::fclose(in);
  std::fclose(out);
  outcome.console = fuzz::takeMemory(console, consoleSize);
  return outcome;
}

std::string echoOf(const kotobun::ConversionOptions& options) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  kotobun::writeSettingsEcho(out, options);
  std::fclose(out);
  return fuzz::takeMemory(text, size);
}

// The command line as its rules say: each argument at most 12 characters; a name, or a switch
// and a keyword matched exactly in upper case.
Outcome modelCommandLine(const std::vector<char*>& argv) {
  Outcome model{};
  model.options = kotobun::defaultOptions();
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string_view argument = argv[i];
    if (argument.size() > kotobun::kMaxArgument) {
      model.console = "\aInvalid command line parameter: " + std::string(argument) + "...";
      model.ended = 1;
      return model;
    }
    if (argument.empty() || (argument[0] != '/' && argument[0] != '-')) {
      std::strcpy(model.options.fileName, argv[i]);
      continue;
    }
    std::string word(argument.substr(1));
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const kotobun::Keyword* found = nullptr;
    for (const kotobun::Keyword& keyword : kotobun::kKeywords) {
      if (keyword.word == word) found = &keyword;
    }
    if (found == nullptr) {
      model.console = "\aInvalid command line parameter: " + word + "...\n";
      model.ended = 1;
      return model;
    }
    kotobun::applyKeyword(*found, model.options);
  }
  return model;
}

// One console line as typed: up to its LF, with a CR just before the LF taken as part of the
// line end; false at the end of input.
bool takeLine(std::string_view& input, std::string& line) {
  if (input.empty()) return false;
  const std::size_t end = input.find('\n');
  line = input.substr(0, end);
  input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  if (end != std::string_view::npos && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// The dialogue as its rules say: the name, five questions a/b and the size a to g; a line of two
// or more characters or the end of input ends the run, any other wrong answer rings the bell.
Outcome modelDialogue(std::string_view input) {
  struct Question {
    std::string menu;
    char lastLetter;
    int kotobun::ConversionOptions::*value;
  };
  const Question questions[] = {
      {"Space around Japanese punctuation:\n   a)  Space\n   b)  No space\n", 'B',
       &kotobun::ConversionOptions::space},
      {"Added % at Japanese end of lines:\n   a)  Added %\n   b)  No added %\n", 'B',
       &kotobun::ConversionOptions::percent},
      {"LaTeX or TeX (MuTeX) output:\n   a)  LaTeX\n   b)  TeX\n", 'B',
       &kotobun::ConversionOptions::latex},
      {"EUC or MS-kanji (Shift-JIS) encoding:\n   a)  EUC\n   b)  MS-kanji\n", 'B',
       &kotobun::ConversionOptions::euc},
      {"Extended JIS '83 Bitmaps allowed:\n   a)  Extended\n   b)  Standard\n", 'B',
       &kotobun::ConversionOptions::extended},
      {"Japanese Font Size:\n"
       "   a)  1000  magstep(0.0)\n   b)  1095  magstep(0.5)\n   c)  1200  magstep(1.0)\n"
       "   d)  1440  magstep(2.0)\n   e)  1728  magstep(3.0)\n   f)  2074  magstep(4.0)\n"
       "   g)  2488  magstep(5.0)\n",
       'G', &kotobun::ConversionOptions::fontSize},
  };
  Outcome model{};
  model.options = kotobun::defaultOptions();
  model.ended = 1;
  std::string line;
  model.console = "Japanese file name? ";
  if (!takeLine(input, line)) return model;
  if (line.size() > kotobun::kMaxFileName) {
    model.console += "\aFile name too long: " + line + "...";
    return model;
  }
  std::memcpy(model.options.fileName, line.c_str(), line.size() + 1);
  model.console += "\n";
  for (const Question& question : questions) {
    for (;;) {
      model.console += question.menu + "Your choice? ";
      if (!takeLine(input, line) || line.size() > 1) return model;
      const int letter = std::toupper(static_cast<unsigned char>(line.empty() ? '\0' : line[0]));
      if (letter >= 'A' && letter <= question.lastLetter) {
        model.console += "\n";
        const int index = letter - 'A';
        model.options.*question.value = question.lastLetter == 'B' ? 1 - index : index + 1;
        break;
      }
      model.console += "\a";
    }
  }
  model.ended = 0;
  return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte says how many arguments (0 to 7) the NUL-separated rest holds; with none the
  // rest is the console input of the dialogue.
  const std::size_t wanted = data[0] % 8;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string_view> arguments;
  for (std::size_t at = 0; wanted > 0 && arguments.size() < wanted && at <= rest.size();) {
    const std::size_t end = std::min(rest.find('\0', at), rest.size());
    arguments.push_back(rest.substr(at, end - at));
    at = end + 1;
  }
  // Each argument in a heap block of its own size, so that a read past it is seen.
  std::vector<char*> argv = {const_cast<char*>("kotobun")};
  for (std::string_view argument : arguments) {
    char* copy = static_cast<char*>(std::malloc(argument.size() + 1));
    argument.copy(copy, argument.size());
    copy[argument.size()] = '\0';
    argv.push_back(copy);
  }
  const bool dialogue = argv.size() == 1;

  const Outcome run = fill(argv, dialogue ? rest : std::string_view());
  if (!run.ended) {
    check(fuzz::areValid(run.options), "the settings are valid");
    check(std::strlen(run.options.fileName) <= kotobun::kMaxFileName, "the name fits");
    const std::string echo = echoOf(run.options);
    check(run.console.size() >= echo.size() &&
              run.console.compare(run.console.size() - echo.size(), echo.size(), echo) == 0,
          "the transcript ends with the settings echo");
    std::string_view shownText = echo;
    kotobun::ConversionOptions shown{};
    check(fuzz::takeEcho(shownText, run.options.fileName, shown) && shownText.empty() &&
              fuzz::sameValues(shown, run.options),
          "the echo is a well-formed settings line that shows the settings");
  }
  Outcome model = dialogue ? modelDialogue(rest) : modelCommandLine(argv);
  if (!model.ended) model.console += echoOf(model.options);
  check(run.ended == model.ended, "the run ends where the rules end it");
  check(run.console == model.console, "the transcript is the rules' transcript");
  if (!run.ended) {
    check(fuzz::sameValues(run.options, model.options) &&
              std::strcmp(run.options.fileName, model.options.fileName) == 0,
          "the settings are the rules' settings");
  }
  for (std::size_t i = 1; i < argv.size(); ++i) std::free(argv[i]);
  return 0;
}
