// reader.cc - reads the input text and hands back one kanji, or a run of them, at a time.
#include "converter/reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "converter/directive.h"
#include "converter/unicode.h"
#include "converter/unicode_table.h"
#include "platform/program_end.h"
#include "platform/put_text.h"
#include "platform/take_text.h"
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
// lead bytes of each encoding: the scan for the end of a run of single bytes takes one look per
// byte.
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

// The part of the input's buffer that one call of the reader works on: `next` is the first byte
// not yet taken. The stream learns how far the reader got when the call returns and before each
// refill, so that it is the only place where the position is kept between calls.
struct Cursor {
  std::FILE* in;
  const unsigned char* next;
  const unsigned char* end;
};

// Reads the next block once every byte of the last is taken. A read error ends the program; the
// end of the file is cleared from the stream, so that the driver can rewind it, and returns 0.
// `endOfInput` is set only if `endsPass`: a read ahead leaves the end for the next read to meet.
[[gnu::noinline]] int refill(Cursor& cur, ReaderState& state, int endsPass) {
  platform::takeText(cur.in, cur.next);
  const platform::TextBlock block = platform::nextTextBlock(cur.in);
  cur.next = block.begin;
  cur.end = block.end;
  if (block.begin != block.end) return 1;
  if (std::ferror(cur.in)) platform::endProgram(1);
  std::clearerr(cur.in);
  if (endsPass) state.endOfInput = 1;
  return 0;
}

// The next byte of the input, or EOF (with `endOfInput` set) at its end.
int readByte(Cursor& cur, ReaderState& state) {
  if (cur.next == cur.end && !refill(cur, state, 1)) return EOF;
  return *cur.next++;
}

