// sfnt_test.cc - the table directory and the glyph table checks, on small fonts built here.
#include "fontkit/sfnt.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/font_bytes.h"

namespace {

using testsupport::Bytes;
using testsupport::put16;
using testsupport::put32;

struct Table {
  std::string tag;
  Bytes bytes;
};

// A font of `tables` in this order, each padded to four bytes, with the directory before them.
Bytes fontOf(const std::vector<Table>& tables) {
  Bytes font;
  put32(font, 0x00010000);
  put16(font, static_cast<std::uint32_t>(tables.size()));
  put16(font, 0);
  put16(font, 0);
  put16(font, 0);
  std::uint32_t offset = 12 + 16 * static_cast<std::uint32_t>(tables.size());
  for (const Table& t : tables) {
    font.insert(font.end(), t.tag.begin(), t.tag.end());
    put32(font, 0);
    put32(font, offset);
    put32(font, static_cast<std::uint32_t>(t.bytes.size()));
    offset += (static_cast<std::uint32_t>(t.bytes.size()) + 3) & ~3u;
  }
  for (const Table& t : tables) {
    font.insert(font.end(), t.bytes.begin(), t.bytes.end());
    while (font.size() % 4 != 0) font.push_back(0);
  }
  return font;
}

Bytes head(std::uint32_t locFormat) {
  Bytes bytes(50, 0);
  put16(bytes, locFormat);
  put16(bytes, 0);
  return bytes;
}

Bytes maxp(std::uint32_t glyphs) {
  Bytes bytes;
  put32(bytes, 0x00005000);
  put16(bytes, glyphs);
  return bytes;
}

Bytes loca(std::vector<std::uint32_t> offsets, int size) {
  Bytes bytes;
  for (std::uint32_t offset : offsets) {
    if (size == 2) {
      put16(bytes, offset / 2);
    } else {
      put32(bytes, offset);
    }
  }
  return bytes;
}

// Three glyphs in a glyf table of 12 bytes: the empty glyph 0, then 4 and 8 bytes.
std::vector<Table> glyphTables(int size, std::vector<std::uint32_t> offsets = {0, 0, 4, 12}) {
  return {{"glyf", Bytes(12, 0)},
          {"head", head(size == 2 ? 0 : 1)},
          {"loca", loca(offsets, size)},
          {"maxp", maxp(3)}};
}

struct Checked {
  fontkit::DirectoryResult result;
  std::string outside;  // tag of the first table outside the file, or ""
  std::string problem;  // glyphTablesProblem's text, or ""
};

Checked check(Bytes bytes) {
  std::FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
  static fontkit::FontDirectory directory;
  Checked checked{fontkit::readDirectory(in, directory), "", ""};
  if (checked.result == fontkit::DirectoryResult::Read) {
    const fontkit::TableEntry* outside = fontkit::tableOutside(directory);
    if (outside != nullptr) {
      checked.outside = outside->tag;
    } else if (const char* problem = fontkit::glyphTablesProblem(in, directory)) {
      checked.problem = problem;
    }
  }
  std::fclose(in);
  return checked;
}

TEST(Sfnt, GlyphTablesChecked) {
  std::vector<Table> noLoca = glyphTables(2);
  noLoca.erase(noLoca.begin() + 2);
  std::vector<Table> shortHead = glyphTables(4);
  shortHead[1].bytes.resize(53);
  std::vector<Table> badFormat = glyphTables(4);
  badFormat[1].bytes[51] = 2;
  Bytes cut = fontOf(glyphTables(4));
  cut.resize(cut.size() - 4);  // maxp, the last table, loses its glyph count
  Bytes tooMany = fontOf(glyphTables(4));
  tooMany[4] = 0x01;  // 260 tables
  struct Case {
    Bytes font;
    const char* outside;
    const char* problem;
  } cases[] = {
      {fontOf(glyphTables(2)), "", ""},
      {fontOf(glyphTables(4)), "", ""},
      {fontOf(glyphTables(2, {0, 0, 4, 12, 12})), "", ""},  // a location to spare
      {cut, "maxp", ""},
      {fontOf(glyphTables(4, {0, 0, 4, 16})), "", "has glyph locations past the end of its glyf"},
      {fontOf(glyphTables(2, {0, 8, 4, 12})), "", "has its glyph locations out of order"},
      {fontOf(glyphTables(4, {0, 0, 4})), "", "has a loca table too short for its glyphs"},
      {fontOf(noLoca), "", "has no loca table"},
      {fontOf({{"cmap", Bytes(4, 0)}}), "", "has no glyf table"},
      {fontOf(shortHead), "", "has a head or maxp table too short"},
      {fontOf(badFormat), "", "has an unknown glyph location format"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Checked checked = check(cases[i].font);
    EXPECT_EQ(fontkit::DirectoryResult::Read, checked.result) << "case " << i;
    EXPECT_EQ(cases[i].outside, checked.outside) << "case " << i;
    EXPECT_EQ(0u, checked.problem.find(cases[i].problem))
        << "case " << i << ": " << checked.problem;
    EXPECT_EQ(cases[i].problem[0] == '\0', checked.problem.empty()) << "case " << i;
  }
  EXPECT_EQ(fontkit::DirectoryResult::TooManyTables, check(tooMany).result);
  const std::string text = "not a font at all";
  EXPECT_EQ(fontkit::DirectoryResult::NotAFont, check(Bytes(text.begin(), text.end())).result);
}

// The widths that readAdvanceWidths reads from a font of `tables`, as "em: a b c", or "none".
std::string widthsOf(const std::vector<Table>& tables) {
  Bytes bytes = fontOf(tables);
  std::FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
  static fontkit::FontDirectory directory;
  EXPECT_EQ(fontkit::DirectoryResult::Read, fontkit::readDirectory(in, directory));
  fontkit::AdvanceWidths widths;
  const int read = fontkit::readAdvanceWidths(in, directory, widths);
  std::fclose(in);
  if (!read) return widths.advances.empty() ? "none" : "none, but advances";
  std::string text = std::to_string(widths.unitsPerEm) + ":";
  for (unsigned glyph = 0; glyph < 4; ++glyph) {
    text += " " + std::to_string(fontkit::advanceWidth(widths, glyph));
  }
  return text;
}

TEST(Sfnt, AdvanceWidths) {
  Bytes em(18, 0);  // head: the em at offset 18
  put16(em, 1000);
  Bytes hhea(34, 0);  // hhea: numberOfHMetrics at offset 34
  put16(hhea, 2);
  Bytes noMetrics(34, 0);
  put16(noMetrics, 0);
  Bytes hmtx;  // two advances with their side bearings, then a side bearing alone
  for (std::uint32_t value : {1000u, 0u, 500u, 7u, 9u}) put16(hmtx, value);
  Bytes noEm(20, 0);
  struct Case {
    std::vector<Table> tables;
    const char* widths;
  } cases[] = {
      {{{"head", em}, {"hhea", hhea}, {"hmtx", hmtx}}, "1000: 1000 500 500 500"},
      {{{"head", em}, {"hhea", hhea}, {"hmtx", Bytes(hmtx.begin(), hmtx.begin() + 7)}}, "none"},
      {{{"head", em}, {"hhea", noMetrics}, {"hmtx", hmtx}}, "none"},
      {{{"head", noEm}, {"hhea", hhea}, {"hmtx", hmtx}}, "none"},
      {{{"head", em}, {"hhea", Bytes(35, 0)}, {"hmtx", hmtx}}, "none"},  // too short
      {{{"head", em}, {"hmtx", hmtx}}, "none"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].widths, widthsOf(cases[i].tables)) << "case " << i;
  }
}

TEST(Sfnt, IpaMinchoIsSound) {
  std::FILE* font = std::fopen("/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf", "rb");
  if (font == nullptr) GTEST_SKIP() << "IPA Mincho is not installed (fonts-ipafont-mincho)";
  static fontkit::FontDirectory directory;
  EXPECT_EQ(fontkit::DirectoryResult::Read, fontkit::readDirectory(font, directory));
  EXPECT_EQ(nullptr, fontkit::tableOutside(directory));
  EXPECT_EQ(nullptr, fontkit::glyphTablesProblem(font, directory));
  std::fclose(font);
}

}  // namespace
