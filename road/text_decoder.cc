// text_decoder.cc - a text in UTF-8, Shift-JIS or EUC-JP turned into UTF-8 by iconv, a chunk at a
// time, and the guess of which encoding a text is in.
#include "road/text_decoder.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace kototext {
namespace {

// iconv_open's result is (iconv_t)-1 when it fails; closeDecoder leaves nullptr.
int isOpen(iconv_t cd) { return cd != nullptr && reinterpret_cast<std::intptr_t>(cd) != -1; }

// Moves the place of `decoder` over `size` converted input bytes. CR and LF never stand inside
// a character of the three encodings, so they can be counted byte by byte.
void advance(Decoder& decoder, const char* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const char b = bytes[i];
    if (b == '\n' && decoder.lastWasCr) {
      decoder.lastWasCr = 0;
    } else if (b == '\n' || b == '\r') {
      ++decoder.line;
      decoder.byteInLine = 0;
      decoder.lastWasCr = b == '\r';
    } else {
      ++decoder.byteInLine;
      decoder.lastWasCr = 0;
    }
  }
  decoder.bytesTaken += static_cast<long>(size);
}

void recordFailure(Decoder& decoder, const char* at, int cutAtEnd) {
  decoder.failed = 1;
  decoder.cutAtEnd = cutAtEnd;
  decoder.errorLine = decoder.line;
  decoder.errorByte = decoder.byteInLine + 1;
  decoder.errorValue = static_cast<unsigned char>(*at);
}

// Kana and half-width katakana in a piece of UTF-8: the first make a reading likely, the
// second make a Shift-JIS reading of EUC-JP bytes show itself.
long kanaScore(const char* text, std::size_t size) {
  long score = 0;
  for (std::size_t i = 0; i + 2 < size; ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto second = static_cast<unsigned char>(text[i + 1]);
    // U+3040 to U+30FF are E3 81 80 to E3 83 BF; U+FF61 to U+FF9F are EF BD A1 to EF BE 9F.
    if (lead == 0xE3 && second >= 0x81 && second <= 0x83) ++score;
    if (lead == 0xEF && (second == 0xBD || second == 0xBE)) --score;
  }
  return score;
}

}  // namespace

int openDecoder(Decoder& decoder, Encoding encoding) {
  decoder.cd = iconv_open("UTF-8", iconvName(encoding));
  decoder.encoding = encoding;
  decoder.carried = 0;
  decoder.line = 1;
  decoder.byteInLine = 0;
  decoder.bytesTaken = 0;
  decoder.lastWasCr = 0;
  decoder.failed = 0;
  decoder.cutAtEnd = 0;
  decoder.errorLine = 0;
  decoder.errorByte = 0;
  decoder.errorValue = 0;
  return isOpen(decoder.cd);
}

void closeDecoder(Decoder& decoder) {
  if (isOpen(decoder.cd)) iconv_close(decoder.cd);
  decoder.cd = nullptr;
}

std::size_t decodeChunk(Decoder& decoder, const char* bytes, std::size_t size, int endOfInput) {
  if (decoder.failed || size > kChunkSize) return 0;
  std::memcpy(decoder.input + decoder.carried, bytes, size);
  char* inPtr = decoder.input;
  std::size_t inLeft = decoder.carried + size;
  char* outPtr = decoder.output;
  std::size_t outLeft = sizeof decoder.output;
  decoder.carried = 0;
  while (inLeft > 0) {
    char* const start = inPtr;
    const std::size_t result = iconv(decoder.cd, &inPtr, &inLeft, &outPtr, &outLeft);
    advance(decoder, start, static_cast<std::size_t>(inPtr - start));
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == EINVAL && !endOfInput && inLeft < kCarrySize) {
      // A character cut by the end of the chunk: keep its start for the next call.
      std::memmove(decoder.input, inPtr, inLeft);
      decoder.carried = inLeft;
      break;
    }
    // E2BIG cannot happen: the output has room for three times the input.
    recordFailure(decoder, inPtr, errno == EINVAL);
    break;
  }
  return static_cast<std::size_t>(outPtr - decoder.output);
}

int detectEncoding(std::FILE* in, Detection& detection) {
  // ORDER ENCODINGS: the candidates in the order of Encoding.
  static Decoder candidates[3];
  constexpr Encoding kCandidates[3] = {Encoding::Utf8, Encoding::ShiftJis, Encoding::Euc};
  int opened = 1;
  for (int i = 0; i < 3; ++i) opened &= openDecoder(candidates[i], kCandidates[i]);
  long scores[3] = {0, 0, 0};
  static char chunk[kChunkSize];
  int endOfInput = 0;
  int byteOrderMark = 0;
  int firstChunk = 1;
  detection = {Encoding::Utf8, 0, 0, 0, 0, 0, 0};
  while (opened && !endOfInput) {
    const std::size_t size = std::fread(chunk, 1, sizeof chunk, in);
    endOfInput = size < sizeof chunk;
    // A byte order mark says UTF-8 whatever follows; its faults show when it is converted.
    if (firstChunk && size >= 3 && std::memcmp(chunk, "\xEF\xBB\xBF", 3) == 0) {
      byteOrderMark = 1;
    }
    firstChunk = 0;
    for (int i = 0; i < 3; ++i) {
      const std::size_t made = decodeChunk(candidates[i], chunk, size, endOfInput);
      scores[i] += kanaScore(candidates[i].output, made);
    }
    if (candidates[0].failed && candidates[1].failed && candidates[2].failed) break;
  }
  detection.readFailed = std::ferror(in) != 0;
  if (opened) {
    int chosen = -1;
    if (!candidates[0].failed || byteOrderMark) {
      chosen = 0;
    } else if (!candidates[1].failed && (candidates[2].failed || scores[1] >= scores[2])) {
      chosen = 1;
    } else if (!candidates[2].failed) {
      chosen = 2;
    }
    detection.valid = chosen >= 0;
    if (chosen < 0) {
      // None fits: name the place where the one that went furthest failed.
      chosen = 0;
      for (int i = 1; i < 3; ++i) {
        if (candidates[i].bytesTaken > candidates[chosen].bytesTaken) chosen = i;
      }
      detection.cutAtEnd = candidates[chosen].cutAtEnd;
      detection.errorLine = candidates[chosen].errorLine;
      detection.errorByte = candidates[chosen].errorByte;
      detection.errorValue = candidates[chosen].errorValue;
    }
    detection.encoding = kCandidates[chosen];
  }
  for (Decoder& candidate : candidates) closeDecoder(candidate);
  return opened;
}

}  // namespace kototext
