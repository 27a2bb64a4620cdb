// font_scan.h - the font usage scan and the document header that declares the fonts found.
#ifndef KOTOBUN_FONT_SCAN_H_
#define KOTOBUN_FONT_SCAN_H_

#include <cstdio>

#include "converter/converter.h"

namespace kotobun {

/// Reads the whole input from `in` with output off and a private copy of `options`, and marks in
/// `fonts` the size and block of every Japanese character outside comment lines. Carries only
/// `latex` back into `options`. Leaves `in` where the scan stopped. Prints the reader's warnings
/// and input errors on `console`; ends the program on a read error or an overlong comment line.
void scanFonts(std::FILE* in, FontUsageTable& fonts, ConversionOptions& options,
               std::FILE* console = stdout);

/// Writes the header: "\tracingstats=1", the declarations of the fonts marked in `fonts` (by
/// size, then block), the five macro definitions in LaTeX or plain TeX form, and an empty line.
/// Ends the program with status 1 if a write fails.
void writeHeader(std::FILE* out, const FontUsageTable& fonts, int latex);

}  // namespace kotobun

#endif  // KOTOBUN_FONT_SCAN_H_
