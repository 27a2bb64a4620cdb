// reader.cc - reads the input text and hands back one kanji at a time.
#include "converter/reader.h"

#include <cstring>
#include <string_view>

#include "converter/directive.h"
#include "converter/unicode.h"
#include "converter/unicode_table.h"
#include "platform/program_end.h"
#include "platform/put_text.h"
#include "platform/write_check.h"

namespace kotobun {
namespace {

constexpr int kLineEnd = 10;
constexpr int kFormFeed = 12;

// The isalnum test of the default locale: ASCII letters and digits only.
constexpr int isAsciiAlnum(int byte) {
  return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= 'a' && byte <= 'z');
}

void writeText(std::FILE* out, std::string_view text) {
  platform::putText(out, text);
  platform::checkWrites(out);
}

// What a byte starts, by encoding and byte: a pair of EUC or Shift-JIS (Lead), a UTF-8 sequence
// or a byte that cannot start one (Utf8Lead).
enum class ByteKind : unsigned char { Single, Lead, LineEnd, FormFeed, Utf8Lead };

// The row of kByteKinds for an encoding. Every encoding has its own row, so that UTF-8 is never
// read by the rules of another.
constexpr std::size_t kindRow(int encoding) {
  if (encoding == kUtf8) return 2;
  return encoding ? 1 : 0;  // any other value has always meant EUC
}
static_assert(kindRow(kShiftJis) == 0 && kindRow(kEuc) == 1 && kindRow(kUtf8) == 2);

// The kind of every byte in Shift-JIS (0), EUC (1) and UTF-8 (2), made at compile time from the
// lead bytes of each encoding: the main loop then takes one look per byte.
constexpr auto kByteKinds = [] {
  std::array<std::array<ByteKind, 256>, 3> kinds{};
  for (int encoding : {kShiftJis, kEuc, kUtf8}) {
    for (int byte = 0; byte < 256; ++byte) {
      ByteKind kind = ByteKind::Single;
      if (byte == kLineEnd) {
        kind = ByteKind::LineEnd;
      } else if (byte == kFormFeed) {
        kind = ByteKind::FormFeed;
      } else if (encoding == kUtf8) {
        if (byte >= 0x80) kind = ByteKind::Utf8Lead;
      } else if (encoding == kEuc ? isEucLead(byte) : isSjisLead(byte)) {
        kind = ByteKind::Lead;
      }
      kinds[kindRow(encoding)][static_cast<std::size_t>(byte)] = kind;
    }
  }
  return kinds;
}();
static_assert(kByteKinds[1][0xA4] == ByteKind::Lead && kByteKinds[0][0xA4] == ByteKind::Single);
static_assert(kByteKinds[2][0xA4] == ByteKind::Utf8Lead && kByteKinds[2]['%'] == ByteKind::Single);

// A read error ends the program; the end of the file is cleared from the stream, so that the
// driver can rewind it, and ends the pass. Met once per pass: kept out of the byte loop.
[[gnu::cold]] [[gnu::noinline]] void meetEndOfFile(std::FILE* in, ReaderState& state) {
  if (std::ferror(in)) platform::endProgram(1);
  std::clearerr(in);
  state.endOfInput = 1;
}

int readByte(std::FILE* in, ReaderState& state) {
  const int byte = getc_unlocked(in);
  if (byte == EOF) meetEndOfFile(in, state);
  return byte;
}

// Messages that arise in the middle of a phase complete the line in progress with ".\n" and
// leave their own line open for the driver's ".\n".
void reportInputError(ReaderState& state, std::FILE* console, const char* message) {
  state.endOfInput = 1;
  state.inputError = 1;
  std::fputs(".\n", console);
  std::fputs(message, console);
  platform::checkConsole(console);
}

// Its own function, so that the message buffer stays out of the reader's hot loop.
[[gnu::cold]] [[gnu::noinline]] void reportMissingBitmap(ReaderState& state, std::FILE* console) {
  char message[64];
  std::snprintf(message, sizeof message, "\aBitmap %d does not exist..", state.bitmap);
  reportInputError(state, console, message);
}

[[noreturn]] void reportCommentTooLong(const ReaderState& state, std::FILE* console) {
  std::fputs(".\n\aComment too long: ", console);
  std::fwrite(state.commentText, 1, static_cast<std::size_t>(state.commentLength), console);
  std::fputs("...\n", console);
  platform::endProgram(1);
}

void appendComment(ReaderState& state, int byte) {
  state.commentText[state.commentLength++] = static_cast<char>(byte);
  state.commentText[state.commentLength] = '\0';
}

void emptyComment(ReaderState& state) {
  state.commentLength = 0;
  state.commentText[0] = '\0';
}

// The glue a kanji owes at the end of its line. With a line end of its own it stands on a line
// by itself before an empty input line; at the end of a line that holds text the line's own line
// end follows, so that no empty line (a paragraph end for TeX) is added.
void writeLineEndGlue(std::FILE* out, ReaderState& state, const ConversionOptions& options,
                      CharClass previous, int withLineEnd) {
  state.afterKanji = 0;
  if (!state.outputEnabled || !options.space) return;
  const std::string_view glue = glueAfter(previous);
  if (glue.empty()) return;
  writeText(out, glue);
  if (withLineEnd) writeText(out, "\n");
}

// The glue a kanji owes before single-byte text; the braces keep a following letter out of the
// macro name.
void writeGlueBeforeByte(std::FILE* out, ReaderState& state, const ConversionOptions& options,
                         CharClass previous) {
  state.afterKanji = 0;
  if (!state.outputEnabled || !options.space) return;
  const std::string_view glue = glueAfter(previous);
  if (!glue.empty()) {
    writeText(out, glue);
    if (state.lastAlnum) writeText(out, "{}");
  } else if (previous != CharClass::Opening && state.lastAlnum) {
    writeText(out, "\\eee{}");
  }
}

void takeLineEnd(std::FILE* out, ReaderState& state, ConversionOptions& options,
                 CharClass previous) {
  if (state.afterKanji) {
    if (state.atLineStart) {
      writeLineEndGlue(out, state, options, previous, 1);
    } else if (!state.commentLine) {
      if (!options.percent) {
        writeLineEndGlue(out, state, options, previous, 0);
      } else if (state.outputEnabled) {
        writeText(out, "%");  // the glue stays due for whatever follows on a later line
      }
    }
  }
  if (state.outputEnabled) writeText(out, "\n");
  if (state.commentLine && !state.atLineStart) {
    parseDirective(state.commentText, options, state.outputEnabled, out);
  }
  if (!state.commentLine) state.lastAlnum = 0;
  ++state.line;
  state.column = 0;
  state.atLineStart = 1;
  state.commentLine = 1;
  emptyComment(state);
}

// A form feed ends its line and must be followed by a line end, which it takes with it.
void takeFormFeed(std::FILE* in, std::FILE* out, ReaderState& state, ConversionOptions& options,
                  CharClass previous, std::FILE* console) {
  takeLineEnd(out, state, options, previous);
  if (readByte(in, state) != kLineEnd) state.endOfInput = 1;
  if (state.endOfInput) reportInputError(state, console, "\aAbnormal DOS end of line..");
}

void takeSingleByte(std::FILE* out, ReaderState& state, const ConversionOptions& options,
                    CharClass previous, int byte, std::FILE* console) {
  ++state.column;
  if (state.atLineStart) {
    state.atLineStart = 0;
    if (byte != '%') state.commentLine = 0;
  }
  if (state.commentLine) {
    if (state.commentLength >= static_cast<int>(kMaxComment)) reportCommentTooLong(state, console);
    appendComment(state, byte);
  } else {
    state.lastAlnum = isAsciiAlnum(byte);
    if (state.afterKanji) writeGlueBeforeByte(out, state, options, previous);
  }
  if (state.outputEnabled) {
    putc_unlocked(byte, out);
    platform::checkWrites(out);
  }
}

void takePair(std::FILE* in, std::FILE* out, ReaderState& state, const ConversionOptions& options,
              std::FILE* console) {
  if (state.atLineStart) {
    state.atLineStart = 0;
    state.commentLine = 0;  // a line that begins with a Japanese character is never a comment
  }
  const int euc = options.euc;
  const int lead = state.currentByte;
  const int trail = readByte(in, state);
  if (trail == EOF) {
    reportInputError(
        state, console,
        euc ? "\aIncomplete EUC character pair.." : "\aIncomplete MS-kanji character pair..");
    return;
  }
  if (euc ? !isEucTrail(trail) : !isSjisTrail(trail)) {
    reportInputError(
        state, console,
        euc ? "\aInvalid EUC character pair.." : "\aInvalid MS-kanji character pair..");
    return;
  }
  state.bitmap = euc ? eucBitmap(lead, trail) : sjisBitmap(lead, trail);
  if (state.commentLine) {
    // Pairs in comments pass through as they are, whatever their number.
    if (state.commentLength >= static_cast<int>(kMaxComment) - 1) {
      reportCommentTooLong(state, console);
    }
    appendComment(state, lead);
    appendComment(state, trail);
    if (state.outputEnabled) {
      putc_unlocked(lead, out);
      putc_unlocked(trail, out);
      platform::checkWrites(out);
    }
    return;
  }
  if (state.bitmap >= 1 && state.bitmap <= kLastBitmap) {
    state.kanjiFound = 1;
    if (!state.outputEnabled && !options.extended && isNonStandardBitmap(state.bitmap)) {
      std::fprintf(console, ".\nWarning! The non-standard JIS '83 Bitmap %d encountered",
                   state.bitmap);
      platform::checkConsole(console);
    }
    return;
  }
  reportMissingBitmap(state, console);
}

// UTF-8 input. Every character but ASCII is looked up in the table of places that
// make_unicode_table made from iconv at build time: one look-up per character, no iconv call.

// A UTF-8 character as read: its code point and its bytes.
struct Utf8Char {
  char32_t codePoint;
  unsigned char bytes[4];
  int size;
};

// The next byte: first those read ahead after a half-width kana, then the input's. Once the last
// is taken, nothing is pending.
int nextByte(std::FILE* in, ReaderState& state) {
  if (state.pendingTaken < state.pendingCount) {
    const int byte = state.pending[state.pendingTaken++];
    if (state.pendingTaken == state.pendingCount) state.pendingCount = state.pendingTaken = 0;
    return byte;
  }
  return readByte(in, state);
}

[[gnu::cold]] [[gnu::noinline]] void reportUtf8Error(ReaderState& state, std::FILE* console,
                                                     int byte, int cut) {
  char message[80];
  if (cut) {
    std::snprintf(message, sizeof message, "\aIncomplete UTF-8 character in line %d..", state.line);
  } else {
    std::snprintf(message, sizeof message, "\aInvalid UTF-8 byte 0x%02X in line %d..", byte,
                  state.line);
  }
  reportInputError(state, console, message);
}

// Reads the rest of the character that `lead` begins into `c`. A byte that cannot begin a
// character, a missing continuation byte, an overlong form, a surrogate or a code point beyond
// U+10FFFF is an input error that names the lead byte; so is the end of the file inside a
// character. Returns 1 for a character, 0 after an error.
int readUtf8Char(std::FILE* in, ReaderState& state, int lead, Utf8Char& c, std::FILE* console) {
  int more = 0;
  // The range of the second byte excludes the overlong forms, the surrogates (U+D800 to U+DFFF)
  // and everything beyond U+10FFFF; further bytes are 0x80 to 0xBF.
  int low = 0x80;
  int high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1;
    c.codePoint = static_cast<char32_t>(lead & 0x1F);
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2;
    c.codePoint = static_cast<char32_t>(lead & 0x0F);
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3;
    c.codePoint = static_cast<char32_t>(lead & 0x07);
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    reportUtf8Error(state, console, lead, 0);
    return 0;
  }
  c.bytes[0] = static_cast<unsigned char>(lead);
  c.size = 1;
  for (int i = 0; i < more; ++i) {
    const int byte = nextByte(in, state);
    if (byte == EOF || byte < low || byte > high) {
      reportUtf8Error(state, console, lead, byte == EOF);
      return 0;
    }
    low = 0x80;
    high = 0xBF;
    c.codePoint = c.codePoint << 6 | static_cast<char32_t>(byte & 0x3F);
    c.bytes[c.size++] = static_cast<unsigned char>(byte);
  }
  return 1;
}

