// font_scan.cc - the font usage scan and the document header that declares the fonts found.
#include "converter/font_scan.h"

#include "converter/reader.h"
#include "platform/write_check.h"

namespace kotobun {
namespace {

constexpr const char* kLatexMacros =
    "\\newcommand{\\kk}[2]{{#1\\symbol{#2}}}\n"
    "\\newcommand{\\hh}{\\discretionary{}{}{}}\n"
    "\\newcommand{\\ee}{\\nobreak\\hskip0pt plus.1em\\relax}\n"
    "\\newcommand{\\eee}{\\nobreak\\hskip.3em plus.1em\\relax}\n"
    "\\newcommand{\\eeee}{\\nobreak\\hskip.9em plus.1em minus.1em}\n";

constexpr const char* kPlainMacros =
    "\\def\\kk#1#2{{#1\\char#2}}\n"
    "\\def\\hh{\\discretionary{}{}{}}\n"
    "\\def\\ee{\\nobreak\\hskip0pt plus.1em\\relax}\n"
    "\\def\\eee{\\nobreak\\hskip.3em plus.1em\\relax}\n"
    "\\def\\eeee{\\nobreak\\hskip.9em plus.1em minus.1em}\n";

}  // namespace

void scanFonts(std::FILE* in, FontUsageTable& fonts, ConversionOptions& options,
               std::FILE* console) {
  // Directives in the file change the copy for the rest of the scan; the conversion pass meets
  // them again and reaches the same settings by itself.
  ConversionOptions scanOptions = options;
  for (int size = 1; size <= kFontSizes; ++size) fonts[static_cast<std::size_t>(size)].fill(0);
  ReaderState state;
  startPass(state, 0);
  KanjiRun run;
  for (;;) {
    readToNextKanji(in, nullptr, state, scanOptions, CharClass::None, console);
    if (state.endOfInput) break;
    // Only a line end changes the size: the kanji that follow this one directly share it.
    auto& used = fonts[static_cast<std::size_t>(scanOptions.fontSize)];
    used[static_cast<std::size_t>(fontBlock(state.bitmap))] = 1;
    do {
      takeKanjiRun(in, state, scanOptions, run);
      for (int i = 0; i < run.count; ++i) {
        used[static_cast<std::size_t>(fontBlock(run.bitmaps[i]))] = 1;
      }
    } while (run.count == kKanjiRunCapacity);
  }
  options.latex = scanOptions.latex;
}

void writeHeader(std::FILE* out, const FontUsageTable& fonts, int latex) {
  std::fputs("\\tracingstats=1\n", out);
  platform::checkWrites(out);
  for (int size = 1; size <= kFontSizes; ++size) {
    for (int block = 0; block < kFontBlocks; ++block) {
      if (!fonts[static_cast<std::size_t>(size)][static_cast<std::size_t>(block)]) continue;
      const char s = sizeLetter(size);
      const char b1 = blockLetter1(block);
      const char b2 = blockLetter2(block);
      const int scale = kMagnifications[static_cast<std::size_t>(size)];
      if (latex) {
        std::fprintf(out, "\\newfont{\\k%c%c%c}{kanji%c%c scaled %d}\n", s, b1, b2, b1, b2, scale);
      } else {
        std::fprintf(out, "\\font\\k%c%c%c=kanji%c%c scaled %d\n", s, b1, b2, b1, b2, scale);
      }
      platform::checkWrites(out);
    }
  }
  std::fputs(latex ? kLatexMacros : kPlainMacros, out);
  std::fputs("\n", out);
  platform::checkWrites(out);
}

}  // namespace kotobun
