// sfnt.h - the table directory of a TrueType or OpenType font, and the checks of its glyph tables.
#ifndef FONTKIT_SFNT_H_
#define FONTKIT_SFNT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace fontkit {

constexpr int kMaxTables = 256;  // real fonts hold a few dozen tables

/// One record of the table directory.
struct TableEntry {
  char tag[5];           // four characters and a terminator, as "glyf"
  std::uint32_t offset;  // from the start of the file
  std::uint32_t length;  // in bytes, without the padding to four
};

/// The table directory of a font (of a collection, its first font).
struct FontDirectory {
  long fileSize;   // bytes
  int tableCount;  // 0..kMaxTables
  TableEntry tables[kMaxTables];
};

enum class DirectoryResult {
  Read,          // `directory` holds every record
  ReadFailed,    // the file could not be read
  NotAFont,      // no TrueType, OpenType or collection header, or a directory past the end
  TooManyTables  // more than kMaxTables records
};

/// Reads the table directory of the font in `font` into `directory`, from the start of the
/// stream. Checks nothing about the tables themselves.
DirectoryResult readDirectory(std::FILE* font, FontDirectory& directory);

/// The big-endian number in the first `count` (1..4) of `bytes`.
std::uint32_t bigEndian(const unsigned char* bytes, int count);

/// Reads `count` bytes at `offset` of `font`; returns 0 when the file ends first or a read fails.
int readAt(std::FILE* font, long offset, unsigned char* bytes, std::size_t count);

/// Returns the record of the table `tag` (four characters), nullptr if the font has none.
const TableEntry* findTable(const FontDirectory& directory, const char* tag);

/// Returns the first table that does not lie wholly inside the file, nullptr if all do.
const TableEntry* tableOutside(const FontDirectory& directory);

/// Checks the TrueType glyph tables that dvipdfmx reads to embed glyphs: head, maxp, loca and
/// glyf present, loca long enough for every glyph of maxp, its offsets in order and inside
/// glyf. Returns nullptr when they are sound, else the end of a sentence that starts with
/// "the font FILE" and says what is wrong. Takes the tables as lying inside the file.
const char* glyphTablesProblem(std::FILE* font, const FontDirectory& directory);

/// The advance widths of a font's glyphs and its em, in font units.
struct AdvanceWidths {
  std::vector<std::uint16_t> advances;  // from hmtx, by glyph index; later glyphs take the last
  unsigned unitsPerEm;                  // from head
};

/// Reads the em from the head table and the advance widths from the hhea and hmtx tables into
/// `widths`. Returns 0, leaving `widths` empty, when a table is missing, too short or cannot be
/// read. Takes the tables as lying inside the file.
int readAdvanceWidths(std::FILE* font, const FontDirectory& directory, AdvanceWidths& widths);

/// The advance width of glyph `glyph`: that of the last entry for glyphs past the table, 0 when
/// the table is empty.
unsigned advanceWidth(const AdvanceWidths& widths, unsigned glyph);

}  // namespace fontkit

#endif  // FONTKIT_SFNT_H_
