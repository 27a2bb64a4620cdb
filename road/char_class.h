// char_class.h - the class that kotobun gives a character, found from its JIS X 0208 place.
#ifndef KOTOTEXT_CHAR_CLASS_H_
#define KOTOTEXT_CHAR_CLASS_H_

#include <array>
#include <cstdint>

namespace kototext {

/// kotobun's punctuation classes, and two more: Other is a character with a JIS X 0208 place in
/// none of them (a glyph with no class); Outside is one without a place (ASCII, and the
/// characters that kotobun sets as a substitute or passes on as they are).
enum class CharClass : std::uint8_t {
  Outside,
  Other,
  Stop,
  Colon,
  Opening,
  Closing,
  MiddleDot,
  Letter
};

/// The class kotobun gives the bitmap number (row - 1) * 94 + cell; Other outside its classes.
constexpr CharClass bitmapClass(int bitmap) {
  if (bitmap == 2 || bitmap == 3 || bitmap == 4 || bitmap == 5 || bitmap == 9 || bitmap == 10 ||
      bitmap == 691 || bitmap == 720) {
    return CharClass::Stop;
  }
  if (bitmap == 7 || bitmap == 8 || bitmap == 692 || bitmap == 693) return CharClass::Colon;
  if ((bitmap >= 38 && bitmap <= 59) || (bitmap >= 696 && bitmap <= 717)) {
    return bitmap % 2 == 0 ? CharClass::Opening : CharClass::Closing;
  }
  if (bitmap == 6 || bitmap == 469) return CharClass::MiddleDot;
  if ((bitmap >= 283 && bitmap <= 365) || (bitmap >= 377 && bitmap <= 462) ||
      (bitmap >= 1411 && bitmap <= 4375) || (bitmap >= 4419 && bitmap <= 7806) ||
      (bitmap >= 753 && bitmap <= 835) || (bitmap >= 847 && bitmap <= 932)) {
    return CharClass::Letter;
  }
  return CharClass::Other;
}
static_assert(bitmapClass(3) == CharClass::Stop && bitmapClass(54) == CharClass::Opening);
static_assert(bitmapClass(55) == CharClass::Closing && bitmapClass(284) == CharClass::Letter);
static_assert(bitmapClass(1) == CharClass::Other && bitmapClass(4376) == CharClass::Other);

/// The class of every code point of the Basic Multilingual Plane.
using ClassTable = std::array<CharClass, 0x10000>;

/// Fills `table` from iconv(3): each place of JIS X 0208 rows 1 to 84 gives its class to the code
/// point that EUC-JP maps it to, then to the one that CP932 maps it to where EUC-JP has put none
/// there; half-width katakana take the class of their full-width forms. Returns 0 if iconv has
/// no EUC-JP or CP932.
int fillClassTable(ClassTable& table);

/// The class of `c`; Outside for ASCII and for code points beyond the table.
inline CharClass classOf(const ClassTable& table, char32_t c) {
  return c < table.size() ? table[c] : CharClass::Outside;
}

}  // namespace kototext

#endif  // KOTOTEXT_CHAR_CLASS_H_
