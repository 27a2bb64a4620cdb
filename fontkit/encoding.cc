// encoding.cc - the characters of the kanji fonts, from iconv, and the files that give dvipdfmx
// their glyphs: encodings and map lines, or the subfont definition and CMaps of one font.
#include "fontkit/encoding.h"

#include <iconv.h>

#include <cstddef>
#include <vector>

namespace fontkit {

namespace {

// The one code point that `converter` gives the pair `lead`, `trail`; 0 when it gives none, or
// more than one.
std::uint32_t convertPair(iconv_t converter, int lead, int trail) {
  char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  unsigned char ucs[8] = {};
  char* in = pair;
  std::size_t inLeft = sizeof pair;
  char* out = reinterpret_cast<char*>(ucs);
  std::size_t outLeft = sizeof ucs;
  const std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  // One character in, exactly one code point (four bytes) out; anything else is no character.
  if (done == static_cast<std::size_t>(-1) || inLeft != 0 || outLeft != sizeof ucs - 4) return 0;
  return static_cast<std::uint32_t>(ucs[0]) << 24 | static_cast<std::uint32_t>(ucs[1]) << 16 |
         static_cast<std::uint32_t>(ucs[2]) << 8 | ucs[3];
}

int opened(iconv_t converter) { return reinterpret_cast<std::intptr_t>(converter) != -1; }

}  // namespace

int fillCodePoints(CodePoints& codePoints) {
  codePoints.fill(0);
  iconv_t euc = iconv_open("UCS-4BE", "EUC-JP");
  iconv_t windows = iconv_open("UCS-4BE", "CP932");
  const int ready = opened(euc) && opened(windows);
  for (int bitmap = 1; ready && bitmap <= kPositions; ++bitmap) {
    std::uint32_t point = convertPair(euc, eucLead(bitmap), eucTrail(bitmap));
    // Windows-made Shift-JIS fills positions that JIS X 0208 leaves empty (row 13: circled
    // digits, Roman numerals, unit signs); the positions EUC-JP maps keep its characters.
    if (point == 0) point = convertPair(windows, sjisLead(bitmap), sjisTrail(bitmap));
    codePoints[static_cast<std::size_t>(bitmap)] = point;
  }
  if (opened(euc)) iconv_close(euc);
  if (opened(windows)) iconv_close(windows);
  return ready;
}

int fillWindowsCodePoints(CodePoints& windowsPoints) {
  windowsPoints.fill(0);
  iconv_t windows = iconv_open("UCS-4BE", "CP932");
  if (!opened(windows)) return 0;
  for (int bitmap = 1; bitmap <= kPositions; ++bitmap) {
    windowsPoints[static_cast<std::size_t>(bitmap)] =
        convertPair(windows, sjisLead(bitmap), sjisTrail(bitmap));
  }
  iconv_close(windows);
  return 1;
}

void chooseGlyphPoints(const CodePoints& codePoints, const CodePoints& windowsPoints,
                       const FontCmap& cmap, const AdvanceWidths& widths, CodePoints& glyphPoints,
                       GlyphCount& count) {
  count = {};
  glyphPoints.fill(0);
  for (std::size_t bitmap = 1; bitmap <= kPositions; ++bitmap) {
    const std::uint32_t own = codePoints[bitmap];
    if (own == 0) {
      ++count.noCharacter;
      continue;
    }
    // ORDER CANDIDATES: the character's own code point first.
    const std::uint32_t candidates[2] = {own, windowsPoints[bitmap]};
    int chosen = -1;  // the first one em wide, else the first the font has
    int oneEm = 0;
    for (int i = 0; i < 2 && !oneEm; ++i) {
      const unsigned glyph = candidates[i] == 0 ? 0 : glyphIndex(cmap, candidates[i]);
      if (glyph == 0) continue;
      oneEm = advanceWidth(widths, glyph) == widths.unitsPerEm;
      if (chosen < 0 || oneEm) chosen = i;
    }
    glyphPoints[bitmap] = chosen < 0 ? own : candidates[chosen];
    count.noGlyph += chosen < 0;
    count.notOneEm += chosen >= 0 && !oneEm;
    count.replaced += chosen == 1 && candidates[1] != own;
  }
}

std::uint32_t codePointAt(const CodePoints& codePoints, int block, int code) {
  const int bitmap = kGlyphs * block + code;
  if (code < 0 || code >= kGlyphs || bitmap < 1 || bitmap > kPositions) return 0;
  return codePoints[static_cast<std::size_t>(bitmap)];
}

void glyphName(std::uint32_t codePoint, GlyphName& name) {
  if (codePoint == 0) {
    std::snprintf(name, sizeof name, ".notdef");
  } else if (codePoint <= 0xFFFF) {
    std::snprintf(name, sizeof name, "uni%04X", static_cast<unsigned>(codePoint));
  } else {
    std::snprintf(name, sizeof name, "u%X", static_cast<unsigned>(codePoint));
  }
}

int writeEncoding(std::FILE* out, int block, const CodePoints& codePoints) {
  const int first = kGlyphs * block;
  const int last = block == kFontBlocks - 1 ? kPositions : first + kGlyphs - 1;
  std::fprintf(out, "%% kanji%c%c.enc: JIS X 0208 bitmap numbers %d to %d at codes 0 to %d\n",
               blockLetter1(block), blockLetter2(block), first, last, last - first);
  std::fprintf(out, "/kanji%c%cEncoding [\n", blockLetter1(block), blockLetter2(block));
  for (int code = 0; code < 256; ++code) {
    GlyphName name;
    glyphName(codePointAt(codePoints, block, code), name);
    std::fprintf(out, "/%s%c", name, code % 16 == 15 ? '\n' : ' ');
  }
  std::fputs("] def\n", out);
  return !std::ferror(out);
}

int writeMapLine(std::FILE* out, Family family, int block, const char* fontFile) {
  const char b1 = blockLetter1(block);
  const char b2 = blockLetter2(block);
  // The gothic fonts share the Mincho fonts' encodings, which hold the characters, not glyphs.
  std::fprintf(out, "%s%c%c <kanji%c%c.enc <%s\n", familyPrefix(family), b1, b2, b1, b2, fontFile);
  return !std::ferror(out);
}

namespace {

// A CID is a code point of the Basic Multilingual Plane but 0 and U+FFFF; 0 for any other.
std::uint32_t cidOf(std::uint32_t codePoint) {
  return codePoint >= 1 && codePoint <= 0xFFFE ? codePoint : 0;
}

constexpr int kRangesPerSection = 100;  // a CMap's sections hold at most 100 entries

// The ranges of a CMap waiting to be written, one section's worth.
struct RangeSection {
  std::FILE* out;
  CMapKind kind;
  int count;
  std::uint32_t first[kRangesPerSection];  // CIDs
  std::uint32_t last[kRangesPerSection];
  std::uint32_t value[kRangesPerSection];  // the first CID's CID or code point
};

void flushRanges(RangeSection& section) {
  if (section.count == 0) return;
  const char* keyword = section.kind == CMapKind::Codes ? "cidrange" : "bfrange";
  std::fprintf(section.out, "%d begin%s\n", section.count, keyword);
  for (int i = 0; i < section.count; ++i) {
    const auto first = static_cast<unsigned>(section.first[i]);
    const auto last = static_cast<unsigned>(section.last[i]);
    const auto value = static_cast<unsigned>(section.value[i]);
    if (section.kind == CMapKind::Codes) {
      std::fprintf(section.out, "<%04X> <%04X> %u\n", first, last, value);
    } else {
      std::fprintf(section.out, "<%04X> <%04X> <%04X>\n", first, last, value);
    }
  }
  std::fprintf(section.out, "end%s\n", keyword);
  section.count = 0;
}

void addRange(RangeSection& section, std::uint32_t first, std::uint32_t last, std::uint32_t value) {
  if (section.count == kRangesPerSection) flushRanges(section);
  section.first[section.count] = first;
  section.last[section.count] = last;
  section.value[section.count] = value;
  ++section.count;
}

constexpr const char* kCMapComments[] = {
    // ORDER CMAPS
    "the code points of kanjikit.sfd to CIDs, which are the same code points",
    "CIDs to the code points whose glyphs dvipdfmx takes from the font",
    "CIDs to the text of the PDF (ToUnicode)",
};

}  // namespace

int writeSubfontDefinition(std::FILE* out, const CodePoints& codePoints) {
  std::fprintf(out, "# %s.sfd: the code point of each code of the fonts kanjiaa to kanjihe\n",
               kSubfontName);
  for (int block = 0; block < kFontBlocks; ++block) {
    std::fprintf(out, "%c%c", blockLetter1(block), blockLetter2(block));
    int next = -1;  // the code that follows the last one written
    int onLine = 0;
    for (int code = 0; code < kGlyphs; ++code) {
      const std::uint32_t cid = cidOf(codePointAt(codePoints, block, code));
      if (cid == 0) continue;
      if (onLine == 16) {
        std::fputs(" \\\n  ", out);
        onLine = 0;
      }
      if (code != next) std::fprintf(out, " %d:", code);
      std::fprintf(out, " 0x%04X", static_cast<unsigned>(cid));
      next = code + 1;
      ++onLine;
    }
    // dvipdfmx gives a font whose line holds its name alone the codes of the line before.
    if (next < 0) std::fputs(" 0: 0x0000", out);
    std::fputc('\n', out);
  }
  return !std::ferror(out);
}

int writeCMap(std::FILE* out, CMapKind kind, const CodePoints& codePoints,
              const CodePoints& glyphPoints) {
  const auto index = static_cast<std::size_t>(kind);
  const char* name = kCMapNames[index];
  // The ToUnicode CMap goes into the PDF as written: the usual system info, few comments.
  const int text = kind == CMapKind::Text;
  std::fprintf(out,
               "%%!PS-Adobe-3.0 Resource-CMap\n"
               "%%%%DocumentNeededResources: ProcSet (CIDInit)\n"
               "%%%%IncludeResource: ProcSet (CIDInit)\n"
               "%%%%BeginResource: CMap (%s)\n"
               "%%%%EndComments\n"
               "%% %s: %s\n"
               "/CIDInit /ProcSet findresource begin\n"
               "12 dict begin\n"
               "begincmap\n"
               "/CIDSystemInfo 3 dict dup begin\n"
               "  /Registry (%s) def\n"
               "  /Ordering (%s) def\n"
               "  /Supplement 0 def\n"
               "end def\n"
               "/CMapName /%s def\n"
               "/CMapType %d def\n"
               "1 begincodespacerange\n"
               "<0000> <FFFF>\n"
               "endcodespacerange\n",
               name, name, kCMapComments[index], text ? "Adobe" : "Kotobun", text ? "UCS" : "Kanji",
               name, kind == CMapKind::Codes ? 1 : 2);
  // What each CID maps to; 0 for the CIDs that no position uses.
  std::vector<std::uint32_t> values(0x10000, 0);
  for (std::size_t bitmap = 1; bitmap <= kPositions; ++bitmap) {
    const std::uint32_t cid = cidOf(codePoints[bitmap]);
    if (cid == 0 || values[cid] != 0) continue;
    values[cid] = kind == CMapKind::Glyphs && glyphPoints[bitmap] != 0 ? glyphPoints[bitmap] : cid;
  }
  // Runs of CIDs that map by one offset, within a run of 256 CIDs and of 256 values; the CIDs
  // between them that no position uses are mapped along, which harms nothing.
  static RangeSection section;
  section = {};
  section.out = out;
  section.kind = kind;
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  std::uint32_t value = 0;
  for (std::uint32_t cid = 1; cid <= 0xFFFE; ++cid) {
    if (values[cid] == 0) continue;
    const std::uint32_t expected = value + (cid - first);
    if (first != 0 && cid >> 8 == first >> 8 && values[cid] == expected &&
        expected >> 8 == value >> 8) {
      last = cid;
      continue;
    }
    if (first != 0) addRange(section, first, last, value);
    first = cid;
    last = cid;
    value = values[cid];
  }
  if (first != 0) addRange(section, first, last, value);
  flushRanges(section);
  std::fputs(
      "endcmap\n"
      "CMapName currentdict /CMap defineresource pop\n"
      "end\n"
      "end\n"
      "%%EndResource\n"
      "%%EOF\n",
      out);
  return !std::ferror(out);
}

int writeFamilyMapLine(std::FILE* out, Family family, const char* fontFile) {
  std::fprintf(out, "%s@%s@ %s %s\n", familyPrefix(family), kSubfontName,
               kCMapNames[static_cast<std::size_t>(CMapKind::Codes)], fontFile);
  return !std::ferror(out);
}

}  // namespace fontkit
