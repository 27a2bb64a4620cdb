// settings_test.cc - the settings: keywords on the command line, the dialogue and the echo.
#include "converter/settings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/memory_stream.h"

namespace kotobun {
namespace {

// A run that ends the program prints its console on stderr, where the death test looks.
::testing::Matcher<const std::string&> printed(const std::string& console) {
  return ::testing::Matcher<const std::string&>(console);
}

std::vector<const char*> commandLine(const std::vector<const char*>& args) {
  std::vector<const char*> argv{"kotobun"};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// Fills the settings from `argv` (the dialogue when it holds the program name alone) with
// `answers` as standard input; returns what the console shows.
std::string fill(const std::vector<const char*>& argv, const std::string& answers,
                 ConversionOptions& options) {
  std::FILE* in = fmemopen(const_cast<char*>(answers.data()), answers.size(), "r");
  std::string text = testsupport::captured([&](std::FILE* console) {
    fillSettings(static_cast<int>(argv.size()), argv.data(), options, in, console);
  });
  std::fclose(in);
  return text;
}

// The same, for a run expected to end the program: the console is stderr.
void fillOnStderr(const std::vector<const char*>& argv, const std::string& answers) {
  std::FILE* in = fmemopen(const_cast<char*>(answers.data()), answers.size(), "r");
  ConversionOptions options;
  fillSettings(static_cast<int>(argv.size()), argv.data(), options, in, stderr);
}

std::string echoOf(const ConversionOptions& options) {
  return testsupport::captured([&](std::FILE* out) { writeSettingsEcho(out, options); });
}

TEST(Settings, EveryKeywordOnTheCommandLine) {
  struct Case {
    const char* word;
    int ConversionOptions::*field;
    int value;
  };
  // "NOEXTRASPACE" is missing: with its switch it is 13 characters, too long for an argument.
  const Case cases[] = {
      {"EXTRASPACE", &ConversionOptions::space, 1},  {"EXTRA", &ConversionOptions::space, 1},
      {"SPACE", &ConversionOptions::space, 1},       {"NOEXTRA", &ConversionOptions::space, 0},
      {"NOSPACE", &ConversionOptions::space, 0},     {"COMMENT", &ConversionOptions::percent, 1},
      {"PERCENT", &ConversionOptions::percent, 1},   {"EOL", &ConversionOptions::percent, 1},
      {"NOCOMMENT", &ConversionOptions::percent, 0}, {"NOPERCENT", &ConversionOptions::percent, 0},
      {"NOEOL", &ConversionOptions::percent, 0},     {"EUC", &ConversionOptions::euc, 1},
      {"MSKANJI", &ConversionOptions::euc, 0},       {"SHIFTJIS", &ConversionOptions::euc, 0},
      {"UTF8", &ConversionOptions::euc, kUtf8},      {"EXTENDED", &ConversionOptions::extended, 1},
      {"STANDARD", &ConversionOptions::extended, 0}, {"LATEX", &ConversionOptions::latex, 1},
      {"MUTEX", &ConversionOptions::latex, 0},       {"TEX", &ConversionOptions::latex, 0},
      {"1000", &ConversionOptions::fontSize, 1},     {"0.0", &ConversionOptions::fontSize, 1},
      {"0", &ConversionOptions::fontSize, 1},        {"1095", &ConversionOptions::fontSize, 2},
      {"0.5", &ConversionOptions::fontSize, 2},      {"1200", &ConversionOptions::fontSize, 3},
      {"1.0", &ConversionOptions::fontSize, 3},      {"1", &ConversionOptions::fontSize, 3},
      {"1440", &ConversionOptions::fontSize, 4},     {"2.0", &ConversionOptions::fontSize, 4},
      {"2", &ConversionOptions::fontSize, 4},        {"1728", &ConversionOptions::fontSize, 5},
      {"3.0", &ConversionOptions::fontSize, 5},      {"3", &ConversionOptions::fontSize, 5},
      {"2074", &ConversionOptions::fontSize, 6},     {"4.0", &ConversionOptions::fontSize, 6},
      {"4", &ConversionOptions::fontSize, 6},        {"2488", &ConversionOptions::fontSize, 7},
      {"5.0", &ConversionOptions::fontSize, 7},      {"5", &ConversionOptions::fontSize, 7},
  };
  for (const Case& c : cases) {
    std::string lower = c.word;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (const std::string& argument : {"/" + std::string(c.word), "-" + lower}) {
      ConversionOptions options = defaultOptions();
      options.*c.field = c.field == &ConversionOptions::fontSize ? 0 : 1 - c.value;
      const auto argv = commandLine({argument.c_str()});
      parseCommandLine(static_cast<int>(argv.size()), argv.data(), options, stderr);
      EXPECT_EQ(c.value, options.*c.field) << argument;
    }
  }
}

TEST(Settings, CommandLineOverDefaults) {
  struct Case {
    std::vector<const char*> args;
    const char* console;
  };
  const Case cases[] = {
      {{"sample"}, "File=sample  Space  Added %  LaTeX  EUC  Extended  Font Size=1440.\n"},
      {{"/tex", "-NOSPACE", "3.0"},
       "File=3.0  No Space  Added %  TeX  EUC  Extended  Font Size=1440.\n"},
      {{"/3.0"}, "File=japanese  Space  Added %  LaTeX  EUC  Extended  Font Size=1728.\n"},
      {{"/nospace", "-Space"},
       "File=japanese  Space  Added %  LaTeX  EUC  Extended  Font Size=1440.\n"},
      {{"first", "/NoEol", "-mskanji", "second", "/Standard", "/0.5", "-1000"},
       "File=second  Space  No Added %  LaTeX  MS-kanji  Standard  Font Size=1000.\n"},
      {{"/TEX", "/latex", "/Percent", "-NOPERCENT", "-ShiftJIS", "/euc"},
       "File=japanese  Space  No Added %  LaTeX  EUC  Extended  Font Size=1440.\n"},
      {{"twelve.chars"},
       "File=twelve.chars  Space  Added %  LaTeX  EUC  Extended  Font Size=1440.\n"},
  };
  for (const Case& c : cases) {
    ConversionOptions options;
    EXPECT_EQ(c.console, fill(commandLine(c.args), "", options)) << c.args.front();
  }
}

TEST(Settings, RejectedArguments) {
  struct Case {
    std::vector<const char*> args;
    const char* console;
  };
  // Too long: the argument as typed, without a line end. No keyword: upper case, no switch.
  const Case cases[] = {
      {{"abcdefghijklm"}, "\aInvalid command line parameter: abcdefghijklm..."},
      {{"/NOEXTRASPACE"}, "\aInvalid command line parameter: /NOEXTRASPACE..."},
      {{"/tex", "-NoExtraSpace"}, "\aInvalid command line parameter: -NoExtraSpace..."},
      {{"/SPAC"}, "\aInvalid command line parameter: SPAC...\n"},
      {{"-spac"}, "\aInvalid command line parameter: SPAC...\n"},
      {{"-noextraspac"}, "\aInvalid command line parameter: NOEXTRASPAC...\n"},
      {{"/"}, "\aInvalid command line parameter: ...\n"},
      {{"/1.5"}, "\aInvalid command line parameter: 1.5...\n"},
      {{"-6"}, "\aInvalid command line parameter: 6...\n"},
      {{"/Space "}, "\aInvalid command line parameter: SPACE ...\n"},
      {{"sample", "/bogus", "abcdefghijklm"}, "\aInvalid command line parameter: BOGUS...\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EXIT(fillOnStderr(commandLine(c.args), ""), ::testing::ExitedWithCode(1),
                printed(c.console))
        << c.args.back();
  }
}

const std::string kNamePrompt = "Japanese file name? ";
const std::string kSpaceQuestion =
    "Space around Japanese punctuation:\n   a)  Space\n   b)  No space\nYour choice? ";
const std::string kPercentQuestion =
    "Added % at Japanese end of lines:\n   a)  Added %\n   b)  No added %\nYour choice? ";
const std::string kLatexQuestion =
    "LaTeX or TeX (MuTeX) output:\n   a)  LaTeX\n   b)  TeX\nYour choice? ";
const std::string kEucQuestion =
    "EUC or MS-kanji (Shift-JIS) encoding:\n   a)  EUC\n   b)  MS-kanji\nYour choice? ";
const std::string kExtendedQuestion =
    "Extended JIS '83 Bitmaps allowed:\n   a)  Extended\n   b)  Standard\nYour choice? ";
const std::string kSizeQuestion =
    "Japanese Font Size:\n"
    "   a)  1000  magstep(0.0)\n"
    "   b)  1095  magstep(0.5)\n"
    "   c)  1200  magstep(1.0)\n"
    "   d)  1440  magstep(2.0)\n"
    "   e)  1728  magstep(3.0)\n"
    "   f)  2074  magstep(4.0)\n"
    "   g)  2488  magstep(5.0)\n"
    "Your choice? ";
// Every question asked once and answered.
const std::string kAllQuestions = kNamePrompt + "\n" + kSpaceQuestion + "\n" + kPercentQuestion +
                                  "\n" + kLatexQuestion + "\n" + kEucQuestion + "\n" +
                                  kExtendedQuestion + "\n" + kSizeQuestion + "\n";

TEST(Settings, DialogueTranscript) {
  struct Case {
    const char* answers;
    const char* echo;
  };
  const Case cases[] = {
      {"sample\na\nb\nA\nb\nB\ng\n",
       "File=sample  Space  No Added %  LaTeX  MS-kanji  Standard  Font Size=2488.\n"},
      {"x y.kjx\r\nB\r\na\r\nb\r\nA\r\na\r\nC\r\n",
       "File=x y.kjx  No Space  Added %  TeX  EUC  Extended  Font Size=1200.\n"},
      {"\nb\nb\nb\nb\nb\na",
       "File=  No Space  No Added %  TeX  MS-kanji  Standard  Font Size=1000.\n"},
      {"j\na\na\na\na\na\nf\n", "File=j  Space  Added %  LaTeX  EUC  Extended  Font Size=2074.\n"},
  };
  for (const Case& c : cases) {
    ConversionOptions options;
    EXPECT_EQ(kAllQuestions + c.echo, fill(commandLine({}), c.answers, options)) << c.answers;
  }
}

TEST(Settings, DialogueRingsAndAsksAgain) {
  // Space: empty, c, an empty CR LF line, then a. Percent: C, then a. Size: h, a space, then e.
  const std::string answers = "name\n\nc\n\r\na\nC\na\na\na\na\nh\n \ne\n";
  const std::string console = kNamePrompt + "\n" + kSpaceQuestion + "\a" + kSpaceQuestion + "\a" +
                              kSpaceQuestion + "\a" + kSpaceQuestion + "\n" + kPercentQuestion +
                              "\a" + kPercentQuestion + "\n" + kLatexQuestion + "\n" +
                              kEucQuestion + "\n" + kExtendedQuestion + "\n" + kSizeQuestion +
                              "\a" + kSizeQuestion + "\a" + kSizeQuestion + "\n" +
                              "File=name  Space  Added %  LaTeX  EUC  Extended  Font Size=1728.\n";
  ConversionOptions options;
  EXPECT_EQ(console, fill(commandLine({}), answers, options));
}

TEST(Settings, DialogueEndsTheRun) {
  // At every prompt: the end of input, and an answer of two characters.
  const std::string prompts[] = {kNamePrompt,  kSpaceQuestion,    kPercentQuestion, kLatexQuestion,
                                 kEucQuestion, kExtendedQuestion, kSizeQuestion};
  const char* answers[] = {"name\n", "a\n", "b\n", "B\r\n", "a\n", "b\n", "g\n"};
  std::string given;
  std::string shown;
  for (int prompt = 0; prompt < 7; ++prompt) {
    shown += prompts[prompt];
    EXPECT_EXIT(fillOnStderr(commandLine({}), given), ::testing::ExitedWithCode(1), printed(shown))
        << prompt;
    if (prompt > 0) {
      EXPECT_EXIT(fillOnStderr(commandLine({}), given + "ab\r\n"), ::testing::ExitedWithCode(1),
                  printed(shown))
          << prompt;
    }
    given += answers[prompt];
    shown += "\n";
  }

  struct Case {
    std::string answers;
    std::string console;
  };
  const std::string toSpace = kNamePrompt + "\n" + kSpaceQuestion;
  const Case cases[] = {
      {"name", toSpace},  // the name is a last line without a line end
      {"name\n\n", toSpace + "\a" + kSpaceQuestion},
      {"name\na\r\r\n", toSpace},  // "a" and a CR: two characters
      {"name\n a\n", toSpace},
  };
  for (const Case& c : cases) {
    EXPECT_EXIT(fillOnStderr(commandLine({}), c.answers), ::testing::ExitedWithCode(1),
                printed(c.console))
        << c.answers;
  }
}

TEST(Settings, DialogueNamesOfAnyLength) {
  const std::string longest(250, 'n');
  ConversionOptions options;
  fill(commandLine({}), longest + "\r\na\na\na\na\na\na\n", options);
  EXPECT_EQ(longest, options.fileName);

  const std::string names[] = {longest + "z", std::string(1000, 'm') + "z"};
  for (const std::string& name : names) {
    EXPECT_EXIT(fillOnStderr(commandLine({}), name + "\r\na\n"), ::testing::ExitedWithCode(1),
                printed(kNamePrompt + "\aFile name too long: " + name + "..."))
        << name.size();
  }
}

TEST(Settings, Echo) {
  ConversionOptions others = defaultOptions();
  others.space = others.percent = others.latex = others.euc = others.extended = 0;
  others.fontSize = 1;
  EXPECT_EQ("File=japanese  Space  Added %  LaTeX  EUC  Extended  Font Size=1440.\n",
            echoOf(defaultOptions()));
  EXPECT_EQ("File=japanese  No Space  No Added %  TeX  MS-kanji  Standard  Font Size=1000.\n",
            echoOf(others));
  others.euc = kUtf8;
  EXPECT_EQ("File=japanese  No Space  No Added %  TeX  UTF-8  Standard  Font Size=1000.\n",
            echoOf(others));

  const char* sizes[] = {"", "1000", "1095", "1200", "1440", "1728", "2074", "2488", ""};
  for (int fontSize = 0; fontSize <= 8; ++fontSize) {
    ConversionOptions options = defaultOptions();
    options.fontSize = fontSize;
    const std::string echo = echoOf(options);
    EXPECT_EQ("  Font Size=" + std::string(sizes[fontSize]) + ".\n",
              echo.substr(echo.find("  Font Size=")))
        << fontSize;
  }
}

TEST(Settings, EchoOnAFailingStreamEndsTheRun) {
  auto echoToFullDisk = [] {
    std::FILE* out = std::fopen("/dev/full", "w");
    std::setvbuf(out, nullptr, _IONBF, 0);
    writeSettingsEcho(out, defaultOptions());
  };
  EXPECT_EXIT(echoToFullDisk(), ::testing::ExitedWithCode(1), printed(""));
}

TEST(Settings, DropLeading) {
  struct Case {
    const char* text;
    std::size_t n;
    const char* left;
  };
  const Case cases[] = {
      {"abc", 0, "abc"}, {"abc", 1, "bc"}, {"abc", 3, ""}, {"abc", 4, ""}, {"", 1, ""},
  };
  for (const Case& c : cases) {
    char text[8];
    std::snprintf(text, sizeof text, "%s", c.text);
    dropLeading(text, c.n);
    EXPECT_STREQ(c.left, text) << c.text << " " << c.n;
  }
}

}  // namespace
}  // namespace kotobun
