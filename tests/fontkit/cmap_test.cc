// cmap_test.cc - the character map reader on small fonts built here, and on IPA Mincho.
#include "fontkit/cmap.h"

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
using testsupport::putTag;

// A format 4 subtable: U+3042..U+3044 by delta to glyphs 10..12; U+4E00..U+4E01 through the
// glyph array (glyph 20, then 0: none), with delta 5; the closing segment at U+FFFF.
Bytes formatFour() {
  Bytes sub;
  const std::uint32_t segCount = 3;
  put16(sub, 4);
  put16(sub, 0);  // length, filled in below
  put16(sub, 0);  // language
  put16(sub, segCount * 2);
  put16(sub, 4);  // search range and the rest: not used by the reader
  put16(sub, 1);
  put16(sub, 2);
  for (std::uint32_t end : {0x3044u, 0x4E01u, 0xFFFFu}) put16(sub, end);
  put16(sub, 0);  // reserved pad
  for (std::uint32_t start : {0x3042u, 0x4E00u, 0xFFFFu}) put16(sub, start);
  for (std::uint32_t delta : {(10u - 0x3042u) & 0xFFFF, 5u, 1u}) put16(sub, delta);
  // The second segment's range offset points from its own field to the glyph array after the
  // third field: 2 fields of 2 bytes.
  for (std::uint32_t offset : {0u, 4u, 0u}) put16(sub, offset);
  put16(sub, 20);
  put16(sub, 0);
  sub[2] = static_cast<unsigned char>(sub.size() >> 8);
  sub[3] = static_cast<unsigned char>(sub.size());
  return sub;
}

// A format 12 subtable: U+3042..U+3044 to glyphs 100..102, U+20000..U+20001 to 200..201.
Bytes formatTwelve() {
  Bytes sub;
  put16(sub, 12);
  put16(sub, 0);
  put32(sub, 16 + 2 * 12);
  put32(sub, 0);
  put32(sub, 2);
  for (std::uint32_t group : {0x3042u, 0x3044u, 100u, 0x20000u, 0x20001u, 200u}) put32(sub, group);
  return sub;
}

struct Subtable {
  std::uint32_t platform;
  std::uint32_t encoding;
  Bytes bytes;
};

Bytes cmapTable(const std::vector<Subtable>& subtables) {
  Bytes table;
  put16(table, 0);
  put16(table, static_cast<std::uint32_t>(subtables.size()));
  std::uint32_t offset = 4 + 8 * static_cast<std::uint32_t>(subtables.size());
  for (const Subtable& s : subtables) {
    put16(table, s.platform);
    put16(table, s.encoding);
    put32(table, offset);
    offset += static_cast<std::uint32_t>(s.bytes.size());
  }
  for (const Subtable& s : subtables) table.insert(table.end(), s.bytes.begin(), s.bytes.end());
  return table;
}

// A font file whose table directory starts at `base` (a collection puts a header before it):
// a four-byte glyf table when `glyf` is 1, then the cmap.
Bytes fontFile(const Bytes& cmap, int glyf, std::uint32_t base = 0) {
  Bytes font;
  const std::uint32_t numTables = glyf ? 2 : 1;
  put32(font, 0x00010000);
  put16(font, numTables);
  put16(font, 0);
  put16(font, 0);
  put16(font, 0);
  std::uint32_t offset = base + 12 + 16 * numTables;
  if (glyf) {
    putTag(font, "glyf");
    put32(font, 0);
    put32(font, offset);
    put32(font, 4);
    offset += 4;
  }
  putTag(font, "cmap");
  put32(font, 0);
  put32(font, offset);
  put32(font, static_cast<std::uint32_t>(cmap.size()));
  if (glyf) put32(font, 0);
  font.insert(font.end(), cmap.begin(), cmap.end());
  return font;
}

Bytes collection(const Bytes& cmap) {
  Bytes file;
  putTag(file, "ttcf");
  put32(file, 0x00010000);
  put32(file, 1);
  put32(file, 16);
  Bytes font = fontFile(cmap, 1, 16);
  file.insert(file.end(), font.begin(), font.end());
  return file;
}

fontkit::CmapResult readBytes(Bytes bytes, fontkit::FontCmap& cmap) {
  if (bytes.empty()) bytes.push_back(0);  // fmemopen takes no empty buffer; one byte is no font
  std::FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
  const fontkit::CmapResult result = fontkit::readCmap(in, cmap);
  std::fclose(in);
  return result;
}

struct Lookup {
  std::uint32_t codePoint;
  unsigned glyph;
};

TEST(Cmap, FormatFourByDeltaAndByGlyphArray) {
  fontkit::FontCmap cmap;
  ASSERT_EQ(fontkit::CmapResult::Read,
            readBytes(fontFile(cmapTable({{3, 1, formatFour()}}), 1), cmap));
  EXPECT_EQ(4, cmap.format);
  EXPECT_EQ(1, cmap.trueTypeOutlines);
  const Lookup lookups[] = {
      {0x3041, 0},  {0x3042, 10}, {0x3044, 12}, {0x3045, 0},
      {0x4E00, 25}, {0x4E01, 0},  // the glyph array holds 0: no glyph, whatever the delta
      {0x20000, 0},               // past the plane that format 4 covers
      {0, 0},
  };
  for (const Lookup& l : lookups) {
    EXPECT_EQ(l.glyph, fontkit::glyphIndex(cmap, l.codePoint)) << std::hex << l.codePoint;
  }
}

