// reader.cc - reads the input text and hands back one kanji at a time.
#include "converter/reader.h"

#include <cstring>
#include <string_view>

#include "converter/directive.h"
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

// What a byte starts, by encoding and byte.
enum class ByteKind : unsigned char { Single, Lead, LineEnd, FormFeed };

// The kind of every byte in Shift-JIS (0) and EUC (1), made at compile time from the lead bytes
// of each encoding: the main loop then takes one look per byte.
constexpr auto kByteKinds = [] {
  std::array<std::array<ByteKind, 256>, 2> kinds{};
  for (int euc = 0; euc <= 1; ++euc) {
    for (int byte = 0; byte < 256; ++byte) {
      ByteKind kind = ByteKind::Single;
      if (byte == kLineEnd) {
        kind = ByteKind::LineEnd;
      } else if (byte == kFormFeed) {
        kind = ByteKind::FormFeed;
      } else if (euc ? isEucLead(byte) : isSjisLead(byte)) {
        kind = ByteKind::Lead;
      }
      kinds[static_cast<std::size_t>(euc)][static_cast<std::size_t>(byte)] = kind;
    }
  }
  return kinds;
}();
static_assert(kByteKinds[1][0xA4] == ByteKind::Lead && kByteKinds[0][0xA4] == ByteKind::Single);

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
                      int withLineEnd) {
  state.afterKanji = 0;
  if (!state.outputEnabled || !options.space) return;
  if (state.lastStop) {
    writeText(out, withLineEnd ? "\\eeee\n" : "\\eeee");
  } else if (state.lastSpacedAfter) {
    writeText(out, withLineEnd ? "\\eee\n" : "\\eee");
  }
}

// The glue a kanji owes before single-byte text; the braces keep a following letter out of the
// macro name.
void writeGlueBeforeByte(std::FILE* out, ReaderState& state, const ConversionOptions& options) {
  state.afterKanji = 0;
  if (!state.outputEnabled || !options.space) return;
  if (state.lastStop) {
    writeText(out, state.lastAlnum ? "\\eeee{}" : "\\eeee");
  } else if (state.lastSpacedAfter) {
    writeText(out, state.lastAlnum ? "\\eee{}" : "\\eee");
  } else if (!state.lastOpening && state.lastAlnum) {
    writeText(out, "\\eee{}");
  }
}

void takeLineEnd(std::FILE* out, ReaderState& state, ConversionOptions& options) {
  if (state.afterKanji) {
    if (state.atLineStart) {
      writeLineEndGlue(out, state, options, 1);
    } else if (!state.commentLine) {
      if (!options.percent) {
        writeLineEndGlue(out, state, options, 0);
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
  state.atLineStart = 1;
  state.commentLine = 1;
  emptyComment(state);
}

// A form feed ends its line and must be followed by a line end, which it takes with it.
void takeFormFeed(std::FILE* in, std::FILE* out, ReaderState& state, ConversionOptions& options,
                  std::FILE* console) {
  takeLineEnd(out, state, options);
  if (readByte(in, state) != kLineEnd) state.endOfInput = 1;
  if (state.endOfInput) reportInputError(state, console, "\aAbnormal DOS end of line..");
}

void takeSingleByte(std::FILE* out, ReaderState& state, const ConversionOptions& options, int byte,
                    std::FILE* console) {
  if (state.atLineStart) {
    state.atLineStart = 0;
    if (byte != '%') state.commentLine = 0;
  }
  if (state.commentLine) {
    if (state.commentLength >= static_cast<int>(kMaxComment)) reportCommentTooLong(state, console);
    appendComment(state, byte);
  } else {
    state.lastAlnum = isAsciiAlnum(byte);
    if (state.afterKanji) writeGlueBeforeByte(out, state, options);
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

}  // namespace

void startPass(ReaderState& state, int outputEnabled) {
  state = ReaderState{};
  state.outputEnabled = outputEnabled;
  state.commentLine = 1;
}

void readToNextKanji(std::FILE* in, std::FILE* out, ReaderState& state, ConversionOptions& options,
                     std::FILE* console) {
  // Only a kanji handed back by an earlier call of this pass owes glue: the first character of a
  // file is spaced as one that follows single-byte text.
  state.afterKanji = state.kanjiFound;
  state.kanjiFound = 0;
  state.lastAlnum = 0;
  emptyComment(state);
  state.atLineStart = state.commentLine;
  if (state.endOfInput) return;
  for (;;) {
    const int byte = readByte(in, state);
    if (byte == EOF) return;
    state.currentByte = static_cast<unsigned char>(byte);
    // Only a pair or a form feed can end the call: single bytes and line ends never do. Pairs,
    // the bulk of a Japanese text, are tested for first.
    const ByteKind kind = kByteKinds[options.euc ? 1 : 0][state.currentByte];
    if (kind == ByteKind::Lead) {
      takePair(in, out, state, options, console);
      if (state.kanjiFound || state.endOfInput) return;
    } else if (kind == ByteKind::Single) {
      takeSingleByte(out, state, options, byte, console);
    } else if (kind == ByteKind::LineEnd) {
      takeLineEnd(out, state, options);
    } else {
      takeFormFeed(in, out, state, options, console);
      if (state.endOfInput) return;
    }
  }
}

}  // namespace kotobun
