// encoding_test.cc - glyph names from iconv, and the encoding, subfont, CMap and map files made of
// them.
#include "fontkit/encoding.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const fontkit::CodePoints& codePoints() {
  static fontkit::CodePoints points;
  static const int filled = fontkit::fillCodePoints(points);
  EXPECT_EQ(1, filled);
  return points;
}

constexpr int bitmapOf(int lead, int trail) { return (lead - 0xA1) * 94 + (trail - 0xA0); }

TEST(Encoding, CodePointsFromIconv) {
  struct Case {
    int lead;
    int trail;
    std::uint32_t codePoint;  // 0: no character at this position
  } cases[] = {
      {0xA1, 0xA1, 0x3000},                        // ideographic space, bitmap 1
      {0xA1, 0xC1, 0x301C},                        // wave dash, as glibc maps it
      {0xA1, 0xC2, 0x2016},                        // double vertical line: EUC-JP's, not CP932's
      {0xA1, 0xDD, 0x2212},                        // minus sign: EUC-JP's, not CP932's
      {0xA2, 0xCC, 0x00AC},                        // not sign: EUC-JP's, not CP932's
      {0xA2, 0xAE, 0x3013},                        // geta mark, the last of row 2's first run
      {0xA2, 0xAF, 0},                             // row 2 cell 15: empty
      {0xA4, 0xA2, 0x3042},                        // hiragana "a", bitmap 284
      {0xA8, 0xC0, 0x2542},                        // the last box-drawing piece, row 8 cell 32
      {0xA8, 0xC1, 0},      {0xA9, 0xA1, 0},       // rows 9 to 15 are empty in EUC-JP
      {0xAD, 0xA1, 0x2460},                        // row 13 from CP932: circled digit one
      {0xAD, 0xB5, 0x2160},                        // Roman numeral one, cell 21
      {0xAD, 0xBF, 0},                             // cell 31: empty in CP932 too
      {0xAD, 0xC0, 0x3349},                        // square "milli", cell 32
      {0xAD, 0xE0, 0x301D},                        // reversed double prime quotation, cell 64
      {0xAD, 0xF0, 0x2252},                        // nearly equal: also at row 2 cell 82
      {0xAD, 0xFC, 0x222A},                        // union, cell 92, the last of the row
      {0xAD, 0xFD, 0},      {0xAE, 0xA1, 0},       // cell 93 and row 14 are empty
      {0xB0, 0xA1, 0x4E9C},                        // the first kanji, row 16 cell 1
      {0xCF, 0xD3, 0x8155},                        // the last kanji of level 1, row 47 cell 51
      {0xCF, 0xD4, 0},      {0xD0, 0xA1, 0x5F0C},  // the first kanji of level 2
      {0xF4, 0xA4, 0x7464},                        // the last position, bitmap 7806
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.codePoint, codePoints()[static_cast<std::size_t>(bitmapOf(c.lead, c.trail))])
        << std::hex << c.lead << c.trail;
  }
  int characters = 0;
  for (std::uint32_t point : codePoints()) characters += point != 0;
  EXPECT_EQ(6877 + 83, characters);  // JIS X 0208 up to row 84 cell 4, and CP932's row 13
}

TEST(Encoding, CodePointByBlockAndCode) {
  EXPECT_EQ(0u, fontkit::codePointAt(codePoints(), 0, 0));  // no bitmap 0
  EXPECT_EQ(0x3000u, fontkit::codePointAt(codePoints(), 0, 1));
  EXPECT_EQ(0x3042u, fontkit::codePointAt(codePoints(), 2, 28));
  EXPECT_EQ(0x7464u, fontkit::codePointAt(codePoints(), 60, 126));
  EXPECT_EQ(0u, fontkit::codePointAt(codePoints(), 60, 127));  // bitmap 7807
  EXPECT_EQ(0u, fontkit::codePointAt(codePoints(), 2, 128));   // past the font's codes
  EXPECT_EQ(0u, fontkit::codePointAt(codePoints(), 2, 255));
}

