// encoding.cc - the glyph names of the kanji fonts, from iconv, and the encoding and map files.
#include "fontkit/encoding.h"

#include <iconv.h>

#include <cstddef>

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

int writeMapLine(std::FILE* out, int block, const char* fontFile) {
  const char b1 = blockLetter1(block);
  const char b2 = blockLetter2(block);
  std::fprintf(out, "kanji%c%c <kanji%c%c.enc <%s\n", b1, b2, b1, b2, fontFile);
  return !std::ferror(out);
}

}  // namespace fontkit
