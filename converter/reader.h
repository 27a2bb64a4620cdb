// reader.h - reads the input text and hands back one kanji at a time.
#ifndef KOTOBUN_READER_H_
#define KOTOBUN_READER_H_

#include <cstdio>

#include "converter/converter.h"
#include "platform/take_text.h"

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
/// write or an overlong comment line. readToNextKanji takes the common case first and calls this
/// for the rest.
void scanToNextKanji(std::FILE* in, std::FILE* out, ReaderState& state, ConversionOptions& options,
                     CharClass previous, std::FILE* console);

/// The bitmap number of the EUC or Shift-JIS pair at `bytes`, by `options.euc`, if it names a
/// place the reader hands back at once: a valid pair, 1 to 7806, and in the font scan under
/// "Standard" none that it warns about. Else 0.
inline int plainKanji(const unsigned char* bytes, const ReaderState& state,
                      const ConversionOptions& options) {
  const int lead = bytes[0];
  const int trail = bytes[1];
  int bitmap = 0;
  if (options.euc) {
    if (isEucLead(lead) && isEucTrail(trail)) bitmap = eucBitmap(lead, trail);
  } else if (isSjisLead(lead) && isSjisTrail(trail)) {
    bitmap = sjisBitmap(lead, trail);
  }
  if (bitmap < 1 || bitmap > kLastBitmap) return 0;
  if (!state.outputEnabled && !options.extended && isNonStandardBitmap(bitmap)) return 0;
  return bitmap;
}

/// As scanToNextKanji (above), which does the work. Hot path: a pair of EUC or Shift-JIS straight
/// after the kanji handed back last, the bulk of a Japanese text, is taken here in the caller's
/// loop, without a call; that halves the instructions per input byte under callgrind (see the
/// README). Such a pair is on a line that is no comment line and owes no glue before it.
inline void readToNextKanji(std::FILE* in, std::FILE* out, ReaderState& state,
                            ConversionOptions& options, CharClass previous,
                            std::FILE* console = stdout) {
  // Bytes wait from the call before only in UTF-8.
  if (state.kanjiFound && options.euc != kUtf8) {
    const platform::TextBlock block = platform::bufferedText(in);
    if (block.end - block.begin >= 2) {
      const int bitmap = plainKanji(block.begin, state, options);
      if (bitmap != 0) {
        platform::takeText(in, block.begin + 2);
        state.afterKanji = 1;
        state.bitmap = bitmap;
        return;
      }
    }
  }
  scanToNextKanji(in, out, state, options, previous, console);
}

}  // namespace kotobun

#endif  // KOTOBUN_READER_H_
