// font_tables.h - writes fontable.kjx, the converter input that typesets every kanji font.
#ifndef FONTTABLES_FONT_TABLES_H_
#define FONTTABLES_FONT_TABLES_H_

#include <cstdio>

namespace fonttables {

/// Name of the file the program writes, in the current directory.
constexpr const char* kFileName = "fontable.kjx";

/// Lead byte of the EUC pair of bitmap number `p` (1..7806): 0xA0 + row.
constexpr int leadByte(int p) { return 0xA1 + (p - 1) / 94; }

/// Trail byte of the EUC pair of bitmap number `p` (1..7806): 0xA0 + cell.
constexpr int trailByte(int p) { return 0xA1 + (p - 1) % 94; }

static_assert(leadByte(1) == 0xA1 && trailByte(1) == 0xA1);
static_assert(leadByte(94) == 0xA1 && trailByte(94) == 0xFE);
static_assert(leadByte(95) == 0xA2 && trailByte(95) == 0xA1);
static_assert(leadByte(7806) == 0xF4 && trailByte(7806) == 0xA4);  // row 84, cell 4

/// Writes the whole content of fontable.kjx to `out`: the head with its option directive, one
/// table for each of the 61 fonts (positions 0 to 7806), page breaks after every third table and
/// the closing lines. Every line end is written as a plain LF; a text stream makes it CR LF. Ends
/// the program with status 1, without a message, when a write to `out` fails.
void writeFontTables(std::FILE* out);

/// Runs the program: prints the banner and progress lines on `console`, creates fontable.kjx as
/// a DOS text file, writes it and closes it. Returns 0 after a complete run. Ends the program
/// with status 1, without a message, if the file cannot be created, written or closed, or if
/// `console` fails.
int runFontTables(std::FILE* console);

}  // namespace fonttables

#endif  // FONTTABLES_FONT_TABLES_H_