// Hands back the kanji in `state.bitmap`, as takePair does (kept apart from it, so that the pair
// stays inline in the reader's loop).
void handBackKanji(ReaderState& state, const ConversionOptions& options, std::FILE* console) {
  state.kanjiFound = 1;
  if (!state.outputEnabled && !options.extended && isNonStandardBitmap(state.bitmap)) {
    std::fprintf(console, ".\nWarning! The non-standard JIS '83 Bitmap %d encountered",
                 state.bitmap);
    platform::checkConsole(console);
  }
}

// The table entry of a code point: a bitmap number (with kTakesMark), 0 for none.
int placeEntry(char32_t codePoint) {
  if (codePoint > 0xFFFF) return 0;
  return kUnicodePlaces[kUnicodePages[codePoint >> 8]][codePoint & 0xFF];
}

// A byte read ahead; the end of the file is left for the next read to meet again.
int peekByte(std::FILE* in) {
  const int byte = getc_unlocked(in);
  if (byte == EOF) {
    if (std::ferror(in)) platform::endProgram(1);
    std::clearerr(in);
  }
  return byte;
}

// After a half-width kana that a mark may join, reads ahead for the voiced or semi-voiced mark
// (EF BE 9E or EF BE 9F). Returns the bitmap of the kana with the mark joined if one follows and
// joins it, else `bitmap`; the bytes read ahead and not taken wait in `state.pending` for the
// next call.
[[gnu::noinline]] int joinMark(std::FILE* in, ReaderState& state, char32_t kana, int bitmap) {
  constexpr unsigned char kMarkStart[] = {0xEF, 0xBE};
  state.pendingCount = 0;
  state.pendingTaken = 0;
  for (int i = 0; i < 3; ++i) {
    const int byte = peekByte(in);
    if (byte == EOF) return bitmap;
    // The first byte goes back to the stream unless it starts a mark: one byte of push-back is
    // what every stream allows. Later ones wait in `pending`.
    if (i == 0 && byte != kMarkStart[0]) {
      std::ungetc(byte, in);
      return bitmap;
    }
    state.pending[state.pendingCount++] = static_cast<unsigned char>(byte);
    if (i == 1 && byte != kMarkStart[1]) return bitmap;
  }
  const auto& marked = kHalfWidthMarked[kana - kHalfWidthFirst];
  const int mark = state.pending[2];
  const int joined = mark == 0x9E ? marked[0] : mark == 0x9F ? marked[1] : 0;
  if (joined == 0) return bitmap;
  state.pendingCount = 0;
  ++state.column;
  return joined;
}

