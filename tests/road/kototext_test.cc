// kototext_test.cc - kototext's units: the encoding found, the bytes refused, and the document
// written: escapes, break points, line lengths and paragraphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "road/char_class.h"
#include "road/latex_text.h"
#include "road/text_decoder.h"
#include "road/text_options.h"

namespace {

using kototext::Encoding;

const kototext::ClassTable& classes() {
  static kototext::ClassTable table;
  static const int filled = kototext::fillClassTable(table);
  EXPECT_EQ(1, filled);
  return table;
}

// The body that the writer makes of the UTF-8 text `text`, without the line that ends the
// document.
std::string body(std::string_view text, int lineParagraphs = 0) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  kototext::TextWriter writer;
  kototext::startText(writer, classes(), lineParagraphs);
  kototext::writeUtf8(out, writer, text);
  kototext::endDocument(out, writer);
  std::fclose(out);
  std::string result(data, size);
  std::free(data);
  const std::string end = "\\end{document}\n";
  EXPECT_EQ(end, result.substr(result.size() - end.size()));
  return result.substr(0, result.size() - end.size());
}

// Converts `bytes` from `encoding` in chunks of `chunk` bytes; the decoder keeps its state.
std::string decode(kototext::Decoder& decoder, Encoding encoding, std::string_view bytes,
                   std::size_t chunk = kototext::kChunkSize) {
  EXPECT_EQ(1, kototext::openDecoder(decoder, encoding));
  std::string text;
  std::size_t at = 0;
  do {
    const std::size_t size = std::min(chunk, bytes.size() - at);
    const int end = at + size == bytes.size();
    const std::size_t made = kototext::decodeChunk(decoder, bytes.data() + at, size, end);
    text.append(decoder.output, made);
    at += size;
  } while (at < bytes.size());
  kototext::closeDecoder(decoder);
  return text;
}

TEST(Detection, EachEncodingAndTheAmbiguousCases) {
  struct Case {
    std::string_view bytes;
    Encoding encoding;
    int valid;
  } cases[] = {
      {"plain ASCII\n", Encoding::Utf8, 1},
      {"\xE5\x90\xBE\xE8\xBC\xA9\xE3\x81\xAF\xE7\x8C\xAB", Encoding::Utf8, 1},  // 吾輩は猫
      {"\xEF\xBB\xBF\x82\xA0", Encoding::Utf8, 1},  // a byte order mark wins over what follows
      {"\x8C\xE1\x94\x79\x82\xCD\x94\x4C", Encoding::ShiftJis, 1},  // 吾輩は猫 in Shift-JIS
      {"\xB8\xE3\xC7\xDA\xA4\xCF\xC7\xAD", Encoding::Euc, 1},       // in EUC-JP
      // あいう in EUC-JP is half-width katakana in Shift-JIS too: the kana decide.
      {"\xA4\xA2\xA4\xA4\xA4\xA6", Encoding::Euc, 1},
      // 表示 in Shift-JIS reads in EUC-JP as a control, a backslash and a half-width katakana.
      {"\x95\x5C\x8E\xA6", Encoding::ShiftJis, 1},
      // 表 alone is a control and a backslash in EUC-JP: a tie, which Shift-JIS takes.
      {"\x95\x5C", Encoding::ShiftJis, 1},
      {"\x87\x40", Encoding::ShiftJis, 1},  // ① from Windows' row 13
      {"ok\n\xFF\xFF", Encoding::Utf8, 0},  // valid in none
  };
  for (const Case& c : cases) {
    std::FILE* in = fmemopen(const_cast<char*>(c.bytes.data()), c.bytes.size(), "rb");
    kototext::Detection found;
    EXPECT_EQ(1, kototext::detectEncoding(in, found));
    std::fclose(in);
    EXPECT_EQ(c.valid, found.valid) << c.bytes;
    if (c.valid) {
      EXPECT_EQ(c.encoding, found.encoding) << c.bytes;
    }
  }
}