// Messages that arise in the middle of a phase complete the line in progress with ".\n" and
// leave their own line open for the driver's ".\n".
[[gnu::cold]] void reportInputError(ReaderState& state, std::FILE* console, const char* message) {
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

[[noreturn]] [[gnu::cold]] void reportCommentTooLong(const ReaderState& state, std::FILE* console) {
  std::fputs(".\n\aComment too long: ", console);
  std::fwrite(state.commentText, 1, static_cast<std::size_t>(state.commentLength), console);
  std::fputs("...\n", console);
  platform::endProgram(1);
}

// Appends bytes that fit: the caller has tested the limit.
void appendComment(ReaderState& state, const unsigned char* bytes, int count) {
  std::memcpy(state.commentText + state.commentLength, bytes, static_cast<std::size_t>(count));
  state.commentLength += count;
  state.commentText[state.commentLength] = '\0';
}

void writeBytes(std::FILE* out, const unsigned char* bytes, std::size_t count) {
  writeText(out, std::string_view(reinterpret_cast<const char*>(bytes), count));
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

[[gnu::noinline]] void takeLineEnd(std::FILE* out, ReaderState& state, ConversionOptions& options,
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
  state.commentLength = 0;
  state.commentText[0] = '\0';
}

// A form feed ends its line and must be followed by a line end, which it takes with it.
[[gnu::noinline]] void takeFormFeed(Cursor& cur, std::FILE* out, ReaderState& state,
                                    ConversionOptions& options, CharClass previous,
                                    std::FILE* console) {
  takeLineEnd(out, state, options, previous);
  if (readByte(cur, state) != kLineEnd) state.endOfInput = 1;
  if (state.endOfInput) reportInputError(state, console, "\aAbnormal DOS end of line..");
}

// A run of single bytes, `begin` up to `end`, on one line: what takes one byte at a time in the
// rules is done once for the run. The first byte of a line settles whether it is a comment line;
// outside one, the first byte takes the glue that a kanji still owes, and the last one tells
// whether the next kanji follows a letter or digit.
[[gnu::noinline]] void takeRun(std::FILE* out, ReaderState& state, const ConversionOptions& options,
                               CharClass previous, const unsigned char* begin,
                               const unsigned char* end, std::FILE* console) {
  const int count = static_cast<int>(end - begin);
  state.column += count;
  if (state.atLineStart) {
    state.atLineStart = 0;
    if (*begin != '%') state.commentLine = 0;
  }
  if (state.commentLine) {
    const int room = static_cast<int>(kMaxComment) - state.commentLength;
    if (count > room) {
      // The bytes that fit are taken and written as usual; the first that does not ends the run.
      appendComment(state, begin, room);
      if (state.outputEnabled) writeBytes(out, begin, static_cast<std::size_t>(room));
      reportCommentTooLong(state, console);
    }
    appendComment(state, begin, count);
  } else {
    if (state.afterKanji) {
      state.lastAlnum = isAsciiAlnum(*begin);
      writeGlueBeforeByte(out, state, options, previous);
    }
    state.lastAlnum = isAsciiAlnum(end[-1]);
  }
  if (state.outputEnabled) writeBytes(out, begin, static_cast<std::size_t>(count));
}

[[gnu::cold]] [[gnu::noinline]] void reportBadPair(ReaderState& state, int euc, int trail,
                                                   std::FILE* console) {
  if (trail == EOF) {
    reportInputError(
        state, console,
        euc ? "\aIncomplete EUC character pair.." : "\aIncomplete MS-kanji character pair..");
  } else {
    reportInputError(
        state, console,
        euc ? "\aInvalid EUC character pair.." : "\aInvalid MS-kanji character pair..");
  }
}

// A pair in a comment line passes through as it is, whatever its number.
[[gnu::noinline]] void takeCommentPair(std::FILE* out, ReaderState& state, int lead, int trail,
                                       std::FILE* console) {
  if (state.commentLength >= static_cast<int>(kMaxComment) - 1) {
    reportCommentTooLong(state, console);
  }
  const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                 static_cast<unsigned char>(trail)};
  appendComment(state, pair, 2);
  if (state.outputEnabled) writeBytes(out, pair, 2);
}

[[gnu::cold]] [[gnu::noinline]] void warnNonStandard(const ReaderState& state, std::FILE* console) {
  std::fprintf(console, ".\nWarning! The non-standard JIS '83 Bitmap %d encountered", state.bitmap);
  platform::checkConsole(console);
}

// Hands back the kanji in `state.bitmap`; the font scan under "Standard" warns of the places
// that JIS X 0208-1983 leaves empty.
void handBackKanji(ReaderState& state, const ConversionOptions& options, std::FILE* console) {
  state.kanjiFound = 1;
  if (!state.outputEnabled && !options.extended && isNonStandardBitmap(state.bitmap)) {
    warnNonStandard(state, console);
  }
}

// The pair of `lead` and `trail` (EOF at the end of the input) in EUC or Shift-JIS.
void takePair(std::FILE* out, ReaderState& state, const ConversionOptions& options, int lead,
              int trail, std::FILE* console) {
  if (state.atLineStart) {
    state.atLineStart = 0;
    state.commentLine = 0;  // a line that begins with a Japanese character is never a comment
  }
  const int euc = options.euc;
  if (euc ? !isEucTrail(trail) : !isSjisTrail(trail)) {  // EOF is neither
    reportBadPair(state, euc, trail, console);
    return;
  }
  state.bitmap = euc ? eucBitmap(lead, trail) : sjisBitmap(lead, trail);
  if (state.commentLine) {
    takeCommentPair(out, state, lead, trail, console);
  } else if (state.bitmap >= 1 && state.bitmap <= kLastBitmap) {
    handBackKanji(state, options, console);
  } else {
    reportMissingBitmap(state, console);
  }
}

// UTF-8 input. Every character but ASCII is looked up in the table of places that
// make_unicode_table made from iconv at build time: one look-up per character, no iconv call.

// A UTF-8 character as read: its code point and its bytes.
struct Utf8Char {
  char32_t codePoint;
  unsigned char bytes[4];
  int size;
};

// The next byte: first those read ahead after a half-width kana at the end of a block, then the
// input's. Once the last is taken, nothing is pending.
int nextByte(Cursor& cur, ReaderState& state) {
  if (state.pendingCount != 0) {
    const int byte = state.pending[state.pendingTaken++];
    if (state.pendingTaken == state.pendingCount) state.pendingCount = state.pendingTaken = 0;
    return byte;
  }
  return readByte(cur, state);
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
int readUtf8Char(Cursor& cur, ReaderState& state, int lead, Utf8Char& c, std::FILE* console) {
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
  // Hot path: a character of three bytes that lies whole in the block, as a Japanese character
  // does but at the end of a block, is taken without a call per byte (about 4 instructions per
  // byte of UTF-8 input).
  if (more == 2 && state.pendingCount == 0 && cur.end - cur.next >= 2) {
    const int second = cur.next[0];
    const int third = cur.next[1];
    if (second >= low && second <= high && (third & 0xC0) == 0x80) {
      c.codePoint =
          c.codePoint << 12 | static_cast<char32_t>((second & 0x3F) << 6 | (third & 0x3F));
      c.bytes[1] = static_cast<unsigned char>(second);
      c.bytes[2] = static_cast<unsigned char>(third);
      c.size = 3;
      cur.next += 2;
      return 1;
    }
  }
  for (int i = 0; i < more; ++i) {
    const int byte = nextByte(cur, state);
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

// The table entry of a code point: a bitmap number (with kTakesMark), 0 for none.
int placeEntry(char32_t codePoint) {
  if (codePoint > 0xFFFF) return 0;
  return kUnicodePlaces[kUnicodePages[codePoint >> 8]][codePoint & 0xFF];
}

// The bitmap of `kana` with the mark whose last byte is `mark` (9E voiced, 9F semi-voiced)
// joined, or 0 if that mark does not join it.
int joinedBitmap(char32_t kana, int mark) {
  const auto& marked = kHalfWidthMarked[kana - kHalfWidthFirst];
  return mark == 0x9E ? marked[0] : mark == 0x9F ? marked[1] : 0;
}

// As joinMark, for a mark that may lie across the end of the block: the bytes it takes from the
// block before the next is read wait in `state.pending` for the next call unless they join the
// kana. The first byte is taken only if it starts a mark.
[[gnu::cold]] [[gnu::noinline]] int joinMarkAcrossBlocks(Cursor& cur, ReaderState& state,
                                                         char32_t kana, int bitmap) {
  constexpr unsigned char kMarkStart[] = {0xEF, 0xBE};
  for (int i = 0; i < 3; ++i) {
    if (cur.next == cur.end && !refill(cur, state, 0)) return bitmap;
    const int byte = *cur.next;
    if (i == 0 && byte != kMarkStart[0]) return bitmap;
    ++cur.next;
    state.pending[state.pendingCount++] = static_cast<unsigned char>(byte);
    if (i == 1 && byte != kMarkStart[1]) return bitmap;
  }
  const int joined = joinedBitmap(kana, state.pending[2]);
  if (joined == 0) return bitmap;
  state.pendingCount = 0;
  ++state.column;
  return joined;
}

// After a half-width kana that a mark may join, looks ahead for the voiced or semi-voiced mark
// (EF BE 9E or EF BE 9F). Returns the bitmap of the kana with the mark joined if one follows and
// joins it, taking the mark, else `bitmap`, leaving what follows for the next call.
int joinMark(Cursor& cur, ReaderState& state, char32_t kana, int bitmap) {
  if (cur.end - cur.next < 3) return joinMarkAcrossBlocks(cur, state, kana, bitmap);
  if (cur.next[0] != 0xEF || cur.next[1] != 0xBE) return bitmap;
  const int joined = joinedBitmap(kana, cur.next[2]);
  if (joined == 0) return bitmap;
  cur.next += 3;
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
[[gnu::noinline]] void takeUtf8Char(Cursor& cur, std::FILE* out, ReaderState& state,
                                    const ConversionOptions& options, CharClass previous, int lead,
                                    std::FILE* console) {
  Utf8Char c;
  if (!readUtf8Char(cur, state, lead, c, console)) return;
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
    appendComment(state, c.bytes, c.size);
    if (state.outputEnabled) writeBytes(out, c.bytes, static_cast<std::size_t>(c.size));
    return;
  }
  const int entry = placeEntry(c.codePoint);
  if (entry != 0) {
    state.bitmap = entry & kPlaceBits;
    if ((entry & kTakesMark) != 0) state.bitmap = joinMark(cur, state, c.codePoint, state.bitmap);
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

// Bytes taken by the call before, after the half-width kana that it handed back: the start of a
// UTF-8 character, which takes them all (and may look ahead again, if it is such a kana).
[[gnu::cold]] [[gnu::noinline]] void takePending(Cursor& cur, std::FILE* out, ReaderState& state,
                                                 ConversionOptions& options, CharClass previous,
                                                 std::FILE* console) {
  const int lead = nextByte(cur, state);
  takeUtf8Char(cur, out, state, options, previous, lead, console);
}

// The end of the bytes from `p` up to `end` that a comment line passes through as they are: single
// bytes and whole pairs of EUC (with `euc`) or Shift-JIS, no more than `room` bytes: what would
// not fit is left to the rules that report it. Counts the pairs in `pairs`. Hot path: a comment
// line is then taken in one run instead of a call per pair (48.3 to 47.4 instructions per byte of
// EUC input).
const unsigned char* commentRunEnd(const ByteKind* kinds, int euc, const unsigned char* p,
                                   const unsigned char* end, int room, int& pairs) {
  if (end - p > room) end = p + room;
  while (p != end) {
    const ByteKind kind = kinds[*p];
    if (kind == ByteKind::Single) {
      ++p;
    } else if (kind == ByteKind::Lead && end - p >= 2 &&
               (euc ? isEucTrail(p[1]) : isSjisTrail(p[1]))) {
      p += 2;
      ++pairs;
    } else {
      break;
    }
  }
  return p;
}

// The reader's loop over the blocks of the input, from `cur` on; returns with `kanjiFound` or
// `endOfInput` set. Runs of single bytes are found with one look per byte and taken whole; every
// other byte is taken by the rule for what it starts.
void readBlocks(Cursor& cur, std::FILE* out, ReaderState& state, ConversionOptions& options,
                CharClass previous, std::FILE* console) {
  // Only a line end can change the encoding: a directive takes effect with the next line.
  const ByteKind* kinds = kByteKinds[kindRow(options.euc)].data();
  for (;;) {
    if (cur.next == cur.end && !refill(cur, state, 1)) return;
    const unsigned char* run = cur.next;
    int pairs = 0;
    if (state.commentLine && !state.atLineStart && options.euc != kUtf8) {
      const int room = static_cast<int>(kMaxComment) - state.commentLength;
      run = commentRunEnd(kinds, options.euc, run, cur.end, room, pairs);
    }
    if (run == cur.next) {
      while (run != cur.end && kinds[*run] == ByteKind::Single) ++run;
    }
    if (run != cur.next) {
      takeRun(out, state, options, previous, cur.next, run, console);
      state.column -= 2 * pairs;  // a pair counts no column, as in takePair
      cur.next = run;
      // A comment line's run may stop at a single byte that does not fit: the next round takes it.
      if (run == cur.end || kinds[*run] == ByteKind::Single) continue;
    }
    const int byte = *cur.next++;
    const ByteKind kind = kinds[byte];
    if (kind == ByteKind::Lead) {
      const int trail = cur.next != cur.end ? *cur.next++ : readByte(cur, state);
      takePair(out, state, options, byte, trail, console);
      if (state.kanjiFound || state.endOfInput) return;
    } else if (kind == ByteKind::Utf8Lead) {
      takeUtf8Char(cur, out, state, options, previous, byte, console);
      if (state.kanjiFound || state.endOfInput) return;
    } else if (kind == ByteKind::LineEnd) {
      takeLineEnd(out, state, options, previous);
      kinds = kByteKinds[kindRow(options.euc)].data();
    } else {
      takeFormFeed(cur, out, state, options, previous, console);
      if (state.endOfInput) return;
      kinds = kByteKinds[kindRow(options.euc)].data();
    }
  }
}

// The bitmap number of every pair of Shift-JIS (row 0) and EUC (row 1) that names a place, by
// its two bytes, lead | trail << 8, for takeKanjiRun; 0 for any other two bytes. One look per
// pair.
using PairTable = std::array<std::uint16_t, 65536>;
constexpr auto kPairs = [] {
  std::array<PairTable, 2> pairs{};
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const auto at = static_cast<std::size_t>(lead | trail << 8);
      if (isSjisLead(lead) && isSjisTrail(trail) && sjisBitmap(lead, trail) <= kLastBitmap) {
        pairs[0][at] = static_cast<std::uint16_t>(sjisBitmap(lead, trail));
      }
      if (isEucLead(lead) && isEucTrail(trail) && eucBitmap(lead, trail) <= kLastBitmap) {
        pairs[1][at] = static_cast<std::uint16_t>(eucBitmap(lead, trail));
      }
    }
  }
  return pairs;
}();
static_assert(kPairs[1][0xA4 | 0xA2 << 8] == 284 && kPairs[0][0x88 | 0x9F << 8] == 1411);
static_assert(kPairs[1][0xF4 | 0xA4 << 8] == kLastBitmap && kPairs[1][0xF4 | 0xA5 << 8] == 0);
static_assert(kPairs[0][0x81 | 0x7F << 8] == 0 && kPairs[1][0xA1 | 0xFF << 8] == 0);

// The pairs from `p` up to `end` that `pairs` names, as takeKanjiRun takes them; with `warns`
// (the font scan under "Standard") none that it warns of. Returns where it stopped.
template <bool warns>
const unsigned char* takePairs(const unsigned char* p, const unsigned char* end,
                               const PairTable& pairs, KanjiRun& run) {
  const std::ptrdiff_t count = std::min<std::ptrdiff_t>((end - p) / 2, kKanjiRunCapacity);
  const unsigned char* const last = p + 2 * count;
  std::uint16_t* bitmap = run.bitmaps;
  for (; p != last; p += 2) {
    const std::uint16_t number = pairs[static_cast<std::size_t>(p[0] | p[1] << 8)];
    if (number == 0 || (warns && isNonStandardBitmap(number))) break;
    *bitmap++ = number;
  }
  run.count = static_cast<int>(bitmap - run.bitmaps);
  return p;
}

// kUnicodePlaces as one row, so that an entry is found from one index.
constexpr auto kPlaceRow = [] {
  std::array<std::uint16_t, std::size(kUnicodePlaces) * 256> row{};
  for (std::size_t page = 0; page < std::size(kUnicodePlaces); ++page) {
    for (std::size_t low = 0; low < 256; ++low) row[page * 256 + low] = kUnicodePlaces[page][low];
  }
  return row;
}();

// Where in kPlaceRow the 64 entries of every character of three bytes of UTF-8 begin, by its
// first two bytes, lead | second << 8. Two bytes that cannot start such a character (a wrong
// lead, a second byte out of its range: E0 and ED put limits on it) name the first 64 entries
// of page 0, which are empty, so that takeUtf8Kanji tests them with the entry. One look per
// character instead of the tests and shifts of a decoder.
constexpr auto kUtf8Blocks = [] {
  std::array<std::uint16_t, 65536> blocks{};
  for (int lead = 0xE0; lead <= 0xEF; ++lead) {
    const int low = lead == 0xE0 ? 0xA0 : 0x80;
    const int high = lead == 0xED ? 0x9F : 0xBF;
    for (int second = low; second <= high; ++second) {
      const int first = (lead & 0x0F) << 12 | (second & 0x3F) << 6;
      blocks[static_cast<std::size_t>(lead | second << 8)] =
          static_cast<std::uint16_t>(kUnicodePages[first >> 8] * 256 + (first & 0xFF));
    }
  }
  return blocks;
}();
static_assert(std::size(kUnicodePlaces) * 256 <= 65536);
static_assert(kUtf8Blocks[0xE3 | 0x81 << 8] == kUnicodePages[0x30] * 256 + 0x40);
static_assert(kUtf8Blocks[0xE0 | 0x9F << 8] == 0 && kUtf8Blocks[0xC3 | 0xA4 << 8] == 0);

// The characters of three bytes of UTF-8 from `p` up to `end` that have a place and take no mark,
// as takeKanjiRun takes them (the kana, kanji and signs of a Japanese text); with `warns` (the
// font scan under "Standard") none that it warns of. Returns where it stopped.
template <bool warns>
const unsigned char* takeUtf8Kanji(const unsigned char* p, const unsigned char* end,
                                   KanjiRun& run) {
  const std::ptrdiff_t count = std::min<std::ptrdiff_t>((end - p) / 3, kKanjiRunCapacity);
  const unsigned char* const last = p + 3 * count;
  std::uint16_t* bitmap = run.bitmaps;
  for (; p != last; p += 3) {
    const unsigned block = kUtf8Blocks[static_cast<std::size_t>(p[0] | p[1] << 8)];
    const unsigned third = p[2] ^ 0x80U;  // 0 to 0x3F for a continuation byte
    if (third > 0x3F) break;
    const int entry = kPlaceRow[block + third];
    if (entry == 0 || (entry & kTakesMark) != 0 || (warns && isNonStandardBitmap(entry))) break;
    *bitmap++ = static_cast<std::uint16_t>(entry);
  }
  run.count = static_cast<int>(bitmap - run.bitmaps);
  return p;
}

}  // namespace

void takeKanjiRun(std::FILE* in, ReaderState& state, const ConversionOptions& options,
                  KanjiRun& run) {
  run.count = 0;
  // Only a kanji just handed back puts the reader in the middle of a line that is no comment
  // line; bytes left by a half-width kana come first, and readToNextKanji takes them.
  if (!state.kanjiFound || state.pendingCount != 0) return;
  const platform::TextBlock block = platform::bufferedText(in);
  const int warns = !state.outputEnabled && !options.extended;
  const unsigned char* next = nullptr;
  if (options.euc == kUtf8) {
    next = warns ? takeUtf8Kanji<true>(block.begin, block.end, run)
                 : takeUtf8Kanji<false>(block.begin, block.end, run);
    state.column += run.count;
  } else {
    const PairTable& pairs = kPairs[options.euc ? 1 : 0];
    next = warns ? takePairs<true>(block.begin, block.end, pairs, run)
                 : takePairs<false>(block.begin, block.end, pairs, run);
  }
  if (run.count == 0) return;
  platform::takeText(in, next);
  state.afterKanji = 1;
  state.bitmap = run.bitmaps[run.count - 1];
}

void startPass(ReaderState& state, int outputEnabled) {
  state = ReaderState{};
  state.outputEnabled = outputEnabled;
  // The pass starts at a line start. Later calls start where the call before handed back a
  // kanji, never at a line start: a kanji takes the line start and the comment line from it.
  state.atLineStart = 1;
  state.commentLine = 1;
  state.line = 1;
}

void readToNextKanji(std::FILE* in, std::FILE* out, ReaderState& state, ConversionOptions& options,
                     CharClass previous, std::FILE* console) {
  if (state.endOfInput) return;
  // Only a kanji handed back by an earlier call of this pass owes glue: the first character of a
  // file is spaced as one that follows single-byte text.
  state.afterKanji = state.kanjiFound;
  state.kanjiFound = 0;
  const platform::TextBlock block = platform::bufferedText(in);
  Cursor cur{in, block.begin, block.end};
  if (state.pendingCount != 0) takePending(cur, out, state, options, previous, console);
  if (!state.kanjiFound && !state.endOfInput)
    readBlocks(cur, out, state, options, previous, console);
  platform::takeText(in, cur.next);
}

}  // namespace kotobun