// A character without a place that the document's fonts set: single-byte text for the glue.
void takeTexText(std::FILE* out, ReaderState& state, const ConversionOptions& options,
                 CharClass previous, const TexText& text) {
  state.lastAlnum = text.letter;
  if (state.afterKanji) writeGlueBeforeByte(out, state, options, previous);
  if (state.outputEnabled) writeText(out, options.latex ? text.latex : text.plain);
}

[[gnu::cold]] [[gnu::noinline]] void warnGeta(const ReaderState& state, char32_t codePoint,
                                              std::FILE* console) {
  std::fprintf(console,
               ".\nWarning! No JIS X 0208 place for U+%04X in line %d, column %d: set as the "
               "geta mark",
               static_cast<unsigned>(codePoint), state.line, state.column);
  platform::checkConsole(console);
}

// A UTF-8 character from its lead byte. In a comment line its bytes pass through as they are;
// elsewhere it is a kanji, TeX text or, with neither, the geta mark.
void takeUtf8Char(std::FILE* in, std::FILE* out, ReaderState& state,
                  const ConversionOptions& options, CharClass previous, int lead,
                  std::FILE* console) {
  Utf8Char c;
  if (!readUtf8Char(in, state, lead, c, console)) return;
  if (c.codePoint == kByteOrderMark && state.line == 1 && state.column == 0) return;
  ++state.column;
  if (state.atLineStart) {
    state.atLineStart = 0;
    state.commentLine = 0;  // a line that begins with a Japanese character is never a comment
  }
  if (state.commentLine) {
    if (state.commentLength + c.size > static_cast<int>(kMaxComment)) {
      reportCommentTooLong(state, console);
    }
    for (int i = 0; i < c.size; ++i) appendComment(state, c.bytes[i]);
    if (state.outputEnabled) {
      platform::putText(out, std::string_view(reinterpret_cast<const char*>(c.bytes),
                                              static_cast<std::size_t>(c.size)));
      platform::checkWrites(out);
    }
    return;
  }
  const int entry = placeEntry(c.codePoint);
  if (entry != 0) {
    state.bitmap = entry & kPlaceBits;
    if ((entry & kTakesMark) != 0) state.bitmap = joinMark(in, state, c.codePoint, state.bitmap);
    handBackKanji(state, options, console);
    return;
  }
  if (const TexText* text = findTexText(c.codePoint)) {
    takeTexText(out, state, options, previous, *text);
    return;
  }
  if (!state.outputEnabled) warnGeta(state, c.codePoint, console);
  state.bitmap = kGetaBitmap;
  handBackKanji(state, options, console);
}

