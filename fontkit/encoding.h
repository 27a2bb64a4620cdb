// encoding.h - the glyph names of the kanji fonts, from iconv, and the encoding and map files.
#ifndef FONTKIT_ENCODING_H_
#define FONTKIT_ENCODING_H_

#include <array>
#include <cstdint>
#include <cstdio>

#include "fontkit/family.h"

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

/// Writes the map line of font block `block` to `out`: "kanjiXX <kanjiXX.enc <FONT" and a line
/// end, FONT being `fontFile` as written (a bare name that kpathsea finds, or a path). Returns 0
/// if the write failed.
int writeMapLine(std::FILE* out, int block, const char* fontFile);

}  // namespace fontkit

#endif  // FONTKIT_ENCODING_H_
