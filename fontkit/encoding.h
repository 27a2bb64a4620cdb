// encoding.h - the characters of the kanji fonts, from iconv, and the files that give dvipdfmx
// their glyphs: encodings and map lines, or the subfont definition and CMaps of one font.
#ifndef FONTKIT_ENCODING_H_
#define FONTKIT_ENCODING_H_

#include <array>
#include <cstdint>
#include <cstdio>

#include "fontkit/cmap.h"
#include "fontkit/family.h"
#include "fontkit/sfnt.h"

namespace fontkit {

/// The Unicode code point of every bitmap number, by bitmap number (1..7806); 0 where the
/// position holds no character. Index 0 is 0.
using CodePoints = std::array<std::uint32_t, kPositions + 1>;

/// Room for a glyph name: "uni" and four hex digits, "u" and up to six, or ".notdef".
using GlyphName = char[16];

/// Fills `codePoints` with what iconv(3) gives for the EUC-JP pair of each bitmap number; where
/// EUC-JP gives no character, with what it gives for the position's Shift-JIS pair in CP932
/// (Windows' Shift-JIS, which fills row 13); 0 where neither gives one. Returns 0 if iconv
/// cannot convert from EUC-JP or CP932 at all.
int fillCodePoints(CodePoints& codePoints);

/// Fills `windowsPoints` with what iconv(3) gives for the Shift-JIS pair of each bitmap number in
/// CP932, 0 where it gives none. Returns 0 if iconv cannot convert from CP932.
int fillWindowsCodePoints(CodePoints& windowsPoints);

/// What a font holds for the characters of the family.
struct GlyphCount {
  int noCharacter;  // positions without a character
  int noGlyph;      // characters that the font has no glyph for
  int notOneEm;     // characters whose glyph is not one em wide
  int replaced;     // characters drawn with the glyph of the code point CP932 gives them
};

/// Chooses for every position with a character the code point whose glyph the PDF shows, into
/// `glyphPoints`: the character's own when its glyph is one em wide, as TeX sets it; else the one
/// CP932 gives the position (for the minus sign 1-61, U+2212, half an em wide in IPA Mincho, the
/// full-width U+FF0D) when its glyph is; else the first of the two that the font has; else the
/// character's own (the font's .notdef glyph). 0 where the position has no character. Fills
/// `count`.
void chooseGlyphPoints(const CodePoints& codePoints, const CodePoints& windowsPoints,
                       const FontCmap& cmap, const AdvanceWidths& widths, CodePoints& glyphPoints,
                       GlyphCount& count);

/// The code point at code `code` (0..255) of font block `block` (0..60): that of bitmap number
/// 128 block + code, or 0 for code 0 of block 0, codes past 127 and bitmaps past 7806.
std::uint32_t codePointAt(const CodePoints& codePoints, int block, int code);

/// Writes the PostScript name of the glyph for `codePoint` into `name`: "uniXXXX" in the Basic
/// Multilingual Plane, "uXXXXX" above it (upper-case hex), ".notdef" for 0.
void glyphName(std::uint32_t codePoint, GlyphName& name);

/// Writes the encoding file of font block `block` to `out`: a comment line, then the vector
/// "/kanjiXXEncoding [" of 256 glyph names, sixteen to a line, and "] def". Codes past 127 and
/// positions without a character are /.notdef. Returns 0 if a write failed.
int writeEncoding(std::FILE* out, int block, const CodePoints& codePoints);

/// Writes the map line of font block `block` of `family` to `out`: "kanjiXX <kanjiXX.enc <FONT"
/// (for the gothic family "kanjigXX <kanjiXX.enc <FONT") and a line end, FONT being `fontFile`
/// as written (a bare name that kpathsea finds, or a path). Returns 0 if the write failed.
int writeMapLine(std::FILE* out, Family family, int block, const char* fontFile);

/// The name of the subfont definition file (.sfd) and of the map's pattern kanji@kanjikit@.
constexpr const char* kSubfontName = "kanjikit";

/// The CMaps of the one-font kit, whose CIDs are the characters' code points.
/// ORDER CMAPS
enum class CMapKind {
  Codes,   // the codes that the subfont definition gives (code points) to CIDs, one to one
  Glyphs,  // CIDs to the code points whose glyphs dvipdfmx takes from the font
  Text     // CIDs to the text of the PDF (ToUnicode): the characters themselves
};

/// The CMaps' names, by CMapKind. dvipdfmx finds the second and the third by the registry and
/// ordering ("Kotobun-Kanji") of the first.
/// ORDER CMAPS
constexpr const char* kCMapNames[] = {"Kotobun-Kanji-H", "Kotobun-Kanji-UCS2",
                                      "Kotobun-Kanji-UTF16"};

/// Writes the subfont definition file to `out`: a comment line, then for every font block a
/// line with its two letters and the code point of each of its codes that holds a character
/// ("N:" before a code after a gap), continued with a backslash after every sixteen; a block
/// without one maps code 0 to 0, which is no character. Characters outside 1..0xFFFE have no
/// CID and are left out. Returns 0 if a write failed.
int writeSubfontDefinition(std::FILE* out, const CodePoints& codePoints);

/// Writes the CMap `kind` to `out` for the characters `codePoints` and the glyphs `glyphPoints`
/// (chooseGlyphPoints): identity ranges within each run of 256 code points, split where a
/// character takes another code point's glyph. Returns 0 if a write failed.
int writeCMap(std::FILE* out, CMapKind kind, const CodePoints& codePoints,
              const CodePoints& glyphPoints);

/// Writes the one map line of `family` to `out`: "kanji@kanjikit@ Kotobun-Kanji-H FONT" (for
/// the gothic family "kanjig@kanjikit@ ...") and a line end, FONT being `fontFile` as written.
/// The subfont definition and the CMaps serve both families. Returns 0 if the write failed.
int writeFamilyMapLine(std::FILE* out, Family family, const char* fontFile);

}  // namespace fontkit

#endif  // FONTKIT_ENCODING_H_
