// text_options.cc - kototext's command line.
#include "road/text_options.h"

#include <cstring>
#include <string_view>

namespace kototext {

const char* const kUsage =
    "usage: kototext [--encoding=utf8|sjis|euc] [--paper=a4|a5|b5|letter] [--size=10|11|12]\n"
    "                [--magnification=N] [--line-paragraphs] INPUT OUTPUT\n";
const char* const kHelp =
    "Writes the plain text INPUT as a LaTeX document in UTF-8 for kotobun /UTF8 into OUTPUT\n"
    "(- for standard output): TeX's special characters set as themselves, break points where\n"
    "kotobun puts none, and lines short enough for TeX.\n"
    "  --encoding=E         the encoding of INPUT: utf8, sjis (Shift-JIS as Windows writes it,\n"
    "                       CP932) or euc (EUC-JP); by default found out from the bytes\n"
    "  --paper=P            a4 (default), a5, b5 or letter\n"
    "  --size=PT            the class's font size: 10 (default), 11 or 12\n"
    "  --magnification=N    the kanji fonts' magnification: 1000 1095 1200 1440 1728 2074 2488;\n"
    "                       by default 1440 for 10pt and 11pt, 1728 for 12pt\n"
    "  --line-paragraphs    every line is a paragraph (as in Aozora Bunko's texts); by\n"
    "                       default paragraphs end at blank lines\n"
    "  --help, --version    print this help or the version and stop\n"
    "Then: kotobun /UTF8 OUTPUT, latex, dvipdfmx; kotobun2pdf does it all.\n";
const char* const kVersion = "kototext 1.0\n";

namespace {

struct Choice {
  std::string_view word;
  int value;
};

// ORDER ENCODINGS, ORDER PAPERS: the values are the enums' numbers.
constexpr Choice kEncodings[] = {{"utf8", 1}, {"sjis", 2}, {"euc", 3}};
constexpr Choice kPapers[] = {{"a4", 0}, {"a5", 1}, {"b5", 2}, {"letter", 3}};
constexpr Choice kSizes[] = {{"10", 10}, {"11", 11}, {"12", 12}};
constexpr Choice kMagnifications[] = {{"1000", 1000}, {"1095", 1095}, {"1200", 1200},
                                      {"1440", 1440}, {"1728", 1728}, {"2074", 2074},
                                      {"2488", 2488}};

template <std::size_t N>
int choose(const Choice (&choices)[N], std::string_view word, int& value) {
  for (const Choice& choice : choices) {
    if (choice.word == word) {
      value = choice.value;
      return 1;
    }
  }
  return 0;
}

// ORDER OPTIONS: the options that take a value, as `takeValue` reads them.
constexpr std::string_view kValueOptions[] = {"--encoding", "--paper", "--size", "--magnification"};

// Stores the value of the option numbered `option`; 0 if it is not one of its choices.
int takeValue(int option, std::string_view value, TextOptions& options) {
  int chosen = 0;
  switch (option) {  // ORDER OPTIONS
    case 0:
      if (!choose(kEncodings, value, chosen)) return 0;
      options.encoding = static_cast<Encoding>(chosen);
      return 1;
    case 1:
      if (!choose(kPapers, value, chosen)) return 0;
      options.document.paper = static_cast<Paper>(chosen);
      return 1;
    case 2:
      return choose(kSizes, value, options.document.pointSize);
    default:
      return choose(kMagnifications, value, options.document.magnification);
  }
}

Request badUsage(std::FILE* err, const char* what, std::string_view argument) {
  std::fprintf(err, "kototext: %s%.*s (kototext --help shows the usage)\n", what,
               static_cast<int>(argument.size()), argument.data());
  return Request::BadUsage;
}

}  // namespace

Request parseArguments(int argc, char** argv, TextOptions& options, std::FILE* err) {
  options = {Encoding::Detect, {Paper::A4, 10, 0, 0}, nullptr, nullptr};
  const char* files[2] = {nullptr, nullptr};
  int fileCount = 0;
  int optionsEnded = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (fileCount == 2) return badUsage(err, "too many files: ", arg);
      files[fileCount++] = argv[i];
      continue;
    }
    if (arg == "--") {
      optionsEnded = 1;
    } else if (arg == "--help") {
      return Request::Help;
    } else if (arg == "--version") {
      return Request::Version;
    } else if (arg == "--line-paragraphs") {
      options.document.lineParagraphs = 1;
    } else {
      const std::size_t equals = arg.find('=');
      const std::string_view name = arg.substr(0, equals);
      int option = -1;
      for (int k = 0; k < 4; ++k) {
        if (kValueOptions[k] == name) option = k;
      }
      if (option < 0) return badUsage(err, "unknown option ", name);
      std::string_view value;
      if (equals != std::string_view::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return badUsage(err, "a value is missing after ", name);
      }
      if (!takeValue(option, value, options)) {
        std::fprintf(err,
                     "kototext: %.*s does not take '%.*s' (kototext --help shows the choices)\n",
                     static_cast<int>(name.size()), name.data(), static_cast<int>(value.size()),
                     value.data());
        return Request::BadUsage;
      }
    }
  }
  if (fileCount < 2) {
    return badUsage(err, fileCount == 0 ? "INPUT and OUTPUT are missing" : "OUTPUT is missing", "");
  }
  if (files[0][0] == '\0' || files[1][0] == '\0') return badUsage(err, "an empty file name", "");
  options.input = files[0];
  options.output = files[1];
  if (options.document.magnification == 0) {
    options.document.magnification = magnificationFor(options.document.pointSize);
  }
  return Request::Run;
}

}  // namespace kototext