TEST(Encoding, GlyphNames) {
  struct Case {
    std::uint32_t codePoint;
    const char* name;
  } cases[] = {{0, ".notdef"},      {0x20, "uni0020"},    {0x3042, "uni3042"},
               {0xFF5E, "uniFF5E"}, {0xFFFF, "uniFFFF"},  {0x10000, "u10000"},
               {0x20B9F, "u20B9F"}, {0x10FFFF, "u10FFFF"}};
  for (const Case& c : cases) {
    fontkit::GlyphName name;
    fontkit::glyphName(c.codePoint, name);
    EXPECT_STREQ(c.name, name);
  }
}

std::string encodingText(int block) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  EXPECT_EQ(1, fontkit::writeEncoding(out, block, codePoints()));
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

// The names of an encoding vector, in order, from the line after its opening to "] def".
std::vector<std::string> vectorNames(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // the comment
  std::getline(in, line);  // the opening
  std::vector<std::string> names;
  for (std::string word; in >> word && word != "]";) names.push_back(word);
  return names;
}

TEST(Encoding, VectorOf256NamesSixteenToALine) {
  const std::string text = encodingText(2);
  EXPECT_EQ(0u, text.find("% kanjiac.enc: JIS X 0208 bitmap numbers 256 to 383 at codes 0 to 127\n"
                          "/kanjiacEncoding [\n/uniFF44 /uniFF45 "));
  EXPECT_EQ(text.size() - 6, text.find("] def\n"));
  const std::vector<std::string> names = vectorNames(text);
  ASSERT_EQ(256u, names.size());
  EXPECT_EQ("/uni3042", names[28]);
  EXPECT_EQ("/.notdef", names[23]);  // row 3 cell 91: empty
  for (std::size_t code = 128; code < 256; ++code) EXPECT_EQ("/.notdef", names[code]) << code;
  int lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(1 + 1 + 16 + 1, lines);
}

TEST(Encoding, FirstAndLastBlocks) {
  const std::vector<std::string> first = vectorNames(encodingText(0));
  ASSERT_EQ(256u, first.size());
  EXPECT_EQ("/.notdef", first[0]);  // code 0 of block 0 is no position
  EXPECT_EQ("/uni3000", first[1]);
  const std::string last = encodingText(60);
  EXPECT_EQ(0u, last.find("% kanjihe.enc: JIS X 0208 bitmap numbers 7680 to 7806 at codes 0 to "
                          "126\n/kanjiheEncoding [\n"));
  const std::vector<std::string> names = vectorNames(last);
  ASSERT_EQ(256u, names.size());
  EXPECT_EQ("/uni7464", names[126]);
  EXPECT_EQ("/.notdef", names[127]);
}

TEST(Encoding, MapLines) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  using fontkit::Family;
  EXPECT_EQ(1, fontkit::writeMapLine(out, Family::Mincho, 0, "ipam.ttf"));
  EXPECT_EQ(1, fontkit::writeMapLine(out, Family::Mincho, 2, "ipam.ttf"));
  EXPECT_EQ(1, fontkit::writeMapLine(out, Family::Mincho, 60, "/fonts/other.ttf"));
  EXPECT_EQ(1, fontkit::writeMapLine(out, Family::Gothic, 48, "ipag.ttf"));
  EXPECT_EQ(1, fontkit::writeFamilyMapLine(out, Family::Mincho, "ipam.ttf"));
  EXPECT_EQ(1, fontkit::writeFamilyMapLine(out, Family::Gothic, "ipag.ttf"));
  std::fclose(out);
  // kanjiga (Mincho block 48) and kanjigga (its gothic font) stay apart.
  EXPECT_EQ(
      "kanjiaa <kanjiaa.enc <ipam.ttf\n"
      "kanjiac <kanjiac.enc <ipam.ttf\n"
      "kanjihe <kanjihe.enc </fonts/other.ttf\n"
      "kanjigga <kanjiga.enc <ipag.ttf\n"
      "kanji@kanjikit@ Kotobun-Kanji-H ipam.ttf\n"
      "kanjig@kanjikit@ Kotobun-Kanji-H ipag.ttf\n",
      std::string(data, size));
  std::free(data);
}