TEST(Decoder, BadBytesNamedByLineAndByte) {
  struct Case {
    Encoding encoding;
    std::string_view bytes;
    int cutAtEnd;
    long line;
    long byte;
    unsigned value;
  } cases[] = {
      {Encoding::ShiftJis, "ab\r\ncd\x81\x7F", 0, 2, 3, 0x81},  // 0x7F is no trail byte
      {Encoding::ShiftJis, "a\rb\n\n\xA4\xA2\x82", 1, 4, 3, 0x82},
      {Encoding::Euc, "\xA4\xA2\n\xA4", 1, 2, 1, 0xA4},
      {Encoding::Euc, "x\xA4\x41", 0, 1, 2, 0xA4},
      {Encoding::Utf8, "x\n\xE3\x81", 1, 2, 1, 0xE3},
      {Encoding::Utf8, "\xC0\x80", 0, 1, 1, 0xC0},      // an overlong form
      {Encoding::Utf8, "\xED\xA0\x80", 0, 1, 1, 0xED},  // a surrogate
  };
  for (const Case& c : cases) {
    static kototext::Decoder decoder;
    decode(decoder, c.encoding, c.bytes);
    EXPECT_EQ(1, decoder.failed) << c.bytes;
    EXPECT_EQ(c.cutAtEnd, decoder.cutAtEnd) << c.bytes;
    EXPECT_EQ(c.line, decoder.errorLine) << c.bytes;
    EXPECT_EQ(c.byte, decoder.errorByte) << c.bytes;
    EXPECT_EQ(c.value, decoder.errorValue) << c.bytes;
  }
}

TEST(Decoder, CharactersCutByChunksStayWhole) {
  static kototext::Decoder decoder;
  // 表 (0x95 0x5C) and ｱ, one byte a chunk: the backslash is the trail byte, never a character.
  EXPECT_EQ("\xE8\xA1\xA8\xEF\xBD\xB1\\",
            decode(decoder, Encoding::ShiftJis, "\x95\x5C\xB1\x5C", 1));
  EXPECT_EQ(0, decoder.failed);
  EXPECT_EQ("\xE3\x81\x82", decode(decoder, Encoding::Euc, "\xA4\xA2", 1));
  EXPECT_EQ("\xE3\x81\x82", decode(decoder, Encoding::Utf8, "\xE3\x81\x82", 2));
  EXPECT_EQ(0, decoder.failed);
}

TEST(LatexText, EverySpecialSetAsItself) {
  struct Case {
    std::string_view text;
    std::string_view written;
  } cases[] = {
      {"\\", "\\textbackslash{}"},
      {"{}", "\\{\\}"},
      {"$&#", "{\\char36}\\&\\#"},
      {"^_%~", "\\kt{94}\\_\\%\\kt{126}"},
      {"<>|\"", "\\textless{}\\textgreater{}\\textbar{}\\kt{34}"},
      {"a--b---c", "a-{}-b-{}-{}-c"},
      {"``x''", "`{}`x'{}'"},
      {"!`?`", "!{}`?{}`"},
      {"% not a comment", "\\% not a comment"},
      {"\xE8\xA1\xA8\\", "\xE8\xA1\xA8\\textbackslash{}"},  // 表 then a backslash
      {"\xEF\xBB\xBF"
       "a\tb\x01\x1A",
       "a b"},  // byte order mark, tab, controls, Ctrl-Z
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(c.written) + "\n\n", body(c.text)) << c.text;
  }
  EXPECT_EQ("\\null\n", body(""));  // an empty text still makes a page
  // 表 in Shift-JIS ends in the byte of a backslash: it stays a kanji, and the backslash after
  // it is one.
  static kototext::Decoder decoder;
  EXPECT_EQ("\xE8\xA1\xA8\\textbackslash{}\n\n",
            body(decode(decoder, Encoding::ShiftJis, "\x95\x5C\x5C")));
}

