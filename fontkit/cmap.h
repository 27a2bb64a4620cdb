// cmap.h - reads the Unicode character map of a TrueType or OpenType font.
#ifndef FONTKIT_CMAP_H_
#define FONTKIT_CMAP_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace fontkit {

/// The character map of a font: its whole cmap table and the Unicode subtable chosen in it.
struct FontCmap {
  std::vector<unsigned char> table;  // the cmap table's bytes, as in the file
  std::size_t subtable;              // offset of the chosen subtable within `table`
  int format;                        // 4 (16-bit segments) or 12 (32-bit groups)
  int trueTypeOutlines;              // the font has a glyf table (not CFF outlines)
};

enum class CmapResult {
  Read,          // `cmap` holds a usable subtable
  ReadFailed,    // the file could not be read
  NotAFont,      // no TrueType, OpenType or collection header, or a directory past the end
  NoCmap,        // no cmap table, or one that runs past the end of the file
  NoUnicodeMap,  // no Unicode subtable of format 4 or 12
};

/// Reads the cmap table of the font in `font` (of a collection, its first font) into `cmap` and
/// chooses its Unicode subtable: a format 12 one (all planes) before a format 4 one (the Basic
/// Multilingual Plane), Windows before Unicode platform. Also notes whether the font has
/// TrueType outlines. Reads from the start of the stream.
CmapResult readCmap(std::FILE* font, FontCmap& cmap);

/// Returns the glyph index that `cmap` gives `codePoint`, 0 (the missing glyph) when it has none.
/// Never reads outside `cmap.table`, whatever its bytes say.
unsigned glyphIndex(const FontCmap& cmap, std::uint32_t codePoint);

/// A line of text that says what `result` means, for a message about the font file.
const char* cmapResultText(CmapResult result);

}  // namespace fontkit

#endif  // FONTKIT_CMAP_H_
