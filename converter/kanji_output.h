// kanji_output.h - the conversion pass: glyph references with their break and glue macros.
#ifndef KOTOBUN_KANJI_OUTPUT_H_
#define KOTOBUN_KANJI_OUTPUT_H_

#include <cstdio>
#include <string_view>

#include "converter/converter.h"
#include "converter/short_text.h"

namespace kotobun {

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

/// The glyph reference "\kk{\k<size><block>}{<code>}" of `bitmap` (1..7806) at `fontSize`.
constexpr ShortText glyphText(int fontSize, int bitmap) {
  ShortText text{{'\\', 'k', 'k', '{', '\\', 'k'}, 6};
  const int block = fontBlock(bitmap);
  text.bytes[text.size++] = sizeLetter(fontSize);
  text.bytes[text.size++] = blockLetter1(block);
  text.bytes[text.size++] = blockLetter2(block);
  text.bytes[text.size++] = '}';
  text.bytes[text.size++] = '{';
  const int code = bitmap % 128;
  if (code >= 100) text.bytes[text.size++] = static_cast<char>('0' + code / 100);
  if (code >= 10) text.bytes[text.size++] = static_cast<char>('0' + code / 10 % 10);
  text.bytes[text.size++] = static_cast<char>('0' + code % 10);
  text.bytes[text.size++] = '}';
  return text;
}
static_assert(std::string_view(glyphText(4, 284).bytes, glyphText(4, 284).size) ==
              "\\kk{\\kdac}{28}");
static_assert(glyphText(7, 7806).size == 15);  // \kk{\kghe}{126}: the longest

/// What stands between two Japanese characters that follow each other directly, of classes
/// `prev` and `cur`. First "\hh" where a line may break between them: only where a kana or kanji
/// stands on one side, never before a stop, colon, middle dot or closing bracket, and never after
/// an opening bracket. Then the glue: with `space` 1, "\eeee" after a stop (unless a stop or a
/// closing bracket follows), "\eee" after a colon, middle dot or closing bracket (unless a stop,
/// colon or closing bracket follows) and before a middle dot or an opening bracket (unless after
/// an opening bracket); else, and always with `space` 0, "\ee".
constexpr ShortText spacingBetween(CharClass prev, CharClass cur, int space) {
  using enum CharClass;
  ShortText text{};
  const bool closesUp = cur == Stop || cur == Colon || cur == MiddleDot || cur == Closing;
  if ((prev == Letter || cur == Letter) && !closesUp && prev != Opening) {
    append(text, "\\hh");
  }
  const bool spacedAfter = prev == Colon || prev == MiddleDot || prev == Closing;
  if (space && prev == Stop && cur != Stop && cur != Closing) {
    append(text, "\\eeee");
  } else if (space && ((spacedAfter && cur != Stop && cur != Colon && cur != Closing) ||
                       ((cur == MiddleDot || cur == Opening) && prev != Opening))) {
    append(text, "\\eee");
  } else {
    append(text, "\\ee");
  }
  return text;
}
static_assert(spacingBetween(CharClass::Stop, CharClass::Letter, 1).size == 8);  // \hh\eeee
static_assert(spacingBetween(CharClass::Letter, CharClass::Stop, 1).size == 3);  // \ee

/// Converts the whole input from `in` to the document body on `out`, with the settings in
/// `options`, which directives in the input change. Returns 1 if bad input ended the pass early
/// (the body is cut short there), else 0. Ends the program on a failed read or write.
int runConversionPass(std::FILE* in, std::FILE* out, ConversionOptions& options,
                      std::FILE* console = stdout);

}  // namespace kotobun

#endif  // KOTOBUN_KANJI_OUTPUT_H_
