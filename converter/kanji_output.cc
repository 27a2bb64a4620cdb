// kanji_output.cc - the conversion pass: glyph references with their break and glue macros.
#include "converter/kanji_output.h"

#include <array>
#include <memory>
#include <string_view>

#include "converter/reader.h"
#include "converter/short_text.h"
#include "platform/write_check.h"

namespace kotobun {
namespace {

// The class of every bitmap number, worked out once at compile time: the pass looks up one per
// kanji.
constexpr auto kClassTable = [] {
  std::array<CharClass, kLastBitmap + 1> table{};
  for (int bitmap = 0; bitmap <= kLastBitmap; ++bitmap) {
    table[static_cast<std::size_t>(bitmap)] = classOf(bitmap);
  }
  return table;
}();

void writeText(std::FILE* out, std::string_view text) {
  platform::putText(out, text);
  platform::checkWrites(out);
}

// ORDER CLASSES. What stands between two Japanese characters that follow each other directly,
// by space (0 or 1) and the classes of the previous and the current character: spacingBetween,
// applied once at compile time.
constexpr auto kSpacingTable = [] {
  // Rows of eight, one unused: a row is then found with a shift in the pass loop.
  std::array<std::array<std::array<ShortText, 8>, kCharClasses>, 2> table{};
  for (int space = 0; space <= 1; ++space) {
    for (int prev = 0; prev < kCharClasses; ++prev) {
      for (int cur = 0; cur < kCharClasses; ++cur) {
        table[static_cast<std::size_t>(space)][static_cast<std::size_t>(prev)]
             [static_cast<std::size_t>(cur)] =
                 spacingBetween(static_cast<CharClass>(prev), static_cast<CharClass>(cur), space);
      }
    }
  }
  return table;
}();

// The glyph reference of every bitmap number at one size, made the first time the size is in
// force: the pass then copies each with one fixed-size move.
struct GlyphTexts {
  std::array<ShortText, kLastBitmap + 1> text;
};

// One set for each size (index 0 unused), kept for the whole pass: a directive that goes back
// to a size finds its texts made (hot path: with asciiUpper in the directives, 49.5 to
// 48.3 instructions per input byte). The sets are left unset until used, so that a set's pages are
// touched only once its size is in force.
using GlyphSets = std::array<GlyphTexts, kFontSizes + 1>;

// Run once per size: kept out of the pass loop, whose registers it would take.
[[gnu::noinline]] void makeGlyphTexts(GlyphTexts& glyphs, int fontSize) {
  glyphs.text[0] = ShortText{};
  for (int bitmap = 1; bitmap <= kLastBitmap; ++bitmap) {
    glyphs.text[static_cast<std::size_t>(bitmap)] = glyphText(fontSize, bitmap);
  }
}

// The spacing before a character that follows single-byte text or a line end that took the
// previous character's glue: no break, and glue only before an opening bracket or a middle dot,
// or after a letter or digit.
void writeSpacingAfterText(std::FILE* out, CharClass current, const ReaderState& state, int space) {
  if (!space) return;
  const int spacedBefore = current == CharClass::MiddleDot || current == CharClass::Opening;
  const int afterAlnum = state.lastAlnum && current != CharClass::Stop &&
                         current != CharClass::Colon && current != CharClass::Closing;
  if (spacedBefore || afterAlnum) writeText(out, "\\eee");
}

CharClass classOfKanji(int bitmap) {
  return bitmap >= 0 && bitmap <= kLastBitmap ? kClassTable[static_cast<std::size_t>(bitmap)]
                                              : CharClass::None;
}

// Writes the kanji of `run`, each of which follows the one before directly, the first the kanji
// of class `current`; returns the class of the last.
CharClass writeKanjiRun(std::FILE* out, const KanjiRun& run, CharClass current, int space,
                        const GlyphTexts& glyphs) {
  const auto& spacing = kSpacingTable[space ? 1 : 0];
  const int count = run.count;
  // Hot path: with room for the whole run in the stream's buffer, the texts are copied there
  // without a test each.
  char* to = platform::textRoom(out, static_cast<std::size_t>(count) * 2 * sizeof(ShortText));
  if (to != nullptr) {
    for (int i = 0; i < count; ++i) {
      const std::size_t bitmap = run.bitmaps[i];
      const CharClass previous = current;
      current = kClassTable[bitmap];
      to = copyText(to,
                    spacing[static_cast<std::size_t>(previous)][static_cast<std::size_t>(current)]);
      to = copyText(to, glyphs.text[bitmap]);
    }
    platform::endText(out, to);
    return current;  // nothing went to the file, so no write can have failed
  }
  for (int i = 0; i < run.count; ++i) {
    const std::size_t bitmap = run.bitmaps[i];
    const CharClass previous = current;
    current = kClassTable[bitmap];
    putText(out, spacing[static_cast<std::size_t>(previous)][static_cast<std::size_t>(current)]);
    putText(out, glyphs.text[bitmap]);
  }
  platform::checkWrites(out);
  return current;
}

}  // namespace

int runConversionPass(std::FILE* in, std::FILE* out, ConversionOptions& options,
                      std::FILE* console) {
  ReaderState state;
  startPass(state, 1);
  // The classes of the character just handed back and of the one before it.
  CharClass previous = CharClass::None;
  CharClass current = CharClass::None;
  const auto glyphSets = std::make_unique_for_overwrite<GlyphSets>();
  std::array<int, kFontSizes + 1> made{};  // 1 for a size whose glyph texts are made
  KanjiRun run;
  for (;;) {
    readToNextKanji(in, out, state, options, current, console);
    if (state.endOfInput) break;
    previous = current;
    current = classOfKanji(state.bitmap);
    if (state.afterKanji) {
      const std::size_t space = options.space ? 1 : 0;
      putText(out, kSpacingTable[space][static_cast<std::size_t>(previous)]
                                [static_cast<std::size_t>(current)]);
    } else {
      writeSpacingAfterText(out, current, state, options.space);
    }
    const auto size = static_cast<std::size_t>(options.fontSize);
    GlyphTexts& glyphs = glyphSets->at(size);
    if (!made.at(size)) {
      makeGlyphTexts(glyphs, options.fontSize);
      made[size] = 1;
    }
    putText(out, glyphs.text[static_cast<std::size_t>(state.bitmap)]);
    platform::checkWrites(out);
    // The kanji that follow it directly, many at a time; a line end alone changes the settings.
    do {
      takeKanjiRun(in, state, options, run);
      current = writeKanjiRun(out, run, current, options.space, glyphs);
    } while (run.count == kKanjiRunCapacity);
  }
  return state.inputError;
}

}  // namespace kotobun
