// sfnt.h - the table directory of a TrueType or OpenType font, and the checks of its glyph tables.
#ifndef FONTKIT_SFNT_H_
#define FONTKIT_SFNT_H_

#include <cstdint>
#include <cstdio>

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

/// Returns the record of the table `tag` (four characters), nullptr if the font has none.
const TableEntry* findTable(const FontDirectory& directory, const char* tag);

/// Returns the first table that does not lie wholly inside the file, nullptr if all do.
const TableEntry* tableOutside(const FontDirectory& directory);

/// Checks the TrueType glyph tables that dvipdfmx reads to embed glyphs: head, maxp, loca and
/// glyf present, loca long enough for every glyph of maxp, its offsets in order and inside
/// glyf. Returns nullptr when they are sound, else the end of a sentence that starts with
/// "the font FILE" and says what is wrong. Takes the tables as lying inside the file.
const char* glyphTablesProblem(std::FILE* font, const FontDirectory& directory);

}  // namespace fontkit

#endif  // FONTKIT_SFNT_H_
