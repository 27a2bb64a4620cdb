// family.h - the kanji font family: its blocks, their names and the positions they hold.
#ifndef FONTKIT_FAMILY_H_
#define FONTKIT_FAMILY_H_

namespace fontkit {

constexpr int kFontBlocks = 61;   // blocks "aa" to "he"
constexpr int kGlyphs = 128;      // codes 0 to 127 in every font
constexpr int kPositions = 7806;  // bitmap numbers 1 to 7806, row 1 cell 1 to row 84 cell 4

/// The families of TFM names: the Mincho fonts kanjiaa ... kanjihe that kotobun's output names,
/// and the gothic fonts kanjigaa ... kanjighe that kotobun.sty takes for bold kanji (a name one
/// letter longer than any Mincho one, so that no name stands in both).
/// ORDER FAMILIES
enum class Family { Mincho, Gothic };
constexpr const char* kFamilyPrefixes[] = {"kanji", "kanjig"};

/// The prefix of the TFM names of `family`, before the two block letters.
constexpr const char* familyPrefix(Family family) {
  return kFamilyPrefixes[static_cast<int>(family)];
}

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

/// Lead byte of the Shift-JIS pair of bitmap number `bitmap` (1..7806): two rows a lead byte,
/// from 0x81 for rows 1 and 2, and from 0xE0 after row 62.
constexpr int sjisLead(int bitmap) {
  const int row = (bitmap - 1) / 94 + 1;
  return (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
}

/// Trail byte of the Shift-JIS pair of bitmap number `bitmap` (1..7806): an odd row's cells
/// from 0x40, skipping 0x7F; an even row's from 0x9F.
constexpr int sjisTrail(int bitmap) {
  const int row = (bitmap - 1) / 94 + 1;
  const int cell = (bitmap - 1) % 94 + 1;
  if (row % 2 == 0) return cell + 0x9E;
  return cell + (cell <= 63 ? 0x3F : 0x40);
}

static_assert(sjisLead(284) == 0x82 && sjisTrail(284) == 0xA0);                  // hiragana "a"
static_assert(sjisLead(12 * 94 + 1) == 0x87 && sjisTrail(12 * 94 + 1) == 0x40);  // row 13 cell 1
static_assert(sjisLead(12 * 94 + 64) == 0x87 && sjisTrail(12 * 94 + 64) == 0x80);
static_assert(sjisLead(kPositions) == 0xEA && sjisTrail(kPositions) == 0xA2);

}  // namespace fontkit

#endif  // FONTKIT_FAMILY_H_
