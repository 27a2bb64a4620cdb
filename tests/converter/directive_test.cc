// directive_test.cc - option directive lines: which lines count, the options and their echoes.
#include "converter/directive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "converter/settings.h"
#include "tests/support/memory_stream.h"

namespace kotobun {
namespace {

// Parses `line` as the conversion pass would, starting from `options`; returns what it wrote.
std::string parseLine(const std::string& line, ConversionOptions& options) {
  char text[kMaxComment + 2] = {};
  line.copy(text, kMaxComment);
  return testsupport::captured([&](std::FILE* out) { parseDirective(text, options, 1, out); });
}

const std::string kDefaultEcho =
    "%File=japanese  Space  Added %  LaTeX  EUC  Extended  Font Size=1440.\n";
const std::string kTexEcho =
    "%File=japanese  Space  Added %  TeX  EUC  Extended  Font Size=1440.\n";

TEST(Directive, WhichCommentLinesAreDirectives) {
  struct Case {
    const char* line;
    int isDirective;  // then /TeX takes effect
  };
  const Case cases[] =
      {
          {"%KOTOBUN /TeX", 1},   {"%kotobun /tex", 1},  {"%   KotoBun -TEX", 1},
          {"%KOTOJIN /TeX", 1},   {"%KOTOHAN /TeX", 1},  {"%KOTOBUN/TeX", 1},
          {"%\tKOTOBUN /TeX", 0},  // only spaces may stand before the keyword
          {"%KOTOBUNX /TeX", 0},   // the keyword matches, then the X ends the parse
          {"%KOTOBUN X /TeX", 0},  // so does a word that is no option
          {"%KOTOBUN \t/TeX", 0},  // and a tab
          {"%KOTOBU /TeX", 0},    {"%%KOTOBUN /TeX", 0}, {"% KOTO BUN /TeX", 0},
      };
  for (const Case& c : cases) {
    ConversionOptions options = defaultOptions();
    const std::string written = parseLine(c.line, options);
    EXPECT_EQ(c.isDirective ? kTexEcho : "", written) << c.line;
    EXPECT_EQ(!c.isDirective, options.latex) << c.line;
  }
}

TEST(Directive, KeywordAloneChangesNothing) {
  for (const char* line : {"%KOTOBUN", "%KOTOBUN   ", "%kotohan", "%", ""}) {
    ConversionOptions options = defaultOptions();
    options.fontSize = 0;
    EXPECT_EQ("", parseLine(line, options)) << line;
    EXPECT_EQ(0, options.fontSize) << line;
  }
}

TEST(Directive, OptionsAndTheirEchoes) {
  struct Case {
    const char* line;
    const char* written;
  };
  // Each echo shows the settings after its option; an option that is not recognised ends the
  // parse without one. The start is the default but plain TeX.
  const Case cases[] = {
      {"%KOTOBUN /NoSpace /3.0",
       "%File=japanese  No Space  Added %  TeX  EUC  Extended  Font Size=1440.\n"
       "%File=japanese  No Space  Added %  TeX  EUC  Extended  Font Size=1728.\n"},
      {"%KOTOBUN /NOSPACE/3.0",
       "%File=japanese  No Space  Added %  TeX  EUC  Extended  Font Size=1440.\n"
       "%File=japanese  No Space  Added %  TeX  EUC  Extended  Font Size=1728.\n"},
      {"%KOTOBUN /10 /LaTeX",
       "%File=japanese  Space  Added %  TeX  EUC  Extended  Font Size=1200.\n"},
      {"%KOTOBUN /Bogus /LaTeX", ""},
      {"%KOTOBUN /LaTeX word /NoEOL",
       "%File=japanese  Space  Added %  LaTeX  EUC  Extended  Font Size=1440.\n"},
      {"%KOTOBUN /SPACEX /LaTeX",
       "%File=japanese  Space  Added %  TeX  EUC  Extended  Font Size=1440.\n"},
      {"%KOTOBUN /LATEXFOO",
       "%File=japanese  Space  Added %  LaTeX  EUC  Extended  Font Size=1440.\n"},
      {"%KOTOBUN / /LaTeX", ""},
      {"%KOTOBUN -mskanji  -standard-1.0 -noeol /",
       "%File=japanese  Space  Added %  TeX  MS-kanji  Extended  Font Size=1440.\n"
       "%File=japanese  Space  Added %  TeX  MS-kanji  Standard  Font Size=1440.\n"
       "%File=japanese  Space  Added %  TeX  MS-kanji  Standard  Font Size=1200.\n"
       "%File=japanese  Space  No Added %  TeX  MS-kanji  Standard  Font Size=1200.\n"},
      {"%KOTOBUN /2488%/1000",
       "%File=japanese  Space  Added %  TeX  EUC  Extended  Font Size=2488.\n"},
      {"%kotobun /utf8/euc /Utf8x",
       "%File=japanese  Space  Added %  TeX  UTF-8  Extended  Font Size=1440.\n"
       "%File=japanese  Space  Added %  TeX  EUC  Extended  Font Size=1440.\n"
       "%File=japanese  Space  Added %  TeX  UTF-8  Extended  Font Size=1440.\n"},
  };
  for (const Case& c : cases) {
    ConversionOptions options = defaultOptions();
    options.latex = 0;
    EXPECT_EQ(c.written, parseLine(c.line, options)) << c.line;
  }
}

TEST(Directive, LongerKeywordsWinOverTheirPrefixes) {
  struct Case {
    const char* word;
    int ConversionOptions::*field;
    int value;
  };
  // The keywords that have a shorter keyword as their prefix.
  const Case cases[] = {
      {"extraspace", &ConversionOptions::space, 1}, {"noextraspace", &ConversionOptions::space, 0},
      {"1000", &ConversionOptions::fontSize, 1},    {"1095", &ConversionOptions::fontSize, 2},
      {"1200", &ConversionOptions::fontSize, 3},    {"1440", &ConversionOptions::fontSize, 4},
      {"1728", &ConversionOptions::fontSize, 5},    {"2074", &ConversionOptions::fontSize, 6},
      {"2488", &ConversionOptions::fontSize, 7},    {"0.0", &ConversionOptions::fontSize, 1},
      {"0.5", &ConversionOptions::fontSize, 2},     {"1.0", &ConversionOptions::fontSize, 3},
      {"2.0", &ConversionOptions::fontSize, 4},     {"3.0", &ConversionOptions::fontSize, 5},
      {"4.0", &ConversionOptions::fontSize, 6},     {"5.0", &ConversionOptions::fontSize, 7},
  };
  // The glued -TEX is read only if the whole word was taken: a shorter keyword would leave the
  // rest of the word, which ends the parse before it.
  for (const Case& c : cases) {
    ConversionOptions options = defaultOptions();
    options.*c.field = c.field == &ConversionOptions::fontSize ? 0 : 1 - c.value;
    const std::string line = std::string("%kotobun /") + c.word + "-TEX";
    const std::string written = parseLine(line, options);
    EXPECT_EQ(2, std::count(written.begin(), written.end(), '\n')) << line;
    EXPECT_EQ(0, options.latex) << line;
    EXPECT_EQ(c.value, options.*c.field) << line;
  }
}

TEST(Directive, NothingWrittenInTheScan) {
  char text[kMaxComment + 2] = "%KOTOBUN /NoSpace /3.0 /TeX";
  ConversionOptions options = defaultOptions();
  parseDirective(text, options, 0, nullptr);
  EXPECT_EQ(0, options.space);
  EXPECT_EQ(5, options.fontSize);
  EXPECT_EQ(0, options.latex);
}

TEST(Directive, LongestCommentFitsItsBuffer) {
  struct Guarded {
    char text[kMaxComment + 2];
    char guard[8];
  };
  struct Case {
    std::string line;  // 254 bytes, the longest comment line
    const char* written;
    std::string left;  // the rewritten text
  };
  const std::string plain = "%" + std::string(kMaxComment - 1, 'x');
  const std::string directive = "%KOTOBUN" + std::string(kMaxComment - 12, ' ') + "/3.0";
  const Case cases[] = {
      {plain, "", std::string(kMaxComment - 1, 'X') + " %"},
      {directive, "%File=japanese  Space  Added %  LaTeX  EUC  Extended  Font Size=1728.\n", "%"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(kMaxComment, c.line.size());
    Guarded buffer;
    std::memset(&buffer, '#', sizeof buffer);
    std::memcpy(buffer.text, c.line.c_str(), c.line.size() + 1);
    ConversionOptions options = defaultOptions();
    EXPECT_EQ(c.written, testsupport::captured([&](std::FILE* out) {
                parseDirective(buffer.text, options, 1, out);
              }));
    EXPECT_EQ(c.left, buffer.text);
    EXPECT_EQ(std::string(sizeof buffer.guard, '#'),
              std::string(buffer.guard, sizeof buffer.guard));
  }
}

TEST(Directive, FailedEchoEndsTheRun) {
  auto parseToFullDisk = [] {
    std::FILE* out = std::fopen("/dev/full", "w");
    std::setvbuf(out, nullptr, _IONBF, 0);
    char text[kMaxComment + 2] = "%KOTOBUN /TeX";
    ConversionOptions options = defaultOptions();
    parseDirective(text, options, 1, out);
  };
  EXPECT_EXIT(parseToFullDisk(), ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace kotobun