TEST(LatexText, BreakPointsWhereKotobunPutsNone) {
  struct Case {
    std::string_view text;
    std::string_view written;
  } cases[] = {
      {"１２", "１\\kb{1}２"},  // full-width digits: kotobun writes \ee between them
      {"━━", "━\\kb{1}━"},      // box drawing
      {"ー１", "ー\\kb{1}１"},  // the long-vowel mark is no kana to kotobun
      {"１「", "１\\kb{0}「"},  // kotobun writes \eee before the bracket itself
      {"。１", "。\\kc{3}１"},  // the break goes before the \eeee after the stop
      {"。「", "。\\kc{4}「"},  // \eeee made of the \eee kotobun adds and 0.6em
      {"」「", "」\\kc{0}「"},  // kotobun's own \eee before the bracket
      {"」１", "」\\kc{2}１"},
      {"：１", "：\\kc{2}１"},
      {"あい", "あい"},  // kotobun breaks beside a kana itself
      {"ｱｲ", "ｱｲ"},      // half-width kana too
      {"１。", "１。"},  // never before a stop, colon, middle dot or closing bracket
      {"１」", "１」"},
      {"１・", "１・"},
      {"「１", "「１"},  // never after an opening bracket
      {"\xF0\xA0\xAE\xB7\xF0\xA0\xAE\xB7", "\xF0\xA0\xAE\xB7\\kb{1}\xF0\xA0\xAE\xB7"},  // 𠮷𠮷
      {"1１", "1１"},  // between ASCII and Japanese only in long runs
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(c.written) + "\n\n", body(c.text)) << c.text;
  }
  // A long run of ASCII and full-width letters gets a break after 20 characters, with the glue
  // kotobun writes between a letter and a Japanese character, \eee; the glue of a stop before.
  std::string run;
  for (int i = 0; i < 9; ++i) run += "xａ";
  EXPECT_EQ(37u, body(run + "xａxａ").find("ａ\\kb{2}x"));  // after the 20th character
  EXPECT_EQ(std::string::npos, body(run + "x").find("\\kb"));
  EXPECT_EQ(37u, body(run + "x。x").find("。\\kc{3}x"));
  // A long URL breaks after its slashes and dots, and a long word every 20 characters.
  EXPECT_EQ("https://example.\\kb{0}org/\\kb{0}a\n\n", body("https://example.org/a"));
  EXPECT_EQ("aaaaaaaaaaaaaaaaaaaa\\kb{0}a\n\n", body(std::string(21, 'a')));
}

// Every output line holds at most a few hundred bytes, none begins with a space or a "%", and
// the text comes back when the line ends and the inserted macros are taken out.
void expectShortLines(const std::string& text, const std::string& written) {
  std::size_t start = 0;
  std::string joined;
  while (start < written.size()) {
    const std::size_t end = written.find('\n', start);
    std::string line = written.substr(start, end - start);
    EXPECT_LE(line.size(), kototext::kHardLine + 40);
    if (!line.empty()) {
      EXPECT_NE(' ', line[0]);
      EXPECT_NE('%', line[0]);
    }
    if (!line.empty() && line.back() == '%') line.pop_back();
    joined += line;
    start = end + 1;
  }
  for (const std::string_view macro :
       {"\\kb{0}", "\\kb{1}", "\\kb{2}", "\\kc{0}", "\\kc{2}", "\\kc{3}", "\\kc{4}", "{}"}) {
    for (std::size_t at = joined.find(macro); at != std::string::npos; at = joined.find(macro)) {
      joined.erase(at, macro.size());
    }
  }
  EXPECT_EQ(text, joined);
}

TEST(LatexText, LongLinesWrapped) {
  std::string kanji;
  std::string digits;
  std::string mixed;
  for (int i = 0; i < 20000; ++i) {
    kanji += i % 7 == 6 ? "。" : "漢";
    digits += "１";
    mixed += i % 2 ? "ａ" : "x";
  }
  std::string words = [] {
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "word ";
    return text + "end";
  }();
  std::string x(20000, 'x');
  for (const std::string* text : {&kanji, &digits, &mixed, &words, &x}) {
    expectShortLines(*text, body(*text));
  }
}