TEST(Cmap, FormatTwelveChosenBeforeFormatFour) {
  fontkit::FontCmap cmap;
  const Bytes table = cmapTable({{3, 1, formatFour()}, {3, 10, formatTwelve()}});
  ASSERT_EQ(fontkit::CmapResult::Read, readBytes(fontFile(table, 1), cmap));
  EXPECT_EQ(12, cmap.format);
  const Lookup lookups[] = {{0x3041, 0},    {0x3042, 100},  {0x3044, 102}, {0x3045, 0},
                            {0x20000, 200}, {0x20001, 201}, {0x20002, 0},  {0x4E00, 0}};
  for (const Lookup& l : lookups) {
    EXPECT_EQ(l.glyph, fontkit::glyphIndex(cmap, l.codePoint)) << std::hex << l.codePoint;
  }
}

TEST(Cmap, UnicodePlatformAndCollections) {
  fontkit::FontCmap cmap;
  ASSERT_EQ(fontkit::CmapResult::Read,
            readBytes(fontFile(cmapTable({{0, 3, formatFour()}}), 0), cmap));
  EXPECT_EQ(10u, fontkit::glyphIndex(cmap, 0x3042));
  EXPECT_EQ(0, cmap.trueTypeOutlines);
  // A collection is read through its first font.
  ASSERT_EQ(fontkit::CmapResult::Read,
            readBytes(collection(cmapTable({{0, 4, formatTwelve()}})), cmap));
  EXPECT_EQ(201u, fontkit::glyphIndex(cmap, 0x20001));
  EXPECT_EQ(1, cmap.trueTypeOutlines);
}

TEST(Cmap, BadFilesAreNamed) {
  Bytes noCmap = fontFile(cmapTable({}), 1);
  noCmap.resize(12 + 16);  // the glyf record alone
  noCmap[5] = 1;
  Bytes pastTheEnd = fontFile(cmapTable({{3, 1, formatFour()}}), 1);
  pastTheEnd.resize(pastTheEnd.size() - 1);
  Bytes badCollection = collection(cmapTable({{3, 1, formatFour()}}));
  badCollection[15] = 0xF0;  // the first font's offset points past the end
  const std::string text = "This is a text file, not a font.\n";
  struct Case {
    Bytes bytes;
    fontkit::CmapResult result;
  } cases[] = {
      {{}, fontkit::CmapResult::NotAFont},
      {Bytes(text.begin(), text.end()), fontkit::CmapResult::NotAFont},
      {badCollection, fontkit::CmapResult::NotAFont},
      {noCmap, fontkit::CmapResult::NoCmap},
      {pastTheEnd, fontkit::CmapResult::NoCmap},
      {fontFile(cmapTable({{3, 0, formatFour()}}), 1), fontkit::CmapResult::NoUnicodeMap},
      {fontFile(cmapTable({}), 1), fontkit::CmapResult::NoUnicodeMap},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    fontkit::FontCmap cmap;
    EXPECT_EQ(cases[i].result, readBytes(cases[i].bytes, cmap)) << "case " << i;
    EXPECT_EQ(0u, fontkit::glyphIndex(cmap, 0x3042)) << "case " << i;
  }
}

// Counts and offsets that point past the table give no glyph and read nothing outside it (the
// sanitizer build would see it).
TEST(Cmap, LiesInTheTableStayInsideIt) {
  fontkit::FontCmap cmap;
  Bytes four = formatFour();
  four[6] = 0xFF;  // 32767 segments
  ASSERT_EQ(fontkit::CmapResult::Read, readBytes(fontFile(cmapTable({{3, 1, four}}), 1), cmap));
  for (std::uint32_t c : {0x0u, 0x3042u, 0x4E00u, 0xFFFEu, 0xFFFFu}) fontkit::glyphIndex(cmap, c);
  four = formatFour();
  four[four.size() - 8] = 0x7F;  // the second segment's range offset, far past the end
  ASSERT_EQ(fontkit::CmapResult::Read, readBytes(fontFile(cmapTable({{3, 1, four}}), 1), cmap));
  EXPECT_EQ(0u, fontkit::glyphIndex(cmap, 0x4E00));
  Bytes twelve = formatTwelve();
  twelve[12] = 0x7F;  // two billion groups
  ASSERT_EQ(fontkit::CmapResult::Read, readBytes(fontFile(cmapTable({{3, 10, twelve}}), 1), cmap));
  EXPECT_EQ(100u, fontkit::glyphIndex(cmap, 0x3042));
  EXPECT_EQ(0u, fontkit::glyphIndex(cmap, 0x10FFFF));
}

TEST(Cmap, IpaMinchoHasTheKana) {
  std::FILE* font = std::fopen("/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf", "rb");
  if (font == nullptr) GTEST_SKIP() << "IPA Mincho is not installed (fonts-ipafont-mincho)";
  fontkit::FontCmap cmap;
  EXPECT_EQ(fontkit::CmapResult::Read, fontkit::readCmap(font, cmap));
  std::fclose(font);
  EXPECT_EQ(1, cmap.trueTypeOutlines);
  EXPECT_NE(0u, fontkit::glyphIndex(cmap, 0x3042));  // hiragana "a"
  EXPECT_NE(0u, fontkit::glyphIndex(cmap, 0x7464));  // the last character, row 84 cell 4
  EXPECT_EQ(0u, fontkit::glyphIndex(cmap, 0x10FFFD));
}

}  // namespace