// Bytes read ahead by the call before, after the half-width kana that it handed back: the start
// of a UTF-8 character, which takes them all (and may read ahead again, if it is such a kana).
[[gnu::cold]] [[gnu::noinline]] void takePending(std::FILE* in, std::FILE* out, ReaderState& state,
                                                 ConversionOptions& options, CharClass previous,
                                                 std::FILE* console) {
  const int lead = nextByte(in, state);
  state.currentByte = static_cast<unsigned char>(lead);
  takeUtf8Char(in, out, state, options, previous, lead, console);
}

}  // namespace

void startPass(ReaderState& state, int outputEnabled) {
  state = ReaderState{};
  state.outputEnabled = outputEnabled;
  state.commentLine = 1;
  state.line = 1;
}

void readToNextKanji(std::FILE* in, std::FILE* out, ReaderState& state, ConversionOptions& options,
                     CharClass previous, std::FILE* console) {
  // Only a kanji handed back by an earlier call of this pass owes glue: the first character of a
  // file is spaced as one that follows single-byte text.
  state.afterKanji = state.kanjiFound;
  state.kanjiFound = 0;
  state.lastAlnum = 0;
  emptyComment(state);
  state.atLineStart = state.commentLine;
  // One test on the way in for both rare cases: the pass is over, or bytes wait from the call
  // before (UTF-8 only).
  if ((state.endOfInput | state.pendingCount) != 0) {
    if (state.endOfInput) return;
    takePending(in, out, state, options, previous, console);
    if (state.kanjiFound || state.endOfInput) return;
  }
  // Only a line end can change the encoding: a directive takes effect with the next line.
  std::size_t row = kindRow(options.euc);
  for (;;) {
    const int byte = readByte(in, state);
    if (byte == EOF) return;
    state.currentByte = static_cast<unsigned char>(byte);
    // Only a character of two or more bytes or a form feed can end the call: single bytes and
    // line ends never do. Pairs, the bulk of a Japanese text, are tested for first.
    const ByteKind kind = kByteKinds[row][state.currentByte];
    if (kind == ByteKind::Lead) {
      takePair(in, out, state, options, console);
      if (state.kanjiFound || state.endOfInput) return;
    } else if (kind == ByteKind::Single) {
      takeSingleByte(out, state, options, previous, byte, console);
    } else if (kind == ByteKind::Utf8Lead) {
      takeUtf8Char(in, out, state, options, previous, byte, console);
      if (state.kanjiFound || state.endOfInput) return;
    } else if (kind == ByteKind::LineEnd) {
      takeLineEnd(out, state, options, previous);
      row = kindRow(options.euc);
    } else {
      takeFormFeed(in, out, state, options, previous, console);
      if (state.endOfInput) return;
      row = kindRow(options.euc);
    }
  }
}

}  // namespace kotobun
