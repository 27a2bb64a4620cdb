// kanji_output_test.cc - classes, break and glue macros, glyph references and the conversion pass.
#include "converter/kanji_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "converter/settings.h"
#include "tests/support/memory_stream.h"

namespace kotobun {
namespace {

std::string eucOf(int bitmap) {
  return {static_cast<char>(0xA1 + (bitmap - 1) / 94), static_cast<char>(0xA1 + (bitmap - 1) % 94)};
}

const std::string kMaru = eucOf(3);    // Stop
const std::string kColon = eucOf(7);   // Colon
const std::string kOpen = eucOf(54);   // Opening
const std::string kClose = eucOf(55);  // Closing
const std::string kDot = eucOf(6);     // MiddleDot
const std::string kA = eucOf(284);     // Letter
const std::string kI = eucOf(286);     // Letter
const std::string kSpace = eucOf(1);   // no class
const std::string kGlyphA = "\\kk{\\kdac}{28}";
const std::string kGlyphI = "\\kk{\\kdac}{30}";
const std::string kGlyphMaru = "\\kk{\\kdaa}{3}";
const std::string kGlyphOpen = "\\kk{\\kdaa}{54}";
const std::string kGlyphClose = "\\kk{\\kdaa}{55}";

// The command-line defaults: Space, Added %, LaTeX, EUC, Extended, size 4 (1440).
ConversionOptions testOptions() { return defaultOptions(); }

struct Conversion {
  std::string body;
  std::string console;
  int cutShort;
  ConversionOptions options;  // as the directives left them
};

Conversion convert(const std::string& input, ConversionOptions options) {
  std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  Conversion conversion{};
  conversion.console = testsupport::captured([&](std::FILE* console) {
    conversion.body = testsupport::captured([&](std::FILE* out) {
      conversion.cutShort = runConversionPass(in, out, options, console);
    });
  });
  std::fclose(in);
  conversion.options = options;
  return conversion;
}

// ORDER CLASSES: rows and columns of the table below.
enum { kStop, kColonClass, kOpening, kClosing, kMiddleDot, kLetter, kNone, kClassCount };

// What stands between two Japanese characters that follow each other directly, with space 1:
// [previous][current].
const char* const kBetween[kClassCount][kClassCount] = {
    {"\\ee", "\\eeee", "\\eeee", "\\ee", "\\eeee", "\\hh\\eeee", "\\eeee"},
    {"\\ee", "\\ee", "\\eee", "\\ee", "\\eee", "\\hh\\eee", "\\eee"},
    {"\\ee", "\\ee", "\\ee", "\\ee", "\\ee", "\\ee", "\\ee"},
    {"\\ee", "\\ee", "\\eee", "\\ee", "\\eee", "\\hh\\eee", "\\eee"},
    {"\\ee", "\\ee", "\\eee", "\\ee", "\\eee", "\\hh\\eee", "\\eee"},
    {"\\ee", "\\ee", "\\hh\\eee", "\\ee", "\\eee", "\\hh\\ee", "\\hh\\ee"},
    {"\\ee", "\\ee", "\\eee", "\\ee", "\\eee", "\\hh\\ee", "\\ee"},
};

// With space 0 every glue is the smallest.
std::string withoutSpace(std::string text) {
  for (std::size_t at; (at = text.find("\\eee")) != std::string::npos;) {
    const std::size_t end = text.compare(at, 5, "\\eeee") == 0 ? at + 5 : at + 4;
    text.replace(at, end - at, "\\ee");
  }
  return text;
}

TEST(KanjiOutput, BreakAndGlueBetweenClasses) {
  // ORDER CLASSES: two representatives of each class, from row 1 (and the kana and kanji rows)
  // and from the repetitions in rows 5 and 8.
  const int representatives[2][kClassCount] = {
      {3, 7, 54, 55, 6, 284, 1},
      {720, 693, 716, 717, 469, 7806, 366},
  };
  for (const auto& bitmaps : representatives) {
    for (int prev = 0; prev < kClassCount; ++prev) {
      for (int cur = 0; cur < kClassCount; ++cur) {
        for (int space = 0; space <= 1; ++space) {
          const ShortText spacing =
              spacingBetween(classOf(bitmaps[prev]), classOf(bitmaps[cur]), space);
          const std::string text(spacing.bytes, spacing.size);
          const std::string expected = kBetween[prev][cur];
          EXPECT_EQ(space ? expected : withoutSpace(expected), text)
              << bitmaps[prev] << " then " << bitmaps[cur] << ", space " << space;
        }
      }
    }
  }
}

const char* className(CharClass cls) {
  switch (cls) {
    case CharClass::Stop:
      return "Stop";
    case CharClass::Colon:
      return "Colon";
    case CharClass::Opening:
      return "Opening";
    case CharClass::Closing:
      return "Closing";
    case CharClass::MiddleDot:
      return "MiddleDot";
    case CharClass::Letter:
      return "Letter";
    case CharClass::None:
      break;
  }
  return "none";
}

TEST(KanjiOutput, ClassOfAtTheRangeEnds) {
  struct Case {
    int bitmap;
    const char* cls;
  };
  const Case cases[] = {
      {1, "none"},      {2, "Stop"},     {5, "Stop"},      {6, "MiddleDot"}, {7, "Colon"},
      {8, "Colon"},     {9, "Stop"},     {10, "Stop"},     {11, "none"},     {37, "none"},
      {38, "Opening"},  {39, "Closing"}, {58, "Opening"},  {59, "Closing"},  {60, "none"},
      {282, "none"},    {283, "Letter"}, {365, "Letter"},  {366, "none"},    {376, "none"},
      {377, "Letter"},  {462, "Letter"}, {463, "none"},    {468, "none"},    {469, "MiddleDot"},
      {470, "none"},    {690, "none"},   {691, "Stop"},    {692, "Colon"},   {693, "Colon"},
      {694, "none"},    {695, "none"},   {696, "Opening"}, {697, "Closing"}, {716, "Opening"},
      {717, "Closing"}, {718, "none"},   {719, "none"},    {720, "Stop"},    {721, "none"},
      {752, "none"},    {753, "Letter"}, {835, "Letter"},  {836, "none"},    {846, "none"},
      {847, "Letter"},  {932, "Letter"}, {933, "none"},    {1410, "none"},   {1411, "Letter"},
      {4375, "Letter"}, {4376, "none"},  {4418, "none"},   {4419, "Letter"}, {7806, "Letter"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(c.cls, className(classOf(c.bitmap))) << c.bitmap;
  }
}

TEST(KanjiOutput, GlyphNamesSizeBlockAndCode) {
  struct Case {
    int bitmap;
    const char* block;
    const char* code;
  };
  const Case cases[] = {
      {1, "aa", "1"},    {127, "aa", "127"}, {128, "ab", "0"},    {284, "ac", "28"},
      {138, "ab", "10"}, {228, "ab", "100"}, {7806, "he", "126"},
  };
  for (const Case& c : cases) {
    for (int size : {1, 4, 7}) {
      const std::string expected =
          std::string("\\kk{\\k") + sizeLetter(size) + c.block + "}{" + c.code + "}";
      const ShortText glyph = glyphText(size, c.bitmap);
      EXPECT_EQ(expected, std::string(glyph.bytes, glyph.size));
    }
  }
}

TEST(KanjiOutput, ConversionPassSpacing) {
  struct Case {
    int space;
    int percent;
    std::string input;
    std::string body;
  };
  const Case cases[] = {
      {1, 1, kA + kI, kGlyphA + "\\hh\\ee" + kGlyphI},
      {1, 1, kMaru + kA, kGlyphMaru + "\\hh\\eeee" + kGlyphA},
      {1, 1, kA + kMaru, kGlyphA + "\\ee" + kGlyphMaru},
      {1, 1, kA + kOpen, kGlyphA + "\\hh\\eee" + kGlyphOpen},
      {1, 1, kOpen + kA, "\\eee" + kGlyphOpen + "\\ee" + kGlyphA},
      {1, 1, kMaru + kClose, kGlyphMaru + "\\ee" + kGlyphClose},
      // After single-byte text: no break, glue only before an opening bracket or a middle dot
      // or after a letter or digit.
      {1, 1, "A" + kA, "A\\eee" + kGlyphA},
      {1, 1, "1" + kA, "1\\eee" + kGlyphA},
      {1, 1, " " + kA, " " + kGlyphA},
      {1, 1, "(" + kA, "(" + kGlyphA},
      {1, 1, " " + kOpen, " \\eee" + kGlyphOpen},
      {1, 1, "A" + kMaru, "A" + kGlyphMaru},
      {1, 1, "A" + kColon, "A\\kk{\\kdaa}{7}"},
      {1, 1, "A" + kClose, "A" + kGlyphClose},
      {1, 1, "A" + kDot, "A\\eee\\kk{\\kdaa}{6}"},
      {1, 1, "A" + kSpace, "A\\eee\\kk{\\kdaa}{1}"},
      {1, 1, kA + "B" + kI, kGlyphA + "\\eee{}B\\eee" + kGlyphI},
      {1, 1, "A\n" + kA, "A\n" + kGlyphA},
      // The classes handed to the reader for the glue after a character.
      {1, 1, kDot + "A", "\\eee\\kk{\\kdaa}{6}\\eee{}A"},
      {1, 1, kColon + "(", "\\kk{\\kdaa}{7}\\eee("},
      {1, 1, kClose + "A", kGlyphClose + "\\eee{}A"},
      {1, 1, kOpen + "A", "\\eee" + kGlyphOpen + "A"},
      {1, 0, kMaru + "\nA", kGlyphMaru + "\\eeee\nA"},
      // The first character of the file follows no kanji.
      {1, 1, kA, kGlyphA},
      {1, 1, kDot, "\\eee\\kk{\\kdaa}{6}"},
      {1, 1, "%c\n" + kOpen, "%c\n\\eee" + kGlyphOpen},
      {0, 1, kA + kI, kGlyphA + "\\hh\\ee" + kGlyphI},
      {0, 1, kMaru + kA, kGlyphMaru + "\\hh\\ee" + kGlyphA},
      {0, 1, "A" + kA, "A" + kGlyphA},
      {0, 1, kOpen, kGlyphOpen},
      // Across line ends written as "%" and comment lines, as if adjacent.
      {1, 1, kA + "\n" + kI, kGlyphA + "%\n\\hh\\ee" + kGlyphI},
      {1, 1, kMaru + "\n" + kA, kGlyphMaru + "%\n\\hh\\eeee" + kGlyphA},
      {1, 1, kA + "\n%c\n" + kI, kGlyphA + "%\n%c\n\\hh\\ee" + kGlyphI},
      {1, 0, kA + "\n" + kI, kGlyphA + "\n" + kGlyphI},
      {1, 0, kMaru + "\n" + kA, kGlyphMaru + "\\eeee\n" + kGlyphA},
      {1, 1, kA + "\n\n" + kI, kGlyphA + "%\n\n" + kGlyphI},
  };
  for (const Case& c : cases) {
    ConversionOptions options = testOptions();
    options.space = c.space;
    options.percent = c.percent;
    const Conversion conversion = convert(c.input, options);
    EXPECT_EQ(c.body, conversion.body)
        << c.input << " space " << c.space << " percent " << c.percent;
    EXPECT_EQ("", conversion.console);
    EXPECT_EQ(0, conversion.cutShort);
  }
}

TEST(KanjiOutput, DirectiveSwitchesTheSizeLetter) {
  const Conversion conversion = convert(kA + "\n%KOTOBUN /1.0\n" + kA, testOptions());
  EXPECT_EQ(kGlyphA +
                "%\n%KOTOBUN /1.0\n"
                "%File=japanese  Space  Added %  LaTeX  EUC  Extended  Font Size=1200.\n"
                "\\hh\\ee\\kk{\\kcac}{28}",
            conversion.body);
  EXPECT_EQ(3, conversion.options.fontSize);
}

TEST(KanjiOutput, BadInputCutsTheBodyShort) {
  const Conversion conversion = convert(kA + "x\xA4\xA0" + kI, testOptions());
  EXPECT_EQ(kGlyphA + "\\eee{}x", conversion.body);
  EXPECT_EQ(".\n\aInvalid EUC character pair..", conversion.console);
  EXPECT_EQ(1, conversion.cutShort);
}

TEST(KanjiOutput, Utf8TexTextIsSpacedAsSingleByteText) {
  // An accented letter is spaced as its base letter, other TeX text as other single bytes,
  // and the geta mark as a character of no class.
  ConversionOptions options = testOptions();
  options.euc = kUtf8;
  struct Case {
    std::string utf8;
    std::string ascii;  // the same text with Z for a letter, ( for other TeX text
    std::string texText;
  };
  const Case cases[] = {
      {"éあ", "Zあ", "\\'e"},          {"あéあ", "あZあ", "\\'e"}, {"。Åあ", "。Zあ", "\\AA{}"},
      {"©あ", "(あ", "\\copyright{}"}, {"「–あ", "「(あ", "--"},
  };
  for (const Case& c : cases) {
    std::string expected = convert(c.ascii, options).body;
    expected.replace(expected.find_first_of("Z("), 1, c.texText);
    EXPECT_EQ(expected, convert(c.utf8, options).body) << c.utf8;
  }
  EXPECT_EQ(convert("あ" + std::string("\xE3\x80\x93") + "い", options).body,
            convert("あ😀い", options).body);
}

}  // namespace
}  // namespace kotobun
