// unicode.h - what the reader needs for UTF-8 input beside the table of JIS X 0208 places: the
// layout of that table's entries, the TeX texts of characters that have no place, UTF-8 forms.
#ifndef KOTOBUN_UNICODE_H_
#define KOTOBUN_UNICODE_H_

#include <string_view>

#include "converter/converter.h"

namespace kotobun {

/// Entries of the table of places (made at build time by make_unicode_table): the bitmap number
/// in the low bits, 0 for none; kTakesMark on a half-width kana that a following voiced or
/// semi-voiced mark may join.
constexpr int kTakesMark = 0x2000;
constexpr int kPlaceBits = 0x1FFF;
static_assert(kLastBitmap <= kPlaceBits);

/// The half-width katakana and their marks, U+FF61 to U+FF9F.
constexpr char32_t kHalfWidthFirst = 0xFF61;
constexpr char32_t kHalfWidthLast = 0xFF9F;
constexpr char32_t kVoicedMark = 0xFF9E;
constexpr char32_t kSemiVoicedMark = 0xFF9F;

/// The byte order mark, dropped at the start of a UTF-8 file.
constexpr char32_t kByteOrderMark = 0xFEFF;

/// The geta mark, row 2 cell 14: the Japanese typesetter's placeholder, set for a character that
/// has neither a place nor a TeX text.
constexpr int kGetaBitmap = 108;

/// A character without a JIS X 0208 place that the document's own TeX fonts set: the text for
/// LaTeX and for plain TeX (control words end in "{}", so that a following letter stays out of
/// the name). A letter counts as a letter for the glue before a kanji that follows it.
struct TexText {
  char32_t codePoint;
  std::string_view latex;
  std::string_view plain;
  int letter;  // 1 for a letter, which the glue treats as an ASCII letter
};

// Only what LaTeX's kernel and plain TeX set with the Computer Modern fonts alone, so that both
// outputs take the same characters (the font scan and the conversion pass must agree whatever a
// directive says about the output); the rest is set as the geta mark. ORDER CODE POINTS.
constexpr TexText kTexTexts[] = {
    {0x00A0, "~", "~", 0},
    {0x00A1, "\\textexclamdown{}", "!`", 0},
    {0x00A9, "\\copyright{}", "\\copyright{}", 0},
    {0x00AD, "\\-", "\\-", 0},
    {0x00AE, "\\textregistered{}",
     "{\\ooalign{\\hfil\\raise.07ex\\hbox{\\sevenrm R}\\hfil\\crcr\\mathhexbox20D}}", 0},
    {0x00B2, "\\textsuperscript{2}", "$^2$", 0},
    {0x00B3, "\\textsuperscript{3}", "$^3$", 0},
    {0x00B5, "\\ensuremath{\\mu}", "$\\mu$", 0},
    {0x00B7, "\\textperiodcentered{}", "$\\cdot$", 0},
    {0x00B9, "\\textsuperscript{1}", "$^1$", 0},
    {0x00BF, "\\textquestiondown{}", "?`", 0},
    {0x00C0, "\\`A", "\\`A", 1},
    {0x00C1, "\\'A", "\\'A", 1},
    {0x00C2, "\\^A", "\\^A", 1},
    {0x00C3, "\\~A", "\\~A", 1},
    {0x00C4, "\\\"A", "\\\"A", 1},
    {0x00C5, "\\AA{}", "\\AA{}", 1},
    {0x00C6, "\\AE{}", "\\AE{}", 1},
    {0x00C7, "\\c{C}", "\\c{C}", 1},
    {0x00C8, "\\`E", "\\`E", 1},
    {0x00C9, "\\'E", "\\'E", 1},
    {0x00CA, "\\^E", "\\^E", 1},
    {0x00CB, "\\\"E", "\\\"E", 1},
    {0x00CC, "\\`I", "\\`I", 1},
    {0x00CD, "\\'I", "\\'I", 1},
    {0x00CE, "\\^I", "\\^I", 1},
    {0x00CF, "\\\"I", "\\\"I", 1},
    {0x00D1, "\\~N", "\\~N", 1},
    {0x00D2, "\\`O", "\\`O", 1},
    {0x00D3, "\\'O", "\\'O", 1},
    {0x00D4, "\\^O", "\\^O", 1},
    {0x00D5, "\\~O", "\\~O", 1},
    {0x00D6, "\\\"O", "\\\"O", 1},
    {0x00D8, "\\O{}", "\\O{}", 1},
    {0x00D9, "\\`U", "\\`U", 1},
    {0x00DA, "\\'U", "\\'U", 1},
    {0x00DB, "\\^U", "\\^U", 1},
    {0x00DC, "\\\"U", "\\\"U", 1},
    {0x00DD, "\\'Y", "\\'Y", 1},
    {0x00DF, "\\ss{}", "\\ss{}", 1},
    {0x00E0, "\\`a", "\\`a", 1},
    {0x00E1, "\\'a", "\\'a", 1},
    {0x00E2, "\\^a", "\\^a", 1},
    {0x00E3, "\\~a", "\\~a", 1},
    {0x00E4, "\\\"a", "\\\"a", 1},
    {0x00E5, "\\aa{}", "\\aa{}", 1},
    {0x00E6, "\\ae{}", "\\ae{}", 1},
    {0x00E7, "\\c{c}", "\\c{c}", 1},
    {0x00E8, "\\`e", "\\`e", 1},
    {0x00E9, "\\'e", "\\'e", 1},
    {0x00EA, "\\^e", "\\^e", 1},
    {0x00EB, "\\\"e", "\\\"e", 1},
    {0x00EC, "\\`{\\i}", "\\`{\\i}", 1},
    {0x00ED, "\\'{\\i}", "\\'{\\i}", 1},
    {0x00EE, "\\^{\\i}", "\\^{\\i}", 1},
    {0x00EF, "\\\"{\\i}", "\\\"{\\i}", 1},
    {0x00F1, "\\~n", "\\~n", 1},
    {0x00F2, "\\`o", "\\`o", 1},
    {0x00F3, "\\'o", "\\'o", 1},
    {0x00F4, "\\^o", "\\^o", 1},
    {0x00F5, "\\~o", "\\~o", 1},
    {0x00F6, "\\\"o", "\\\"o", 1},
    {0x00F8, "\\o{}", "\\o{}", 1},
    {0x00F9, "\\`u", "\\`u", 1},
    {0x00FA, "\\'u", "\\'u", 1},
    {0x00FB, "\\^u", "\\^u", 1},
    {0x00FC, "\\\"u", "\\\"u", 1},
    {0x00FD, "\\'y", "\\'y", 1},
    {0x00FF, "\\\"y", "\\\"y", 1},
    {0x0131, "\\i{}", "\\i{}", 1},
    {0x0141, "\\L{}", "\\L{}", 1},
    {0x0142, "\\l{}", "\\l{}", 1},
    {0x0152, "\\OE{}", "\\OE{}", 1},
    {0x0153, "\\oe{}", "\\oe{}", 1},
    {0x2002, "\\enspace{}", "\\enspace{}", 0},
    {0x2003, "\\quad{}", "\\quad{}", 0},
    {0x2009, "\\thinspace{}", "\\thinspace{}", 0},
    {0x2013, "--", "--", 0},
    {0x2022, "\\textbullet{}", "$\\bullet$", 0},
    {0x2122, "\\texttrademark{}", "$^{\\rm TM}$", 0},
};

/// The TeX text of `codePoint`, or null if it has none.
constexpr const TexText* findTexText(char32_t codePoint) {
  for (const TexText& text : kTexTexts) {
    if (text.codePoint == codePoint) return &text;
  }
  return nullptr;
}

constexpr bool areInOrder() {
  for (std::size_t i = 1; i < std::size(kTexTexts); ++i) {
    if (kTexTexts[i - 1].codePoint >= kTexTexts[i].codePoint) return false;
  }
  return true;
}
static_assert(areInOrder());
static_assert(findTexText(0x00E9)->letter == 1 && findTexText(0x00D7) == nullptr);

}  // namespace kotobun

#endif  // KOTOBUN_UNICODE_H_
