// settings.cc - the converter's settings: defaults, keywords, command line, dialogue and echo.
#include "converter/settings.h"

#include <cctype>
#include <cstring>

#include "platform/program_end.h"
#include "platform/text_file.h"
#include "platform/write_check.h"

namespace kotobun {
namespace {

constexpr char kBell = '\a';

struct Question {
  const char* title;
  const char* choiceA;  // sets the field to 1
  const char* choiceB;  // sets the field to 0
  Setting setting;
};

constexpr Question kQuestions[] = {
    {"Space around Japanese punctuation", "Space", "No space", Setting::Space},
    {"Added % at Japanese end of lines", "Added %", "No added %", Setting::Percent},
    {"LaTeX or TeX (MuTeX) output", "LaTeX", "TeX", Setting::Latex},
    {"EUC or MS-kanji (Shift-JIS) encoding", "EUC", "MS-kanji", Setting::Euc},
    {"Extended JIS '83 Bitmaps allowed", "Extended", "Standard", Setting::Extended},
};

constexpr const char* kSizeMenu =
    "Japanese Font Size:\n"
    "   a)  1000  magstep(0.0)\n"
    "   b)  1095  magstep(0.5)\n"
    "   c)  1200  magstep(1.0)\n"
    "   d)  1440  magstep(2.0)\n"
    "   e)  1728  magstep(3.0)\n"
    "   f)  2074  magstep(4.0)\n"
    "   g)  2488  magstep(5.0)\n";

// Reads a one-letter answer and returns it in upper case, 0 for an empty line. Ends the program
// at the end of input or on a longer answer.
int readAnswer(std::FILE* in) {
  char answer[2];
  const platform::ConsoleLine line = platform::readConsoleLine(in, answer, sizeof answer);
  if (line.endOfInput || line.length > 1) platform::endProgram(1);
  return std::toupper(static_cast<unsigned char>(answer[0]));
}

// Prints `menu`, then asks until the answer is a letter from 'A' to `lastLetter`; returns its
// index from 0.
int askChoice(std::FILE* in, std::FILE* console, const char* menu, int lastLetter) {
  for (;;) {
    std::fputs(menu, console);
    std::fputs("Your choice? ", console);
    platform::checkConsole(console);
    const int letter = readAnswer(in);
    if (letter >= 'A' && letter <= lastLetter) {
      std::fputc('\n', console);
      platform::checkConsole(console);
      return letter - 'A';
    }
    std::fputc(kBell, console);
    platform::checkConsole(console);
  }
}

void askFileName(std::FILE* in, std::FILE* console, ConversionOptions& options) {
  std::fputs("Japanese file name? ", console);
  platform::checkConsole(console);
  const platform::ConsoleLine line = platform::readConsoleLine(
      in, options.fileName, sizeof options.fileName, console, "\aFile name too long: ");
  if (line.endOfInput) platform::endProgram(1);
  if (line.length > kMaxFileName) {
    std::fputs("...", console);
    platform::endProgram(1);
  }
  std::fputc('\n', console);
  platform::checkConsole(console);
}

const Keyword* findExact(std::string_view word) {
  for (const Keyword& keyword : kKeywords) {
    if (keyword.word == word) return &keyword;
  }
  return nullptr;
}

}  // namespace

void applyKeyword(const Keyword& keyword, ConversionOptions& options) {
  switch (keyword.setting) {
    case Setting::Space:
      options.space = keyword.value;
      break;
    case Setting::Percent:
      options.percent = keyword.value;
      break;
    case Setting::Euc:
      options.euc = keyword.value;
      break;
    case Setting::Extended:
      options.extended = keyword.value;
      break;
    case Setting::Latex:
      options.latex = keyword.value;
      break;
    case Setting::FontSize:
      options.fontSize = keyword.value;
      break;
  }
}

ConversionOptions defaultOptions() {
  ConversionOptions options{};
  std::strcpy(options.fileName, "japanese");
  options.space = 1;
  options.percent = 1;
  options.latex = 1;
  options.euc = 1;
  options.extended = 1;
  options.fontSize = 4;
  return options;
}

void parseCommandLine(int argc, const char* const* argv, ConversionOptions& options,
                      std::FILE* console) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const std::size_t length = std::strlen(argument);
    if (length > kMaxArgument) {
      std::fprintf(console, "\aInvalid command line parameter: %s...", argument);
      platform::endProgram(1);
    }
    if (argument[0] != '/' && argument[0] != '-') {
      std::memcpy(options.fileName, argument, length + 1);
      continue;
    }
    char word[kMaxArgument + 1];
    std::size_t n = 0;
    for (const char* p = argument + 1; *p != '\0'; ++p) {
      word[n++] = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    word[n] = '\0';
    const Keyword* keyword = findExact(std::string_view(word, n));
    if (keyword == nullptr) {
      std::fprintf(console, "\aInvalid command line parameter: %s...\n", word);
      platform::endProgram(1);
    }
    applyKeyword(*keyword, options);
  }
}

void runDialogue(std::FILE* in, std::FILE* console, ConversionOptions& options) {
  askFileName(in, console, options);
  for (const Question& question : kQuestions) {
    char menu[128];
    std::snprintf(menu, sizeof menu, "%s:\n   a)  %s\n   b)  %s\n", question.title,
                  question.choiceA, question.choiceB);
    const int choice = askChoice(in, console, menu, 'B');
    applyKeyword(Keyword{"", question.setting, choice == 0 ? 1 : 0}, options);
  }
  options.fontSize = askChoice(in, console, kSizeMenu, 'G') + 1;
}

void fillSettings(int argc, const char* const* argv, ConversionOptions& options, std::FILE* in,
                  std::FILE* console) {
  options = defaultOptions();
  if (argc <= 1) {
    runDialogue(in, console, options);
  } else {
    parseCommandLine(argc, argv, options, console);
  }
  writeSettingsEcho(console, options);
  platform::checkConsole(console);
}

void writeSettingsEcho(std::FILE* out, const ConversionOptions& options) {
  std::fprintf(out, "File=%s", options.fileName);
  std::fputs(options.space ? "  Space" : "  No Space", out);
  std::fputs(options.percent ? "  Added %" : "  No Added %", out);
  std::fputs(options.latex ? "  LaTeX" : "  TeX", out);
  if (options.euc == kUtf8) {
    std::fputs("  UTF-8", out);
  } else {
    std::fputs(options.euc ? "  EUC" : "  MS-kanji", out);
  }
  std::fputs(options.extended ? "  Extended" : "  Standard", out);
  std::fputs("  Font Size=", out);
  if (options.fontSize >= 1 && options.fontSize <= kFontSizes) {
    std::fprintf(out, "%d", kMagnifications[static_cast<std::size_t>(options.fontSize)]);
  }
  std::fputs(".\n", out);
  platform::checkWrites(out);
}

void dropLeading(char* text, std::size_t n) {
  const std::size_t length = std::strlen(text);
  if (n > length) n = length;
  std::memmove(text, text + n, length - n + 1);
}

}  // namespace kotobun
