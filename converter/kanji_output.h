// kanji_output.h - the conversion pass: glyph references with their break and glue macros.
#ifndef KOTOBUN_KANJI_OUTPUT_H_
#define KOTOBUN_KANJI_OUTPUT_H_

#include <cstdio>

#include "converter/converter.h"

namespace kotobun {

enum class CharClass { None, Stop, Colon, Opening, Closing, MiddleDot, Letter };

constexpr int kStops[] = {2, 3, 4, 5, 9, 10, 691, 720};
constexpr int kColons[] = {7, 8, 692, 693};
constexpr int kMiddleDots[] = {6, 469};

constexpr bool isOneOf(int bitmap, const auto& numbers) {
  for (int number : numbers) {
    if (number == bitmap) return true;
  }
  return false;
}

/// The class of a bitmap number; the classes do not overlap.
constexpr CharClass classOf(int bitmap) {
  if (isOneOf(bitmap, kStops)) return CharClass::Stop;
  if (isOneOf(bitmap, kColons)) return CharClass::Colon;
  if (isOneOf(bitmap, kMiddleDots)) return CharClass::MiddleDot;
  // Row 8 repeats the brackets of row 1 at the same cells, 8-38 to 8-59.
  if ((bitmap >= 38 && bitmap <= 59) || (bitmap >= 696 && bitmap <= 717)) {
    return bitmap % 2 == 0 ? CharClass::Opening : CharClass::Closing;
  }
  // Kana of rows 4 and 5 and their repetitions in rows 9 and 10; the two levels of kanji.
  if ((bitmap >= 283 && bitmap <= 365) || (bitmap >= 377 && bitmap <= 462) ||
      (bitmap >= 753 && bitmap <= 835) || (bitmap >= 847 && bitmap <= 932) ||
      (bitmap >= 1411 && bitmap <= 4375) || (bitmap >= 4419 && bitmap <= kLastBitmap)) {
    return CharClass::Letter;
  }
  return CharClass::None;
}
static_assert(classOf(3) == CharClass::Stop && classOf(54) == CharClass::Opening);
static_assert(classOf(55) == CharClass::Closing && classOf(284) == CharClass::Letter);
static_assert(classOf(1) == CharClass::None && classOf(366) == CharClass::None);

/// Shifts the current classes to the previous ones and sets the current class of `bitmap`.
void classify(int bitmap, PunctuationClasses& classes);

/// Writes "\hh" where a line may break between the previous and the current character.
/// Ends the program with status 1 if the write fails.
void writeBreak(std::FILE* out, const PunctuationClasses& classes);

/// Writes the glue between the previous and the current character: "\eeee", "\eee" or "\ee".
/// Ends the program with status 1 if the write fails.
void writeGlue(std::FILE* out, const PunctuationClasses& classes, int space);

/// Writes the glyph reference "\kk{\k<size><block>}{<code>}" of `bitmap` at `fontSize`.
/// Ends the program with status 1 if the write fails.
void writeGlyph(std::FILE* out, int fontSize, int bitmap);

/// Converts the whole input from `in` to the document body on `out`, with the settings in
/// `options`, which directives in the input change. Returns 1 if bad input ended the pass early
/// (the body is cut short there), else 0. Ends the program on a failed read or write.
int runConversionPass(std::FILE* in, std::FILE* out, ConversionOptions& options,
                      std::FILE* console = stdout);

}  // namespace kotobun

#endif  // KOTOBUN_KANJI_OUTPUT_H_
