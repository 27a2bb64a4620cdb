// family.h - the kanji font family: its blocks, their names and the positions they hold.
#ifndef FONTKIT_FAMILY_H_
#define FONTKIT_FAMILY_H_

namespace fontkit {

constexpr int kFontBlocks = 61;   // blocks "aa" to "he"
constexpr int kGlyphs = 128;      // codes 0 to 127 in every font
constexpr int kPositions = 7806;  // bitmap numbers 1 to 7806, row 1 cell 1 to row 84 cell 4

/// First letter of the name of font block `block` (0..60): 'a' + block / 8.
constexpr char blockLetter1(int block) { return static_cast<char>('a' + block / 8); }

/// Second letter of the name of font block `block` (0..60): 'a' + block mod 8.
constexpr char blockLetter2(int block) { return static_cast<char>('a' + block % 8); }

static_assert(blockLetter1(2) == 'a' && blockLetter2(2) == 'c');
static_assert(blockLetter1(kFontBlocks - 1) == 'h' && blockLetter2(kFontBlocks - 1) == 'e');

/// Lead byte of the EUC pair of bitmap number `bitmap` (1..7806): 0xA0 + row.
constexpr int eucLead(int bitmap) { return 0xA1 + (bitmap - 1) / 94; }

/// Trail byte of the EUC pair of bitmap number `bitmap` (1..7806): 0xA0 + cell.
constexpr int eucTrail(int bitmap) { return 0xA1 + (bitmap - 1) % 94; }

static_assert(eucLead(284) == 0xA4 && eucTrail(284) == 0xA2);  // hiragana "a": row 4, cell 2
static_assert(eucLead(kPositions) == 0xF4 && eucTrail(kPositions) == 0xA4);

}  // namespace fontkit

#endif  // FONTKIT_FAMILY_H_
