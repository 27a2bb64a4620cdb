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
  int letter;  // 1 for a letter, which the glue treats as an ASCII letter
  std::string_view latex;
  std::string_view plain;
};

// Only what LaTeX's kernel and plain TeX set with the Computer Modern fonts alone, so that both
// outputs take the same characters (the font scan and the conversion pass must agree whatever a
// directive says about the output); the rest is set as the geta mark. ORDER CODE POINTS.
constexpr TexText kTexTexts[] = {
    {0x00A0, 0, "~", "~"},
    {0x00A1, 0, "\\textexclamdown{}", "!`"},
    {0x00A9, 0, "\\copyright{}", "\\copyright{}"},
    {0x00AD, 0, "\\-", "\\-"},
    {0x00AE, 0, "\\textregistered{}",
     "{\\ooalign{\\hfil\\raise.07ex\\hbox{\\sevenrm R}\\hfil\\crcr\\mathhexbox20D}}"},
    {0x00B2, 0, "\\textsuperscript{2}", "$^2$"},
    {0x00B3, 0, "\\textsuperscript{3}", "$^3$"},
    {0x00B5, 0, "\\ensuremath{\\mu}", "$\\mu$"},
    {0x00B7, 0, "\\textperiodcentered{}", "$\\cdot$"},
    {0x00B9, 0, "\\textsuperscript{1}", "$^1$"},
    {0x00BF, 0, "\\textquestiondown{}", "?`"},
    {0x00C0, 1, "\\`A", "\\`A"},
    {0x00C1, 1, "\\'A", "\\'A"},
    {0x00C2, 1, "\\^A", "\\^A"},
    {0x00C3, 1, "\\~A", "\\~A"},
    {0x00C4, 1, "\\\"A", "\\\"A"},
    {0x00C5, 1, "\\AA{}", "\\AA{}"},
    {0x00C6, 1, "\\AE{}", "\\AE{}"},
    {0x00C7, 1, "\\c{C}", "\\c{C}"},
    {0x00C8, 1, "\\`E", "\\`E"},
    {0x00C9, 1, "\\'E", "\\'E"},
    {0x00CA, 1, "\\^E", "\\^E"},
    {0x00CB, 1, "\\\"E", "\\\"E"},
    {0x00CC, 1, "\\`I", "\\`I"},
    {0x00CD, 1, "\\'I", "\\'I"},
    {0x00CE, 1, "\\^I", "\\^I"},
    {0x00CF, 1, "\\\"I", "\\\"I"},
    {0x00D1, 1, "\\~N", "\\~N"},
    {0x00D2, 1, "\\`O", "\\`O"},
    {0x00D3, 1, "\\'O", "\\'O"},
    {0x00D4, 1, "\\^O", "\\^O"},
    {0x00D5, 1, "\\~O", "\\~O"},
    {0x00D6, 1, "\\\"O", "\\\"O"},
    {0x00D8, 1, "\\O{}", "\\O{}"},
    {0x00D9, 1, "\\`U", "\\`U"},
    {0x00DA, 1, "\\'U", "\\'U"},
    {0x00DB, 1, "\\^U", "\\^U"},
    {0x00DC, 1, "\\\"U", "\\\"U"},
    {0x00DD, 1, "\\'Y", "\\'Y"},
    {0x00DF, 1, "\\ss{}", "\\ss{}"},
    {0x00E0, 1, "\\`a", "\\`a"},
    {0x00E1, 1, "\\'a", "\\'a"},
    {0x00E2, 1, "\\^a", "\\^a"},
    {0x00E3, 1, "\\~a", "\\~a"},
    {0x00E4, 1, "\\\"a", "\\\"a"},
    {0x00E5, 1, "\\aa{}", "\\aa{}"},
    {0x00E6, 1, "\\ae{}", "\\ae{}"},
    {0x00E7, 1, "\\c{c}", "\\c{c}"},
    {0x00E8, 1, "\\`e", "\\`e"},
    {0x00E9, 1, "\\'e", "\\'e"},
    {0x00EA, 1, "\\^e", "\\^e"},
    {0x00EB, 1, "\\\"e", "\\\"e"},
    {0x00EC, 1, "\\`{\\i}", "\\`{\\i}"},
    {0x00ED, 1, "\\'{\\i}", "\\'{\\i}"},
    {0x00EE, 1, "\\^{\\i}", "\\^{\\i}"},
    {0x00EF, 1, "\\\"{\\i}", "\\\"{\\i}"},
    {0x00F1, 1, "\\~n", "\\~n"},
    {0x00F2, 1, "\\`o", "\\`o"},
    {0x00F3, 1, "\\'o", "\\'o"},
    {0x00F4, 1, "\\^o", "\\^o"},
    {0x00F5, 1, "\\~o", "\\~o"},
    {0x00F6, 1, "\\\"o", "\\\"o"},
    {0x00F8, 1, "\\o{}", "\\o{}"},
    {0x00F9, 1, "\\`u", "\\`u"},
    {0x00FA, 1, "\\'u", "\\'u"},
    {0x00FB, 1, "\\^u", "\\^u"},
    {0x00FC, 1, "\\\"u", "\\\"u"},
    {0x00FD, 1, "\\'y", "\\'y"},
    {0x00FF, 1, "\\\"y", "\\\"y"},
    {0x0131, 1, "\\i{}", "\\i{}"},
    {0x0141, 1, "\\L{}", "\\L{}"},
    {0x0142, 1, "\\l{}", "\\l{}"},
    {0x0152, 1, "\\OE{}", "\\OE{}"},
    {0x0153, 1, "\\oe{}", "\\oe{}"},
    {0x2002, 0, "\\enspace{}", "\\enspace{}"},
    {0x2003, 0, "\\quad{}", "\\quad{}"},
    {0x2009, 0, "\\thinspace{}", "\\thinspace{}"},
    {0x2013, 0, "--", "--"},
    {0x2022, 0, "\\textbullet{}", "$\\bullet$"},
    {0x2122, 0, "\\texttrademark{}", "$^{\\rm TM}$"},
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
