// converter.h - the records that the converter's passes share.
#ifndef KOTOBUN_CONVERTER_H_
#define KOTOBUN_CONVERTER_H_

#include <array>
#include <cstddef>
#include <string_view>

namespace kotobun {

constexpr std::size_t kMaxFileName = 250;  // characters of a base name
constexpr std::size_t kMaxExtension = 4;   // ".kjx", ".jpn" or ".jap"
constexpr std::size_t kMaxComment = 254;   // bytes of a comment line as read, its '%' included
constexpr int kLastBitmap = 7806;          // row 84, cell 4
constexpr int kFontSizes = 7;              // magnifications 1000 to 2488
constexpr int kFontBlocks = 61;            // blocks "aa" to "he"

// The input encodings, as ConversionOptions::euc holds them: its two old values keep their
// meaning.
constexpr int kShiftJis = 0;  // MS-kanji
constexpr int kEuc = 1;
constexpr int kUtf8 = 2;

/// The converter's settings.
struct ConversionOptions {
  char fileName[kMaxFileName + 1];    // base name of the input and output, without extension
  char extension[kMaxExtension + 1];  // extension under which the input was found
  int space;                          // glue around Japanese punctuation
  int percent;                        // a "%" ends every line that ends in Japanese text
  int latex;                          // LaTeX output; 0 = plain TeX
  int euc;                            // input in EUC; 0 = Shift-JIS (MS-kanji)
  int extended;                       // characters outside JIS '83 accepted without a warning
  int fontSize;                       // 1..7, index into kMagnifications
};

/// Magnification of each font size, by fontSize; index 0 is unused.
constexpr std::array<int, 8> kMagnifications = {0, 1000, 1095, 1200, 1440, 1728, 2074, 2488};
constexpr char sizeLetter(int fontSize) { return static_cast<char>('a' + fontSize - 1); }
constexpr int fontBlock(int bitmap) { return bitmap / 128; }
constexpr char blockLetter1(int block) { return static_cast<char>('a' + block / 8); }
constexpr char blockLetter2(int block) { return static_cast<char>('a' + block % 8); }
static_assert(sizeLetter(4) == 'd' && kMagnifications[4] == 1440);
static_assert(fontBlock(kLastBitmap) == kFontBlocks - 1);
static_assert(blockLetter1(60) == 'h' && blockLetter2(60) == 'e');

// ORDER CLASSES: the spacing table of the conversion pass is indexed by class.
/// The punctuation class of a Japanese character, which decides the break and glue around it.
enum class CharClass : unsigned char { None, Stop, Colon, Opening, Closing, MiddleDot, Letter };
constexpr int kCharClasses = 7;

/// The glue that a character of class `cls` owes to single-byte text or a line end after it:
/// "\eeee" after a stop, "\eee" after a colon, middle dot or closing bracket, else none.
constexpr std::string_view glueAfter(CharClass cls) {
  if (cls == CharClass::Stop) return "\\eeee";
  if (cls == CharClass::Colon || cls == CharClass::MiddleDot || cls == CharClass::Closing) {
    return "\\eee";
  }
  return "";
}
static_assert(glueAfter(CharClass::Stop) == "\\eeee" && glueAfter(CharClass::Opening).empty());

/// The state of one pass of the reader.
struct ReaderState {
  int endOfInput;     // input exhausted, or bad input ended the pass
  int outputEnabled;  // 0 in the font scan, 1 in the conversion pass
  int commentLine;    // the current line is a comment line (so far)
  int afterKanji;     // the glue that may follow the last kanji is still due
  int lastAlnum;      // nonzero: the last single byte on this line was an ASCII letter or digit
  int kanjiFound;     // the last call handed back a kanji (outside a comment line) in bitmap
  int atLineStart;    // no byte of the current line has been taken yet
  char commentText[kMaxComment + 2];  // comment line so far, from its '%', terminated
  int bitmap;                         // 1..7806 when handed back: (row - 1) * 94 + cell
  int inputError;                     // bad input ended the pass (the output is cut short there)
  int commentLength;                  // bytes in commentText; the text itself may hold a NUL byte
  int line;                           // line of the input being read, from 1 (for UTF-8 messages)
  int column;                         // characters taken on that line (for UTF-8 messages)
  unsigned char pending[3];           // UTF-8 bytes read ahead after a half-width kana
  int pendingCount;                   // bytes in pending
  int pendingTaken;                   // bytes of pending given out again
};

/// Which fonts the document uses: [fontSize][block], 1 = used. Row 0 is never touched.
using FontUsageTable = std::array<std::array<int, kFontBlocks>, kFontSizes + 1>;

}  // namespace kotobun

#endif  // KOTOBUN_CONVERTER_H_
