// kanji_output.cc - the conversion pass: glyph references with their break and glue macros.
#include "converter/kanji_output.h"

#include <array>
#include <cstring>
#include <string_view>

#include "converter/reader.h"
#include "platform/write_check.h"

namespace kotobun {
namespace {

// The class of every bitmap number, worked out once at compile time: classify runs per kanji.
constexpr auto kClassTable = [] {
  std::array<CharClass, kLastBitmap + 1> table{};
  for (int bitmap = 0; bitmap <= kLastBitmap; ++bitmap) {
    table[static_cast<std::size_t>(bitmap)] = classOf(bitmap);
  }
  return table;
}();

void writeText(std::FILE* out, std::string_view text) {
  // Macros and glyph references are a few bytes each: byte stores beat fwrite's set-up cost.
  for (const char c : text) putc_unlocked(c, out);
  platform::checkWrites(out);
}

// The spacing before a character that follows single-byte text or a line end that took the
// previous character's glue: no break, and glue only before an opening bracket or a middle dot,
// or after a letter or digit.
void writeSpacingAfterText(std::FILE* out, const PunctuationClasses& classes,
                           const ReaderState& state, int space) {
  if (!space) return;
  const int spacedBefore = classes.curMiddleDot || classes.curOpening;
  const int afterAlnum =
      state.lastAlnum && !classes.curStop && !classes.curColon && !classes.curClosing;
  if (spacedBefore || afterAlnum) writeText(out, "\\eee");
}

}  // namespace

void classify(int bitmap, PunctuationClasses& classes) {
  classes.prevStop = classes.curStop;
  classes.prevColon = classes.curColon;
  classes.prevOpening = classes.curOpening;
  classes.prevClosing = classes.curClosing;
  classes.prevMiddleDot = classes.curMiddleDot;
  classes.prevLetter = classes.curLetter;
  const CharClass cls = bitmap >= 0 && bitmap <= kLastBitmap
                            ? kClassTable[static_cast<std::size_t>(bitmap)]
                            : CharClass::None;
  classes.curStop = cls == CharClass::Stop;
  classes.curColon = cls == CharClass::Colon;
  classes.curOpening = cls == CharClass::Opening;
  classes.curClosing = cls == CharClass::Closing;
  classes.curMiddleDot = cls == CharClass::MiddleDot;
  classes.curLetter = cls == CharClass::Letter;
}

void writeBreak(std::FILE* out, const PunctuationClasses& classes) {
  // Break only where a kana or kanji stands on one side, never before a stop, colon, middle dot
  // or closing bracket, and never after an opening bracket.
  if ((classes.prevLetter || classes.curLetter) && !classes.curStop && !classes.curColon &&
      !classes.curMiddleDot && !classes.curClosing && !classes.prevOpening) {
    writeText(out, "\\hh");
  }
}

void writeGlue(std::FILE* out, const PunctuationClasses& classes, int space) {
  if (space) {
    if (classes.prevStop && !classes.curStop && !classes.curClosing) {
      writeText(out, "\\eeee");
      return;
    }
    if ((classes.prevColon || classes.prevMiddleDot || classes.prevClosing) && !classes.curStop &&
        !classes.curColon && !classes.curClosing) {
      writeText(out, "\\eee");
      return;
    }
    if ((classes.curMiddleDot || classes.curOpening) && !classes.prevOpening) {
      writeText(out, "\\eee");
      return;
    }
  }
  writeText(out, "\\ee");
}

void writeGlyph(std::FILE* out, int fontSize, int bitmap) {
  // Written millions of times: built by hand rather than by printf.
  char text[24] = {'\\', 'k', 'k', '{', '\\', 'k'};
  std::size_t n = 6;
  const int block = fontBlock(bitmap);
  text[n++] = sizeLetter(fontSize);
  text[n++] = blockLetter1(block);
  text[n++] = blockLetter2(block);
  text[n++] = '}';
  text[n++] = '{';
  const int code = bitmap % 128;
  if (code >= 100) text[n++] = static_cast<char>('0' + code / 100);
  if (code >= 10) text[n++] = static_cast<char>('0' + code / 10 % 10);
  text[n++] = static_cast<char>('0' + code % 10);
  text[n++] = '}';
  writeText(out, std::string_view(text, n));
}

int runConversionPass(std::FILE* in, std::FILE* out, ConversionOptions& options,
                      std::FILE* console) {
  ReaderState state;
  startPass(state, 1);
  PunctuationClasses classes{};
  for (;;) {
    state.lastStop = classes.curStop;
    state.lastSpacedAfter = classes.curColon || classes.curMiddleDot || classes.curClosing;
    state.lastOpening = classes.curOpening;
    readToNextKanji(in, out, state, options, console);
    if (state.endOfInput) break;
    classify(state.bitmap, classes);
    if (state.afterKanji) {
      writeBreak(out, classes);
      writeGlue(out, classes, options.space);
    } else {
      writeSpacingAfterText(out, classes, state, options.space);
    }
    writeGlyph(out, options.fontSize, state.bitmap);
  }
  return state.inputError;
}

}  // namespace kotobun