// The code points that IPA Mincho's glyphs are drawn with, and its counts; false if the font is
// not installed.
bool ipaMinchoGlyphs(fontkit::CodePoints& glyphs, fontkit::GlyphCount& count) {
  std::FILE* font = std::fopen("/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf", "rb");
  if (font == nullptr) return false;
  static fontkit::FontDirectory directory;
  fontkit::FontCmap cmap;
  fontkit::AdvanceWidths widths;
  EXPECT_EQ(fontkit::DirectoryResult::Read, fontkit::readDirectory(font, directory));
  EXPECT_EQ(fontkit::CmapResult::Read, fontkit::readCmap(font, cmap));
  EXPECT_EQ(1, fontkit::readAdvanceWidths(font, directory, widths));
  std::fclose(font);
  EXPECT_EQ(2048u, widths.unitsPerEm);
  EXPECT_EQ(1024u, fontkit::advanceWidth(widths, fontkit::glyphIndex(cmap, 0x2212)));
  static fontkit::CodePoints windows;
  EXPECT_EQ(1, fontkit::fillWindowsCodePoints(windows));
  EXPECT_EQ(0xFF0Du, windows[61]);  // CP932's minus sign
  fontkit::chooseGlyphPoints(codePoints(), windows, cmap, widths, glyphs, count);
  return true;
}

TEST(Encoding, GlyphsOneEmWide) {
  static fontkit::CodePoints glyphs;
  fontkit::GlyphCount count;
  if (!ipaMinchoGlyphs(glyphs, count)) GTEST_SKIP() << "IPA Mincho is not installed";
  struct Case {
    int bitmap;
    std::uint32_t glyph;
  } cases[] = {
      {61, 0xFF0D},    // the minus sign: U+2212 is half an em wide, CP932's U+FF0D one em
      {33, 0x301C},    // the wave dash keeps its own glyph, which U+FF5E shares
      {81, 0x00A2},    // the cent sign likewise (U+FFE0)
      {284, 0x3042},   // hiragana "a"
      {1212, 0x2211},  // the summation sign, which the font lacks: its .notdef glyph
      {15 + 94, 0},    // row 2 cell 15: no character
  };
  for (const Case& c : cases) EXPECT_EQ(c.glyph, glyphs[c.bitmap]) << c.bitmap;
  EXPECT_EQ(846, count.noCharacter);
  EXPECT_EQ(1, count.noGlyph);
  EXPECT_EQ(0, count.notOneEm);
  EXPECT_EQ(1, count.replaced);
}

// The code point of every code of every font, as a subfont definition file gives them: "N:"
// moves to code N, a number takes the next code, a backslash continues the line.
std::map<std::string, std::map<int, unsigned>> readSubfontDefinition(const std::string& text) {
  std::map<std::string, std::map<int, unsigned>> fonts;
  std::string joined;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line.back() == '\\') {
      joined += line.substr(0, line.size() - 1);
      continue;
    }
    joined += line;
    std::istringstream words(joined);
    std::string id;
    words >> id;
    int code = 0;
    for (std::string word; words >> word;) {
      if (word.back() == ':') {
        code = std::stoi(word);
      } else {
        fonts[id][code++] = static_cast<unsigned>(std::stoul(word, nullptr, 16));
      }
    }
    fonts[id];
    joined.clear();
  }
  return fonts;
}

TEST(Encoding, SubfontDefinitionGivesEveryCode) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  EXPECT_EQ(1, fontkit::writeSubfontDefinition(out, codePoints()));
  std::fclose(out);
  const std::string text(data, size);
  std::free(data);
  EXPECT_EQ(0u, text.find("# kanjikit.sfd: the code point of each code of the fonts kanjiaa to "
                          "kanjihe\naa 1: 0x3000 0x3001 "));
  EXPECT_NE(std::string::npos, text.find("\nag 0: 0x0000\n"));  // rows 9 to 12: no character
  const auto fonts = readSubfontDefinition(text);
  ASSERT_EQ(61u, fonts.size());
  for (int block = 0; block < fontkit::kFontBlocks; ++block) {
    const std::string id = {fontkit::blockLetter1(block), fontkit::blockLetter2(block)};
    ASSERT_EQ(1u, fonts.count(id)) << id;
    const auto& codes = fonts.at(id);
    for (int code = 0; code < fontkit::kGlyphs; ++code) {
      const auto found = codes.find(code);
      EXPECT_EQ(fontkit::codePointAt(codePoints(), block, code),
                found == codes.end() ? 0 : found->second)
          << id << " " << code;
    }
  }
}

struct CMapRange {
  unsigned first;
  unsigned last;
  unsigned value;
};

