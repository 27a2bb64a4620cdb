// kanji_output.h - the conversion pass: glyph references with their break and glue macros.
#ifndef KOTOBUN_KANJI_OUTPUT_H_
#define KOTOBUN_KANJI_OUTPUT_H_

#include <cstdio>
#include <string_view>

#include "converter/converter.h"
#include "platform/put_text.h"

namespace kotobun {

// ORDER CLASSES: the spacing table of the conversion pass is indexed by class.
enum class CharClass : unsigned char { None, Stop, Colon, Opening, Closing, MiddleDot, Letter };
constexpr int kCharClasses = 7;

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
constexpr platform::ShortText glyphText(int fontSize, int bitmap) {
  platform::ShortText text{{'\\', 'k', 'k', '{', '\\', 'k'}, 6};
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

/// Copies the current classes of `classes` to the previous ones and sets the current one to
/// `cls`.
constexpr void shiftClasses(CharClass cls, PunctuationClasses& classes) {
  classes.prevStop = classes.curStop;
  classes.prevColon = classes.curColon;
  classes.prevOpening = classes.curOpening;
  classes.prevClosing = classes.curClosing;
  classes.prevMiddleDot = classes.curMiddleDot;
  classes.prevLetter = classes.curLetter;
  classes.curStop = cls == CharClass::Stop;
  classes.curColon = cls == CharClass::Colon;
  classes.curOpening = cls == CharClass::Opening;
  classes.curClosing = cls == CharClass::Closing;
  classes.curMiddleDot = cls == CharClass::MiddleDot;
  classes.curLetter = cls == CharClass::Letter;
}

/// Whether a line may break between the previous and the current character: only where a kana
/// or kanji stands on one side, never before a stop, colon, middle dot or closing bracket, and
/// never after an opening bracket.
constexpr bool breakBetween(const PunctuationClasses& classes) {
  return (classes.prevLetter || classes.curLetter) && !classes.curStop && !classes.curColon &&
         !classes.curMiddleDot && !classes.curClosing && !classes.prevOpening;
}

/// The glue between the previous and the current character: "\eeee", "\eee" or "\ee".
constexpr std::string_view glueBetween(const PunctuationClasses& classes, int space) {
  if (space) {
    if (classes.prevStop && !classes.curStop && !classes.curClosing) return "\\eeee";
    if ((classes.prevColon || classes.prevMiddleDot || classes.prevClosing) && !classes.curStop &&
        !classes.curColon && !classes.curClosing) {
      return "\\eee";
    }
    if ((classes.curMiddleDot || classes.curOpening) && !classes.prevOpening) return "\\eee";
  }
  return "\\ee";
}

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