// The same for random runs of characters of every class, ASCII without TeX's specials among
// them, in one line, so that every pair of classes meets at every place of an output line.
TEST(LatexText, RandomRunsWrapped) {
  constexpr std::string_view kPalette[] = {"a",
                                           "Z",
                                           "7",
                                           ".",
                                           "/",
                                           "-",
                                           "(",
                                           "\xE3\x80\x82",
                                           "\xE3\x80\x81",  // 。、
                                           "\xEF\xBC\x9A",
                                           "\xE3\x83\xBB",
                                           "\xE3\x80\x8C",
                                           "\xE3\x80\x8D",  // ：・「」
                                           "\xE3\x81\x82",
                                           "\xE6\xBC\xA2",
                                           "\xEF\xBC\x91",
                                           "\xE2\x94\x81",  // あ漢１━
                                           "\xEF\xBD\xB1",
                                           "\xC3\xA9",
                                           "\xF0\xA0\xAE\xB7",
                                           "\xE3\x83\xBC"};  // ｱé𠮷ー
  unsigned seed = 12345;
  for (int round = 0; round < 20; ++round) {
    std::string text;
    for (int i = 0; i < 3000; ++i) {
      seed = seed * 1103515245 + 12345;
      const unsigned pick = (seed >> 16) % std::size(kPalette);
      // Runs of one character now and then, so that long runs of one class occur.
      const int run = (seed >> 8) % 16 == 0 ? 30 : 1;
      for (int k = 0; k < run; ++k) text += kPalette[pick];
    }
    expectShortLines(text, body(text));
  }
}

TEST(LatexText, Paragraphs) {
  struct Case {
    std::string_view text;
    int lineParagraphs;
    std::string_view written;
  } cases[] = {
      // Blank lines end paragraphs; a line end is a space after ASCII, nothing after Japanese.
      {"a\nb\n\n\n  c\n", 0, "a b\n\nc\n\n"},
      {"あ\nい\r\nう \nx\n \t\nz", 0, "あいう x\n\nz\n\n"},
      {"a\r\rb", 0, "a\n\nb\n\n"},
      // Every line a paragraph; a blank line leaves one.
      {"a\nb\n\nc", 1, "a\n\nb\n\n\\kl\nc\n\n"},
      {"　あ。\n　い。\n", 1, "　あ。\n\n　い。\n\n"},
      {"a\fb", 0, "a\n\n\\newpage\nb\n\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.written, body(c.text, c.lineParagraphs)) << c.text;
  }
}

TEST(LatexText, DocumentStart) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  kototext::writeDocumentStart(out, {kototext::Paper::B5, 12, 1728, 1});
  std::fclose(out);
  const std::string start(data, size);
  std::free(data);
  EXPECT_EQ(0u, start.find("%KOTOBUN /UTF8 /LaTeX /Space /Percent /1728\n"
                           "\\documentclass[b5paper,12pt]{article}\n"));
  EXPECT_EQ(start.size() - 17, start.find("\\begin{document}\n"));
}

TEST(TextOptions, ValuesAndDefaults) {
  struct Case {
    std::vector<const char*> args;
    kototext::Request request;
    Encoding encoding;
    int pointSize;
    int magnification;
  } cases[] = {
      {{"in", "out"}, kototext::Request::Run, Encoding::Detect, 10, 1440},
      {{"--size=12", "in", "-"}, kototext::Request::Run, Encoding::Detect, 12, 1728},
      {{"--encoding", "sjis", "--magnification=2074", "in", "out"},
       kototext::Request::Run,
       Encoding::ShiftJis,
       10,
       2074},
      {{"--size=9", "in", "out"}, kototext::Request::BadUsage, Encoding::Detect, 0, 0},
      {{"--magnification=1441", "in", "out"}, kototext::Request::BadUsage, Encoding::Detect, 0, 0},
      {{"--paper"}, kototext::Request::BadUsage, Encoding::Detect, 0, 0},
      {{"in"}, kototext::Request::BadUsage, Encoding::Detect, 0, 0},
      {{"a", "b", "c"}, kototext::Request::BadUsage, Encoding::Detect, 0, 0},
  };
  for (Case& c : cases) {
    c.args.insert(c.args.begin(), "kototext");
    kototext::TextOptions options;
    std::FILE* err = std::fopen("/dev/null", "w");
    const kototext::Request request = kototext::parseArguments(
        static_cast<int>(c.args.size()), const_cast<char**>(c.args.data()), options, err);
    std::fclose(err);
    EXPECT_EQ(c.request, request) << c.args[1];
    if (request != kototext::Request::Run) continue;
    EXPECT_EQ(c.encoding, options.encoding);
    EXPECT_EQ(c.pointSize, options.document.pointSize);
    EXPECT_EQ(c.magnification, options.document.magnification);
  }
}

}  // namespace
