// reader_test.cc - the Japanese text reader over in-memory streams.
#include "converter/reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "converter/kanji_output.h"
#include "converter/unicode.h"
#include "converter/unicode_table.h"
#include "tests/support/memory_stream.h"

namespace kotobun {
namespace {

// EUC pairs of one character of each class; bitmap numbers in the comments.
const std::string kMaru = "\xA1\xA3";   // 3, Stop
const std::string kColon = "\xA1\xA7";  // 7, Colon
const std::string kOpen = "\xA1\xD6";   // 54, Opening
const std::string kClose = "\xA1\xD7";  // 55, Closing
const std::string kDot = "\xA1\xA6";    // 6, MiddleDot
const std::string kA = "\xA4\xA2";      // 284, Letter
const std::string kI = "\xA4\xA4";      // 286, Letter
const std::string kBlank = "\xA1\xA1";  // 1, ideographic space: no class

const std::string kIncompleteEuc = ".\n\aIncomplete EUC character pair..";
const std::string kIncompleteSjis = ".\n\aIncomplete MS-kanji character pair..";
const std::string kInvalidEuc = ".\n\aInvalid EUC character pair..";
const std::string kInvalidSjis = ".\n\aInvalid MS-kanji character pair..";
const std::string kAbnormalEnd = ".\n\aAbnormal DOS end of line..";

std::string eucOf(int bitmap) {
  return {static_cast<char>(0xA1 + (bitmap - 1) / 94), static_cast<char>(0xA1 + (bitmap - 1) % 94)};
}

std::string warningFor(int bitmap) {
  return ".\nWarning! The non-standard JIS '83 Bitmap " + std::to_string(bitmap) + " encountered";
}

ConversionOptions testOptions(int euc = 1) {
  ConversionOptions options{};
  std::strcpy(options.fileName, "japanese");
  options.space = 1;
  options.percent = 1;
  options.latex = 1;
  options.euc = euc;
  options.extended = 1;
  options.fontSize = 4;
  return options;
}

struct Pass {
  std::string out;      // what the reader wrote, with "[n]" where it handed back bitmap n
  std::string kanji;    // "[n]" for every bitmap handed back
  std::string console;  // messages
  int inputError;
  ConversionOptions options;  // as the directives left them
};

// How readPass reads: a stream buffer of `bufferSize` bytes (0: stdio's own) and, with `runs`,
// the kanji that follow a kanji directly taken by takeKanjiRun, as both passes take them.
struct Reading {
  std::size_t bufferSize;
  int runs;
};

// Runs one pass as the scan (outputEnabled 0, no output stream) or the conversion pass does,
// handing the reader the classes of the kanji it returned last.
Pass readPass(const std::string& input, ConversionOptions options, int outputEnabled,
              std::FILE* console = nullptr, Reading reading = {0, 1}) {
  std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  std::string buffer(reading.bufferSize, '\0');
  if (reading.bufferSize != 0) std::setvbuf(in, buffer.data(), _IOFBF, reading.bufferSize);
  testsupport::MemoryStream written;
  testsupport::MemoryStream messages;
  std::FILE* out = written.stream;
  ReaderState state;
  startPass(state, outputEnabled);
  std::string kanji;
  CharClass previous = CharClass::None;
  auto handedBack = [&](int bitmap) {
    const std::string mark = "[" + std::to_string(bitmap) + "]";
    kanji += mark;
    if (outputEnabled) std::fputs(mark.c_str(), out);
    previous = classOf(bitmap);
  };
  KanjiRun run{};
  for (;;) {
    readToNextKanji(in, outputEnabled ? out : nullptr, state, options, previous,
                    console ? console : messages.stream);
    if (state.endOfInput) break;
    handedBack(state.bitmap);
    while (reading.runs) {
      takeKanjiRun(in, state, options, run);
      for (int i = 0; i < run.count; ++i) handedBack(run.bitmaps[i]);
      if (run.count == 0) break;
      EXPECT_EQ(state.bitmap, run.bitmaps[run.count - 1]);
    }
  }
  std::fclose(in);
  return {written.text(), kanji, messages.text(), state.inputError, options};
}

// A regular expression that matches exactly `text`.
std::string exactly(const std::string& text) {
  std::string re = "^";
  for (char c : text) {
    if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) re += '\\';
    re += c;
  }
  return re + "$";
}

TEST(Reader, EucPairsAndSingleBytes) {
  struct Case {
    std::string input;
    std::string out;
  };
  const Case cases[] = {
      {"\xA1\xA1", "[1]"},
      {"\xA1\xFE", "[94]"},
      {"\xA2\xA1", "[95]"},
      {kA, "[284]"},
      {"\xF4\xA4", "[7806]"},  // row 84, cell 4: the last character
      {"\x7F\x80\xA0\xFF", "\x7F\x80\xA0\xFF"},
      // 0x8E and 0x8F are single bytes; the byte after them starts a pair afresh.
      {"\x8E" + kA, "\x8E[284]"},
      {"\x8F\xA1\xA1", "\x8F[1]"},
      // Pairs in comment lines are copied, not handed back or range-tested.
      {"%\xFE\xFE\n", "%\xFE\xFE\n"},
      {"%" + kA + "\n" + kI, "%" + kA + "\n[286]"},
      {std::string("%a\0b\n", 5), std::string("%a\0b\n", 5)},
      // Only a '%' as the first byte makes a comment line.
      {" %" + kA, " %[284]"},
      {kA + "%" + kI, "[284]%[286]"},
  };
  for (const Case& c : cases) {
    const Pass pass = readPass(c.input, testOptions(), 1);
    EXPECT_EQ(c.out, pass.out) << c.input;
    EXPECT_EQ("", pass.console) << c.input;
    EXPECT_EQ(0, pass.inputError) << c.input;
  }
}

TEST(Reader, ShiftJisPairsAndSingleBytes) {
  struct Case {
    std::string input;
    std::string out;
  };
  const Case cases[] = {
      {"\x81\x40", "[1]"},
      {"\x81\x7E", "[63]"},
      {"\x81\x80", "[64]"},  // 0x7F is skipped among the second bytes
      {"\x81\x9E", "[94]"},
      {"\x81\x9F", "[95]"},
      {"\x81\xFC", "[188]"},
      {"\x88\x9F", "[1411]"},
      {"\x9F\xFC", "[5828]"},
      {"\xE0\x40", "[5829]"},
      {"\xEA\xA2", "[7806]"},
      // Half-width katakana and the bytes outside both lead ranges stand alone.
      {"\x7F\x80\xA0\xA1\xDF\xEB\xFF", "\x7F\x80\xA0\xA1\xDF\xEB\xFF"},
      {kA, kA},
      {"\xB1\x81\x40", "\xB1[1]"},
  };
  for (const Case& c : cases) {
    const Pass pass = readPass(c.input, testOptions(0), 1);
    EXPECT_EQ(c.out, pass.out) << c.input;
    EXPECT_EQ("", pass.console) << c.input;
  }
}

TEST(Reader, BadInputEndsThePassWithItsMessage) {
  struct Case {
    int euc;
    std::string input;
    std::string out;
    std::string console;
  };
  const Case cases[] = {
      {1, "ab\xA4", "ab", kIncompleteEuc},
      {0, "ab\x81", "ab", kIncompleteSjis},
      {1, "%\xA4", "%", kIncompleteEuc},
      {1, "\xA4\xA0xyz", "", kInvalidEuc},
      {1, "\xA4\xFF", "", kInvalidEuc},
      {1, "\xA4\n", "", kInvalidEuc},
      {1, "%\xA4\xA0\n", "%", kInvalidEuc},
      {0, "\x81\x7F", "", kInvalidSjis},
      {0, "\x81\x3F", "", kInvalidSjis},
      {0, "\xEA\xFD", "", kInvalidSjis},
      {1, "\xF4\xA5", "", ".\n\aBitmap 7807 does not exist.."},
      {1, "\xFE\xFE", "", ".\n\aBitmap 8836 does not exist.."},
      {0, "\xEA\xA3", "", ".\n\aBitmap 7807 does not exist.."},
      {1, kA + "\xA4\xA0" + kI, "[284]", kInvalidEuc},
      // A form feed must be followed by a line end; it writes its own line end first.
      {1, "a\f", "a\n", kAbnormalEnd},
      {1, "a\fb\n", "a\n", kAbnormalEnd},
      {1, "\f\f\n", "\n", kAbnormalEnd},
  };
  for (const Case& c : cases) {
    for (int outputEnabled = 0; outputEnabled <= 1; ++outputEnabled) {
      const Pass pass = readPass(c.input, testOptions(c.euc), outputEnabled);
      EXPECT_EQ(outputEnabled ? c.out : "", pass.out) << c.input;
      EXPECT_EQ(c.console, pass.console) << c.input;
      EXPECT_EQ(1, pass.inputError) << c.input;
    }
  }
}

TEST(Reader, LinesFormFeedsAndTheEndOfTheFile) {
  struct Case {
    std::string input;
    std::string out;
  };
  const Case cases[] = {
      {"", ""},           {"ab", "ab"},         {"ab\n\ncd\n", "ab\n\ncd\n"},
      {"a\f\nb", "a\nb"}, {"\f\n\f\n", "\n\n"}, {"%c\f\n%d", "%c\n%d"},
  };
  for (const Case& c : cases) {
    const Pass pass = readPass(c.input, testOptions(), 1);
    EXPECT_EQ(c.out, pass.out) << c.input;
    EXPECT_EQ("", pass.console) << c.input;
    EXPECT_EQ(0, pass.inputError) << c.input;
  }
}

TEST(Reader, DirectiveTakesEffectFromTheNextLine) {
  // The comment is parsed after its line end is written; a last line without one is not parsed.
  Pass pass = readPass("%KOTOBUN /TeX\n", testOptions(), 1);
  EXPECT_EQ(
      "%KOTOBUN /TeX\n"
      "%File=japanese  Space  Added %  TeX  EUC  Extended  Font Size=1440.\n",
      pass.out);
  EXPECT_EQ(0, pass.options.latex);
  pass = readPass("%KOTOBUN /TeX", testOptions(), 1);
  EXPECT_EQ("%KOTOBUN /TeX", pass.out);
  EXPECT_EQ(1, pass.options.latex);

  // The same bytes read in one encoding, then the other, then the first again.
  const std::string input = kA + "\x88\x9F\n%KOTOBUN /MSKanji\n" + kA + "\x88\x9F\n" +
                            "%kotobun -euc\n" + kA + "\x88\x9F\n";
  pass = readPass(input, testOptions(), 0);
  EXPECT_EQ("[284][1411][284]", pass.kanji);
  EXPECT_EQ("", pass.console);
  pass = readPass(input, testOptions(0), 0);
  EXPECT_EQ("[1411][1411][284]", pass.kanji);
}

TEST(Reader, GlueAfterKanji) {
  struct Case {
    int space;
    int percent;
    std::string input;
    std::string out;
  };
  const Case cases[] = {
      // Before single-byte text on the same line: the first byte takes the glue.
      {1, 1, kMaru + "A", "[3]\\eeee{}A"},
      {1, 1, kMaru + "1", "[3]\\eeee{}1"},
      {1, 1, kMaru + "(", "[3]\\eeee("},
      {1, 1, kMaru + "\x80", "[3]\\eeee\x80"},
      {1, 1, kMaru + "%A", "[3]\\eeee%A"},
      {1, 1, kColon + "A", "[7]\\eee{}A"},
      {1, 1, kClose + "(", "[55]\\eee("},
      {1, 1, kDot + "A", "[6]\\eee{}A"},
      {1, 1, kA + "AB", "[284]\\eee{}AB"},
      {1, 1, kA + "(", "[284]("},
      {1, 1, kBlank + "A", "[1]\\eee{}A"},
      {1, 1, kOpen + "A", "[54]A"},
      {1, 1, kOpen + "(", "[54]("},
      {0, 1, kMaru + "A", "[3]A"},
      {0, 1, kColon + "A", "[7]A"},
      // With an added "%" the glue waits for what follows on a later line.
      {1, 1, kMaru + "\nabc", "[3]%\n\\eeee{}abc"},
      {1, 1, kMaru + "\f\nabc", "[3]%\n\\eeee{}abc"},
      {1, 1, kMaru + "\n%c\nA", "[3]%\n%c\n\\eeee{}A"},
      {1, 1, kMaru + "\n\n", "[3]%\n\\eeee\n\n"},
      {1, 1, kColon + "\n\nA", "[7]%\n\\eee\n\nA"},
      {1, 1, kA + "\n\n", "[284]%\n\n"},
      {1, 1, kA + "\n" + kI, "[284]%\n[286]"},
      {1, 1, kMaru + " \nA", "[3]\\eeee \nA"},
      {1, 1, kMaru + "\n%c", "[3]%\n%c"},
      {0, 1, kMaru + "\nA", "[3]%\nA"},
      // Without it the line end takes the glue.
      {1, 0, kMaru + "\nA", "[3]\\eeee\nA"},
      {1, 0, kClose + "\nA", "[55]\\eee\nA"},
      {1, 0, kA + "\nA", "[284]\nA"},
      {1, 0, kMaru + "\n\nA", "[3]\\eeee\n\nA"},
      {1, 0, kA + "\n" + kI, "[284]\n[286]"},
      {0, 0, kMaru + "\nA", "[3]\nA"},
      // A last line without a line end gets nothing.
      {1, 1, kMaru, "[3]"},
      {1, 0, kMaru, "[3]"},
      // The start of the file follows no kanji.
      {1, 1, "A", "A"},
      {1, 1, "%c\n1", "%c\n1"},
  };
  for (const Case& c : cases) {
    ConversionOptions options = testOptions();
    options.space = c.space;
    options.percent = c.percent;
    EXPECT_EQ(c.out, readPass(c.input, options, 1).out)
        << c.input << " space " << c.space << " percent " << c.percent;
  }
}

TEST(Reader, NonStandardBitmapWarning) {
  struct Case {
    int bitmap;
    int warns;
  };
  const Case cases[] = {
      {108, 0},  {109, 1},  {119, 1},  {120, 0},  {187, 1},  {188, 0},  {189, 1},  {203, 1},
      {204, 0},  {365, 0},  {366, 1},  {376, 1},  {377, 0},  {469, 1},  {690, 0},  {691, 1},
      {1410, 1}, {1411, 0}, {4375, 0}, {4376, 1}, {4418, 1}, {4419, 0}, {7806, 0},
  };
  ConversionOptions standard = testOptions();
  standard.extended = 0;
  for (const Case& c : cases) {
    const Pass pass = readPass(eucOf(c.bitmap), standard, 0);
    EXPECT_EQ(c.warns ? warningFor(c.bitmap) : "", pass.console) << c.bitmap;
    EXPECT_EQ("[" + std::to_string(c.bitmap) + "]", pass.kanji);
    EXPECT_EQ(0, pass.inputError);
  }

  // Every occurrence, in the scan under "Standard" only.
  const std::string input = eucOf(110) + "a\n" + eucOf(110) + kA + eucOf(110);
  EXPECT_EQ(warningFor(110) + warningFor(110) + warningFor(110),
            readPass(input, standard, 0).console);
  EXPECT_EQ("", readPass(input, standard, 1).console);
  EXPECT_EQ("", readPass(input, testOptions(), 0).console);
  // Not in comment lines.
  EXPECT_EQ("", readPass("%" + eucOf(110) + "\n", standard, 0).console);
}

TEST(Reader, CommentLineLimit) {
  const std::string fill(300, 'x');
  struct Case {
    std::string comment;  // a comment line without its line end
    int tooLongAfter;     // bytes collected when the line is found too long; 0: accepted
  };
  const Case cases[] = {
      {"%" + fill.substr(0, 252), 0},
      {"%" + fill.substr(0, 253), 0},
      {"%" + fill.substr(0, 254), 254},
      {"%" + fill.substr(0, 251) + kA, 0},  // a pair that makes 254 bytes
      {"%" + fill.substr(0, 252) + kA, 253},
      {"%" + fill.substr(0, 253) + kA, 254},
      // After a pair the rest of the line is taken in runs, which stop at the limit.
      {"%" + kA + fill.substr(0, 251), 0},
      {"%" + kA + fill.substr(0, 252), 254},
      {"%" + kA + fill.substr(0, 249) + kA, 0},
      {"%" + kA + fill.substr(0, 250) + kA, 253},
  };
  for (const Case& c : cases) {
    const std::string input = c.comment + "\n";
    if (c.tooLongAfter == 0) {
      EXPECT_EQ(input, readPass(input, testOptions(), 1).out);
      continue;
    }
    const std::string message =
        ".\n\aComment too long: " + c.comment.substr(0, static_cast<std::size_t>(c.tooLongAfter)) +
        "...\n";
    for (int outputEnabled = 0; outputEnabled <= 1; ++outputEnabled) {
      EXPECT_EXIT(readPass(input, testOptions(), outputEnabled, stderr),
                  ::testing::ExitedWithCode(1), exactly(message))
          << c.comment.size();
    }
  }
}

// UTF-8 input. Bitmap numbers by row and cell.
constexpr int place(int row, int cell) { return (row - 1) * 94 + cell; }

std::string mark(int bitmap) { return "[" + std::to_string(bitmap) + "]"; }

std::string getaWarning(const char* codePoint, int line, int column) {
  return ".\nWarning! No JIS X 0208 place for U+" + std::string(codePoint) + " in line " +
         std::to_string(line) + ", column " + std::to_string(column) + ": set as the geta mark";
}

TEST(Reader, Utf8Characters) {
  struct Case {
    std::string input;
    std::string out;      // the conversion pass, LaTeX output
    std::string console;  // the scan's warnings
  };
  const std::string geta = mark(kGetaBitmap);
  const Case cases[] = {
      {"abc ~\\%", "abc ~\\%", ""},
      {"あ漢", mark(284) + mark(place(20, 33)), ""},
      // Punctuation of every class: stop, colon, opening, closing, middle dot, none.
      {"。：「」・々", mark(3) + mark(7) + mark(54) + mark(55) + mark(6) + mark(25), ""},
      // EUC-JP's own characters and, where it has none, Windows' code page 932.
      {"〜～‖∥−－―—",
       mark(33) + mark(33) + mark(34) + mark(34) + mark(61) + mark(61) + mark(29) + mark(29), ""},
      {"¢￠£￡¬￢",
       mark(81) + mark(81) + mark(82) + mark(82) + mark(place(2, 44)) + mark(place(2, 44)), ""},
      {"①Ⅳ㍉", mark(place(13, 1)) + mark(place(13, 24)) + mark(place(13, 32)), ""},
      {"Αд", mark(place(6, 1)) + mark(place(7, 53)), ""},
      // Half-width katakana, with a voiced or semi-voiced mark joined where JIS has the form.
      {"ｶｶﾞﾊﾊﾞﾊﾟｳﾞ",
       mark(place(5, 11)) + mark(place(5, 12)) + mark(place(5, 47)) + mark(place(5, 48)) +
           mark(place(5, 49)) + mark(place(5, 84)),
       ""},
      {"ｱﾞｶﾟﾞﾟ", mark(place(5, 2)) + mark(11) + mark(place(5, 11)) + mark(12) + mark(11) + mark(12),
       ""},
      {"｡｢｣､･ｦｧｰ",
       mark(3) + mark(54) + mark(55) + mark(2) + mark(6) + mark(place(5, 82)) + mark(place(5, 1)) +
           mark(28),
       ""},
      // What follows a kana that a mark could join is read as it comes.
      {"ｶﾀ", mark(place(5, 11)) + mark(place(5, 31)), ""},
      {"ｶｶ", mark(place(5, 11)) + mark(place(5, 11)), ""},
      {"ｶｶｶ", mark(place(5, 11)) + mark(place(5, 11)) + mark(place(5, 11)), ""},
      {"ｶﾀﾞｶﾞ", mark(place(5, 11)) + mark(place(5, 32)) + mark(place(5, 12)), ""},
      {"ｶ\uFFE0", mark(place(5, 11)) + mark(81), ""},
      {"ｶa", mark(place(5, 11)) + "\\eee{}a", ""},
      {"ｶ\n", mark(place(5, 11)) + "%\n", ""},
      {"ｶ", mark(place(5, 11)), ""},
      {"ｶﾞﾞ", mark(place(5, 12)) + mark(11), ""},
      // A byte order mark at the start of the file is dropped; elsewhere it has no place.
      {"\uFEFF%c\nあ", "%c\n" + mark(284), ""},
      {"a\uFEFF", "a" + geta, getaWarning("FEFF", 1, 2)},
      // No place: the geta mark, and a warning with the line, the column and the code point.
      {"𠮷", geta, getaWarning("20BB7", 1, 1)},
      {"ab\nあいう😀", "ab\n" + mark(284) + mark(286) + mark(288) + geta,
       getaWarning("1F600", 2, 4)},
      {"凜熙丂", geta + geta + geta,
       getaWarning("51DC", 1, 1) + getaWarning("7199", 1, 2) + getaWarning("4E02", 1, 3)},
      {"ｶﾞ😀", mark(place(5, 12)) + geta, getaWarning("1F600", 1, 3)},
      // TeX text for what the document's fonts set; an accented letter counts as a letter.
      {"café ©\u00A0a\u2013b", "caf\\'e \\copyright{}~a--b", ""},
      {"あé", mark(284) + "\\eee{}\\'e", ""},
      {"あ•", mark(284) + "\\textbullet{}", ""},
      {"。ß", mark(3) + "\\eeee{}\\ss{}", ""},
      // Comment lines pass through as they are, whatever their characters.
      {"%あé😀\n", "%あé😀\n", ""},
  };
  for (const Case& c : cases) {
    const Pass scan = readPass(c.input, testOptions(kUtf8), 0);
    EXPECT_EQ(c.console, scan.console) << c.input;
    const Pass pass = readPass(c.input, testOptions(kUtf8), 1);
    EXPECT_EQ(c.out, pass.out) << c.input;
    EXPECT_EQ("", pass.console) << c.input;
    EXPECT_EQ(scan.kanji, pass.kanji) << c.input;
    EXPECT_EQ(0, scan.inputError + pass.inputError) << c.input;
  }

  // Plain TeX output takes the same characters as TeX text, in plain TeX's own terms.
  ConversionOptions plain = testOptions(kUtf8);
  plain.latex = 0;
  EXPECT_EQ("\\'e\\copyright{}$\\bullet$?`", readPass("é©•¿", plain, 1).out);
}

TEST(Reader, Utf8TexTextsAreForCharactersWithoutAPlace) {
  for (const TexText& text : kTexTexts) {
    const char32_t c = text.codePoint;
    EXPECT_EQ(0, kUnicodePlaces[kUnicodePages[c >> 8]][c & 0xFF])
        << std::hex << static_cast<unsigned>(c);
    EXPECT_FALSE(text.latex.empty() || text.plain.empty()) << std::hex << static_cast<unsigned>(c);
  }
  for (const auto& page : kUnicodePlaces) {
    for (int entry : page) EXPECT_LE(entry & kPlaceBits, kLastBitmap);
  }
}

TEST(Reader, Utf8BrokenSequencesEndThePass) {
  struct Case {
    std::string input;
    std::string out;
    std::string console;
  };
  auto invalid = [](const char* byte, int line) {
    return ".\n\aInvalid UTF-8 byte 0x" + std::string(byte) + " in line " + std::to_string(line) +
           "..";
  };
  auto cut = [](int line) {
    return ".\n\aIncomplete UTF-8 character in line " + std::to_string(line) + "..";
  };
  const Case cases[] = {
      // Bytes that begin no character.
      {"a\x80", "a", invalid("80", 1)},
      {"\xBF", "", invalid("BF", 1)},
      {"\xC0\xAF", "", invalid("C0", 1)},  // overlong
      {"\xC1\xBF", "", invalid("C1", 1)},
      {"\xF5\x80\x80\x80", "", invalid("F5", 1)},
      {"\xFF", "", invalid("FF", 1)},
      // A second byte out of its range: overlong, surrogate, beyond U+10FFFF.
      {"\xE0\x9F\xBF", "", invalid("E0", 1)},
      {"\xED\xA0\x80", "", invalid("ED", 1)},
      {"\xF0\x8F\xBF\xBF", "", invalid("F0", 1)},
      {"\xF4\x90\x80\x80", "", invalid("F4", 1)},
      // A missing continuation byte at every place.
      {"\xC3(", "", invalid("C3", 1)},
      {"\xC3\n", "", invalid("C3", 1)},
      {"\xE3(\x82", "", invalid("E3", 1)},
      {"\xE3\x81(", "", invalid("E3", 1)},
      {"\xF0\x9F\x98(", "", invalid("F0", 1)},
      {"\xE3\x81\x82\xE3\x81", mark(284), cut(1)},
      {"\xC3", "", cut(1)},
      {"\xF0\x9F\x98", "", cut(1)},
      {"a\nb\n\xC3(", "a\nb\n", invalid("C3", 3)},
      // After a half-width kana, whose mark the reader looks for first.
      {"ｶ\xEF", mark(place(5, 11)), cut(1)},
      {"ｶ\xEF(", mark(place(5, 11)), invalid("EF", 1)},
      {"ｶ\xEF\xBE", mark(place(5, 11)), cut(1)},
      {"ｶ\xEF\xBE(", mark(place(5, 11)), invalid("EF", 1)},
      {"ｶ\x80", mark(place(5, 11)), invalid("80", 1)},
      // Comment lines pass through, but must be UTF-8.
      {"%\xC3(\n", "%", invalid("C3", 1)},
  };
  for (const Case& c : cases) {
    for (int outputEnabled = 0; outputEnabled <= 1; ++outputEnabled) {
      const Pass pass = readPass(c.input, testOptions(kUtf8), outputEnabled);
      EXPECT_EQ(outputEnabled ? c.out : "", pass.out) << c.input;
      EXPECT_EQ(c.console, pass.console) << c.input;
      EXPECT_EQ(1, pass.inputError) << c.input;
    }
  }
}

TEST(Reader, Utf8CommentLineLimit) {
  const std::string fill(300, 'x');
  // Two-byte characters: 253 bytes take one more, 254 none.
  const std::string accepted = "%" + fill.substr(0, 251) + "é\n";
  EXPECT_EQ(accepted, readPass(accepted, testOptions(kUtf8), 1).out);
  EXPECT_EXIT(readPass("%" + fill.substr(0, 252) + "é\n", testOptions(kUtf8), 1, stderr),
              ::testing::ExitedWithCode(1),
              exactly(".\n\aComment too long: %" + fill.substr(0, 252) + "...\n"));
}

TEST(Reader, Utf8DirectiveSwitchesTheEncoding) {
  // The same character in EUC, then UTF-8 from the line after the directive, then EUC again.
  const std::string input =
      kA + "\n%KOTOBUN /UTF8\nあ\n%KOTOBUN /EUC\n" + kA + "\n%KOTOBUN /UTF8\n" + kA;
  const Pass pass = readPass(input, testOptions(), 0);
  EXPECT_EQ("[284][284][284]", pass.kanji);
  EXPECT_EQ(".\n\aInvalid UTF-8 byte 0xA4 in line 7..", pass.console);
}

TEST(Reader, BlockEndsAndKanjiRunsChangeNothing) {
  // Every way of cutting the input into blocks, with and without runs, reads as one byte at a
  // time through a large buffer does: pairs, UTF-8 characters and marks across block ends, runs
  // that meet single bytes, line ends, comment lines, warnings and bad input.
  const std::string kanjiRun = kA + kI + kMaru + kOpen + kA + kClose + kDot + kColon + kBlank;
  struct Case {
    int encoding;
    int extended;
    std::string input;
  };
  const Case cases[] = {
      {kEuc, 1, kanjiRun + "ab " + kanjiRun + "\n" + kanjiRun + "\n%" + kanjiRun + "\n\n" + kA},
      {kEuc, 1, std::string(150, '\xA4') + "x" + kA + "\x0C\n" + kI + "%" + kMaru + "\x0C"},
      {kEuc, 0, kA + eucOf(110) + kI + eucOf(187) + eucOf(188) + "\n" + eucOf(110)},
      {kEuc, 1, kA + kI + "\xA4\xA0" + kA},
      {kEuc, 1, kA + kI + "\xF4\xA5"},
      {kEuc, 1, kA + kI + kMaru + "\xA4"},
      {kEuc, 1, "%KOTOBUN /MSKanji\n" + kA + "\n\x88\x9F\x81\x40\x81\x7F"},
      {kShiftJis, 1,
       "\x88\x9F\x81\x40\xE0\x40"
       "a\x81\x9F\xEA\xA4\n\x81"},
      {kShiftJis, 0, "\x88\x9F\x81\xA0\x81\x40"},
      {kUtf8, 1, "あいう、漢字。 abc「カナ」\nｶﾞｶｶﾟｶﾀﾞﾊﾟ😀é\n%あい\n\uFEFFあ"},
      {kUtf8, 1, "\uFEFFあｶ\xEF\xBE"},
      {kUtf8, 1, "あｶ\xEF"},
      {kUtf8, 1, "あい\xE3\x81"},
      {kUtf8, 0, "あ\xE2\x85\xB0い"},
  };
  for (const Case& c : cases) {
    ConversionOptions options = testOptions(c.encoding);
    options.extended = c.extended;
    for (int outputEnabled = 0; outputEnabled <= 1; ++outputEnabled) {
      const Pass byBytes = readPass(c.input, options, outputEnabled, nullptr, {0, 0});
      for (std::size_t bufferSize : {1, 2, 3, 4, 5, 7, 8, 9, 64}) {
        for (int runs = 0; runs <= 1; ++runs) {
          const Pass pass = readPass(c.input, options, outputEnabled, nullptr, {bufferSize, runs});
          const std::string where = c.input + ", buffer " + std::to_string(bufferSize) + ", runs " +
                                    std::to_string(runs) + ", output " +
                                    std::to_string(outputEnabled);
          EXPECT_EQ(byBytes.out, pass.out) << where;
          EXPECT_EQ(byBytes.kanji, pass.kanji) << where;
          EXPECT_EQ(byBytes.console, pass.console) << where;
          EXPECT_EQ(byBytes.inputError, pass.inputError) << where;
        }
      }
    }
  }
}

TEST(Reader, FailedReadOrWriteEndsTheProgramSilently) {
  char buffer[16] = "abc";
  ConversionOptions options = testOptions();
  ReaderState state;
  startPass(state, 1);
  std::FILE* writeOnly = fmemopen(buffer, sizeof buffer, "w");
  EXPECT_EXIT(readToNextKanji(writeOnly, stdout, state, options, CharClass::None, stderr),
              ::testing::ExitedWithCode(1), "^$");
  std::fclose(writeOnly);
  std::FILE* in = fmemopen(buffer, 3, "r");
  std::FILE* readOnly = fmemopen(buffer + 8, 8, "r");
  EXPECT_EXIT(readToNextKanji(in, readOnly, state, options, CharClass::None, stderr),
              ::testing::ExitedWithCode(1), "^$");
  std::fclose(readOnly);
  std::fclose(in);
}

}  // namespace
}  // namespace kotobun
