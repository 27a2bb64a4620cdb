// reader.h - reads the input text and hands back one kanji, or a run of them, at a time.
#ifndef KOTOBUN_READER_H_
#define KOTOBUN_READER_H_

#include <cstdint>
#include <cstdio>

#include "converter/converter.h"

namespace kotobun {

/// Lead bytes and valid second bytes of both encodings.
constexpr bool isEucLead(int byte) { return byte >= 0xA1 && byte <= 0xFE; }
constexpr bool isSjisLead(int byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xEA);
}
constexpr bool isEucTrail(int byte) { return byte >= 0xA1 && byte <= 0xFE; }
constexpr bool isSjisTrail(int byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

/// Bitmap number of a valid pair: (row - 1) * 94 + cell.
constexpr int eucBitmap(int lead, int trail) { return (lead - 0xA1) * 94 + (trail - 0xA1) + 1; }
constexpr int sjisBitmap(int lead, int trail) {
  return (lead - (lead < 0xE0 ? 0x81 : 0xC1)) * 188 + 1 + (trail - 0x40) - (trail >= 0x80 ? 1 : 0);
}
static_assert(eucBitmap(0xA4, 0xA2) == 284);  // hiragana "a": row 4, cell 2
static_assert(eucBitmap(0xF4, 0xA4) == kLastBitmap);
static_assert(sjisBitmap(0x88, 0x9F) == 1411);  // row 16, cell 1
static_assert(sjisBitmap(0x81, 0x9F) == 95 && sjisBitmap(0x81, 0xFC) == 188);

/// Ranges of the positions left empty by JIS X 0208-1983, first and last bitmap number.
constexpr int kNonStandardRanges[][2] = {
    {109, 119}, {128, 135}, {143, 153}, {169, 175},  {184, 187},  {189, 203},
    {214, 220}, {247, 252}, {279, 282}, {366, 376},  {463, 470},  {495, 502},
    {527, 564}, {598, 612}, {646, 658}, {691, 1410}, {4376, 4418}};

/// Positions left empty by JIS X 0208-1983 that the reader warns about under "Standard".
constexpr bool isNonStandardBitmap(int bitmap) {
  for (const auto& range : kNonStandardRanges) {
    if (bitmap >= range[0] && bitmap <= range[1]) return true;
  }
  return false;
}
static_assert(!isNonStandardBitmap(188) && isNonStandardBitmap(187) && !isNonStandardBitmap(365));

/// Sets up `state` for a pass: at a line start, with nothing pending.
void startPass(ReaderState& state, int outputEnabled);

/// Copies single-byte text, comment lines and line ends from `in` to `out` up to the next kanji
/// outside a comment line, writing the glue that the kanji handed back by the call before, of
/// class `previous`, still owes. Then either `state.kanjiFound` is 1 and `state.bitmap` holds it,
/// or `state.endOfInput` is 1 (and `state.inputError` 1 if bad input ended the pass, with its
/// message on `console`). Comment lines go to the directive parser, which may change `options`.
/// In UTF-8 (`options.euc` kUtf8) every character beyond ASCII is a kanji at its JIS X 0208
/// place, or TeX text written like single-byte text, or else the geta mark, with a warning in the
/// font scan. `out` may be null when output is disabled. Ends the program on a failed read or
/// write or an overlong comment line.
void readToNextKanji(std::FILE* in, std::FILE* out, ReaderState& state, ConversionOptions& options,
                     CharClass previous, std::FILE* console = stdout);

/// The most kanji that takeKanjiRun hands back at once.
constexpr int kKanjiRunCapacity = 64;

/// Kanji that follow each other directly, as takeKanjiRun hands them back.
struct KanjiRun {
  int count;
  std::uint16_t bitmaps[kKanjiRunCapacity];
};

/// Right after readToNextKanji (or this) handed back a kanji: takes the kanji that follow it
/// directly, up to kKanjiRunCapacity, into `run`, stopping short of anything that needs more than
/// to be handed back (a single byte, a line end, bad input, a warning, a half-width kana that a
/// mark may join, the end of the block). The next call of either function goes on as if each
/// had been handed back by readToNextKanji in turn: `state.bitmap` holds the last. Taking the
/// kanji of a run in one call is what keeps the passes near the speed of the disk (the hot path
/// in the README).
void takeKanjiRun(std::FILE* in, ReaderState& state, const ConversionOptions& options,
                  KanjiRun& run);

}  // namespace kotobun

#endif  // KOTOBUN_READER_H_
