// text_decoder.h - a text in UTF-8, Shift-JIS or EUC-JP turned into UTF-8 by iconv, a chunk at a
// time, and the guess of which encoding a text is in.
#ifndef KOTOTEXT_TEXT_DECODER_H_
#define KOTOTEXT_TEXT_DECODER_H_

#include <iconv.h>

#include <cstddef>
#include <cstdio>

namespace kototext {

// ORDER ENCODINGS: the names below follow this order.
enum class Encoding { Detect, Utf8, ShiftJis, Euc };

/// The name iconv knows the encoding by: Shift-JIS as Windows writes it (CP932, with its row 13
/// and its extensions), EUC-JP as glibc has it.
constexpr const char* iconvName(Encoding encoding) {
  constexpr const char* kNames[] = {"", "UTF-8", "CP932", "EUC-JP"};  // ORDER ENCODINGS
  return kNames[static_cast<int>(encoding)];
}

/// The name of the encoding in messages.
constexpr const char* encodingName(Encoding encoding) {
  constexpr const char* kNames[] = {"", "UTF-8", "Shift-JIS", "EUC-JP"};  // ORDER ENCODINGS
  return kNames[static_cast<int>(encoding)];
}

/// Bytes of input that one call takes, and the room its UTF-8 needs: no character of the three
/// encodings grows more than threefold (a half-width katakana byte becomes three bytes).
constexpr std::size_t kChunkSize = 16 << 10;
constexpr std::size_t kCarrySize = 8;  // the start of a character cut by the end of a chunk

/// One conversion to UTF-8, with the place in the input that it has reached.
struct Decoder {
  iconv_t cd;
  Encoding encoding;
  char input[kCarrySize + kChunkSize];
  std::size_t carried;  // bytes at the start of `input` left over from the chunk before
  char output[3 * (kCarrySize + kChunkSize)];
  long line;        // line of the next input byte, from 1; LF, CR and CR LF end a line
  long byteInLine;  // bytes of that line before it
  long bytesTaken;  // input bytes converted so far
  int lastWasCr;    // the last byte taken was a CR, so an LF next ends no further line
  int failed;       // the input holds a byte that is not valid, or ends inside a character
  int cutAtEnd;     // the failure is a character cut by the end of the input
  long errorLine;   // where the failure is: line and byte (from 1) of its first byte
  long errorByte;
  unsigned errorValue;  // that byte
};

/// Opens `decoder` for `encoding` (not Detect) and resets its place. Returns 0 if iconv cannot
/// convert from it.
int openDecoder(Decoder& decoder, Encoding encoding);

void closeDecoder(Decoder& decoder);

/// Converts the `size` bytes (at most kChunkSize) of `bytes` that follow the input so far into
/// UTF-8 in `decoder.output`, and returns how many bytes of it there are; whole characters only,
/// a cut one waits for the next call. With `endOfInput` set (the last call, `size` may be 0) a
/// character still cut is a failure. After a failure returns the UTF-8 up to the bad byte, sets
/// `failed` and the error fields, and the next calls return 0.
std::size_t decodeChunk(Decoder& decoder, const char* bytes, std::size_t size, int endOfInput);

/// What detection found out about a text.
struct Detection {
  Encoding encoding;  // the guess; when `valid` is 0, the encoding that got furthest
  int valid;          // the guess stands
  int cutAtEnd;       // else: as in Decoder, where `encoding` failed
  long errorLine;
  long errorByte;
  unsigned errorValue;
  int readFailed;  // the input could not be read
};

/// Reads `in` to its end and guesses its encoding: UTF-8 if the text begins with a byte order
/// mark (its faults then show when it is converted) or is valid UTF-8, else whichever of CP932
/// and EUC-JP the bytes are valid in; where both are, the one whose reading holds more kana and
/// fewer half-width katakana, Shift-JIS on a tie. Does not rewind `in`. Returns 0 if iconv cannot
/// convert from one of the three.
int detectEncoding(std::FILE* in, Detection& detection);

}  // namespace kototext

#endif  // KOTOTEXT_TEXT_DECODER_H_