// The CMap `kind` for the kit's characters, with the minus sign drawn with U+FF0D's glyph; its
// ranges into `ranges`.
std::string cmapText(fontkit::CMapKind kind, std::vector<CMapRange>& ranges) {
  static fontkit::CodePoints glyphs;
  glyphs = codePoints();
  glyphs[61] = 0xFF0D;
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  EXPECT_EQ(1, fontkit::writeCMap(out, kind, codePoints(), glyphs));
  std::fclose(out);
  const std::string text(data, size);
  std::free(data);
  std::istringstream lines(text);
  int inSection = 0;
  for (std::string line; std::getline(lines, line);) {
    unsigned first = 0;
    unsigned last = 0;
    unsigned value = 0;
    if (line.find("begincidrange") != std::string::npos ||
        line.find("beginbfrange") != std::string::npos) {
      EXPECT_LE(std::stoi(line), 100) << line;
      inSection = 1;
    } else if (line.rfind("end", 0) == 0) {
      inSection = 0;
    } else if (inSection &&
               (std::sscanf(line.c_str(), "<%x> <%x> <%x>", &first, &last, &value) == 3 ||
                std::sscanf(line.c_str(), "<%x> <%x> %u", &first, &last, &value) == 3)) {
      ranges.push_back({first, last, value});
    }
  }
  return text;
}

TEST(Encoding, CMapsCoverEveryCharacterOnce) {
  const char* names[] = {"Kotobun-Kanji-H", "Kotobun-Kanji-UCS2", "Kotobun-Kanji-UTF16"};
  for (fontkit::CMapKind kind :
       {fontkit::CMapKind::Codes, fontkit::CMapKind::Glyphs, fontkit::CMapKind::Text}) {
    std::vector<CMapRange> ranges;
    const std::string text = cmapText(kind, ranges);
    const std::string name = names[static_cast<int>(kind)];
    EXPECT_NE(std::string::npos, text.find("%%BeginResource: CMap (" + name + ")\n")) << name;
    EXPECT_NE(std::string::npos, text.find("/CMapName /" + name + " def\n")) << name;
    EXPECT_NE(std::string::npos, text.find(kind == fontkit::CMapKind::Codes ? "/CMapType 1 def\n"
                                                                            : "/CMapType 2 def\n"))
        << name;
    EXPECT_EQ(text.size() - 6, text.find("%%EOF\n")) << name;
    // Ranges in order, apart, each within a run of 256 codes and of 256 values.
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      const CMapRange& r = ranges[i];
      EXPECT_TRUE(r.first <= r.last && r.first >> 8 == r.last >> 8) << name << " " << i;
      EXPECT_EQ(r.value >> 8, (r.value + (r.last - r.first)) >> 8) << name << " " << i;
      if (i > 0) {
        EXPECT_LT(ranges[i - 1].last, r.first) << name << " " << i;
      }
    }
    // Every character maps to itself, but the minus sign to its glyph in Kotobun-Kanji-UCS2.
    for (std::size_t bitmap = 1; bitmap <= fontkit::kPositions; ++bitmap) {
      const std::uint32_t cid = codePoints()[bitmap];
      if (cid == 0) continue;
      int found = 0;
      for (const CMapRange& r : ranges) {
        if (cid < r.first || cid > r.last) continue;
        ++found;
        const std::uint32_t expected =
            kind == fontkit::CMapKind::Glyphs && bitmap == 61 ? 0xFF0D : cid;
        EXPECT_EQ(expected, r.value + (cid - r.first)) << name << " " << bitmap;
      }
      EXPECT_EQ(1, found) << name << " " << bitmap;
    }
  }
}

TEST(Encoding, FailedWriteIsReported) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  std::setvbuf(full, nullptr, _IONBF, 0);
  EXPECT_EQ(0, fontkit::writeEncoding(full, 0, codePoints()));
  EXPECT_EQ(0, fontkit::writeMapLine(full, fontkit::Family::Mincho, 0, "ipam.ttf"));
  EXPECT_EQ(0, fontkit::writeFamilyMapLine(full, fontkit::Family::Gothic, "ipam.ttf"));
  EXPECT_EQ(0, fontkit::writeSubfontDefinition(full, codePoints()));
  EXPECT_EQ(0, fontkit::writeCMap(full, fontkit::CMapKind::Text, codePoints(), codePoints()));
  std::fclose(full);
}

}  // namespace
