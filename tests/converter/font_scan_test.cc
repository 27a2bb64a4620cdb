// font_scan_test.cc - the font usage scan and the document header.
#include "converter/font_scan.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "converter/settings.h"
#include "tests/support/memory_stream.h"

namespace kotobun {
namespace {

const std::string kMaru = "\xA1\xA3";  // bitmap 3, block aa
const std::string kA = "\xA4\xA2";     // bitmap 284, block ac

const std::string kLatexMacros =
    "\\newcommand{\\kk}[2]{{#1\\symbol{#2}}}\n"
    "\\newcommand{\\hh}{\\discretionary{}{}{}}\n"
    "\\newcommand{\\ee}{\\nobreak\\hskip0pt plus.1em\\relax}\n"
    "\\newcommand{\\eee}{\\nobreak\\hskip.3em plus.1em\\relax}\n"
    "\\newcommand{\\eeee}{\\nobreak\\hskip.9em plus.1em minus.1em}\n"
    "\n";
const std::string kPlainMacros =
    "\\def\\kk#1#2{{#1\\char#2}}\n"
    "\\def\\hh{\\discretionary{}{}{}}\n"
    "\\def\\ee{\\nobreak\\hskip0pt plus.1em\\relax}\n"
    "\\def\\eee{\\nobreak\\hskip.3em plus.1em\\relax}\n"
    "\\def\\eeee{\\nobreak\\hskip.9em plus.1em minus.1em}\n"
    "\n";

// The command-line defaults: Space, Added %, LaTeX, EUC, Extended, size 4 (1440).
ConversionOptions testOptions() { return defaultOptions(); }

struct Scan {
  std::string header;   // written from the table and the latex value after the scan
  std::string console;  // the scan's messages
  ConversionOptions options;
  FontUsageTable fonts;
};

Scan scanAndWriteHeader(const std::string& input, ConversionOptions options) {
  std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  Scan scan{};
  // A table left over from elsewhere: the scan clears what it uses.
  for (auto& row : scan.fonts) row.fill(1);
  scan.console = testsupport::captured(
      [&](std::FILE* console) { scanFonts(in, scan.fonts, options, console); });
  std::fclose(in);
  scan.header =
      testsupport::captured([&](std::FILE* out) { writeHeader(out, scan.fonts, options.latex); });
  scan.options = options;
  return scan;
}

TEST(FontScan, HeaderDeclaresEachFontUsedOnce) {
  struct Case {
    std::string input;
    int latex;
    int fontSize;
    std::string fonts;  // the declarations between "\tracingstats=1" and the macros
  };
  const Case cases[] = {
      {"abc\n", 1, 4, ""},
      {"abc\n", 0, 4, ""},
      {"", 1, 4, ""},
      {kMaru + kA + "\n" + kA + kMaru + "x" + kA, 1, 4,
       "\\newfont{\\kdaa}{kanjiaa scaled 1440}\n"
       "\\newfont{\\kdac}{kanjiac scaled 1440}\n"},
      {kA + kMaru, 0, 4,
       "\\font\\kdaa=kanjiaa scaled 1440\n"
       "\\font\\kdac=kanjiac scaled 1440\n"},
      {"\xF4\xA4", 1, 7, "\\newfont{\\kghe}{kanjihe scaled 2488}\n"},
      {"\xA1\xA1\xA2\xA1", 1, 1, "\\newfont{\\kaaa}{kanjiaa scaled 1000}\n"},
      // Sizes in increasing order, whatever their order in the file.
      {kA + "\n%KOTOBUN /1.0\n" + kA + kMaru + "\n", 1, 4,
       "\\newfont{\\kcaa}{kanjiaa scaled 1200}\n"
       "\\newfont{\\kcac}{kanjiac scaled 1200}\n"
       "\\newfont{\\kdac}{kanjiac scaled 1440}\n"},
      {"%" + kA + kMaru + "\n%" + kA + "\n", 1, 4, ""},
  };
  for (const Case& c : cases) {
    ConversionOptions options = testOptions();
    options.latex = c.latex;
    options.fontSize = c.fontSize;
    const Scan scan = scanAndWriteHeader(c.input, options);
    EXPECT_EQ("\\tracingstats=1\n" + c.fonts + (c.latex ? kLatexMacros : kPlainMacros), scan.header)
        << c.input;
    EXPECT_EQ("", scan.console) << c.input;
    // The scan leaves the size row 0 alone.
    std::array<int, kFontBlocks> untouched;
    untouched.fill(1);
    EXPECT_EQ(untouched, scan.fonts[0]);
  }
}

TEST(FontScan, OnlyLatexIsCarriedBack) {
  const Scan scan = scanAndWriteHeader(
      "%KOTOBUN /TeX /ShiftJIS /3.0 /NoSpace /NoPercent /Standard\n\x88\x9F\n", testOptions());
  EXPECT_EQ("\\tracingstats=1\n\\font\\kebd=kanjibd scaled 1728\n" + kPlainMacros, scan.header);
  // The scan writes no echo, neither to the output nor to the console.
  EXPECT_EQ("", scan.console);
  EXPECT_EQ(0, scan.options.latex);
  EXPECT_EQ(1, scan.options.euc);
  EXPECT_EQ(4, scan.options.fontSize);
  EXPECT_EQ(1, scan.options.space);
  EXPECT_EQ(1, scan.options.percent);
  EXPECT_EQ(1, scan.options.extended);
}

TEST(FontScan, MessagesOfTheScan) {
  // An input error ends the scan; the fonts found before it are still declared.
  Scan scan = scanAndWriteHeader(kMaru + "\n" + kA + "\xA4", testOptions());
  EXPECT_EQ(
      "\\tracingstats=1\n"
      "\\newfont{\\kdaa}{kanjiaa scaled 1440}\n"
      "\\newfont{\\kdac}{kanjiac scaled 1440}\n" +
          kLatexMacros,
      scan.header);
  EXPECT_EQ(".\n\aIncomplete EUC character pair..", scan.console);

  // The scan gives the warning about characters outside the standard set.
  ConversionOptions standard = testOptions();
  standard.extended = 0;
  scan = scanAndWriteHeader("\xA2\xB0", standard);
  EXPECT_EQ(".\nWarning! The non-standard JIS '83 Bitmap 110 encountered", scan.console);
  EXPECT_EQ("\\tracingstats=1\n\\newfont{\\kdaa}{kanjiaa scaled 1440}\n" + kLatexMacros,
            scan.header);
}

}  // namespace
}  // namespace kotobun
