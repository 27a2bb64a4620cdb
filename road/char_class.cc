// char_class.cc - the class that kotobun gives a character, found from its JIS X 0208 place.
#include "road/char_class.h"

#include <iconv.h>

#include <cstddef>
#include <cstdint>

namespace kototext {
namespace {

// Converts the bytes of one character to its code point; 0 if iconv has no character there.
char32_t codePointOf(iconv_t cd, const char* bytes, std::size_t size) {
  char in[4];
  for (std::size_t i = 0; i < size; ++i) in[i] = bytes[i];
  unsigned char out[8];
  char* inPtr = in;
  std::size_t inLeft = size;
  char* outPtr = reinterpret_cast<char*>(out);
  std::size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
      inLeft != 0 || sizeof out - outLeft != 4) {
    return 0;
  }
  return static_cast<char32_t>(out[0]) << 24 | static_cast<char32_t>(out[1]) << 16 |
         static_cast<char32_t>(out[2]) << 8 | out[3];
}

// The Shift-JIS bytes of row `row`, cell `cell` (both from 1).
void shiftJisBytes(int row, int cell, char (&bytes)[2]) {
  const int lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
  int trail = 0;
  if (row % 2 == 1) {
    trail = cell + 0x3F + (cell >= 64 ? 1 : 0);
  } else {
    trail = cell + 0x9E;
  }
  bytes[0] = static_cast<char>(lead);
  bytes[1] = static_cast<char>(trail);
}

// Gives every place of rows 1 to 84 that `cd` maps its class, where no earlier pass has.
void classifyPlaces(iconv_t cd, int shiftJis, ClassTable& table) {
  for (int row = 1; row <= 84; ++row) {
    for (int cell = 1; cell <= 94; ++cell) {
      char bytes[2] = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
      if (shiftJis) shiftJisBytes(row, cell, bytes);
      const char32_t c = codePointOf(cd, bytes, 2);
      if (c < 0x80 || c >= table.size() || table[c] != CharClass::Outside) continue;
      table[c] = bitmapClass((row - 1) * 94 + cell);
    }
  }
}

}  // namespace

int fillClassTable(ClassTable& table) {
  table.fill(CharClass::Outside);
  // UCS-4BE: four bytes a character, the most significant first.
  const iconv_t euc = iconv_open("UCS-4BE", "EUC-JP");
  const iconv_t cp932 = iconv_open("UCS-4BE", "CP932");
  const int eucOpen = reinterpret_cast<std::intptr_t>(euc) != -1;  // else iconv_open failed
  const int cp932Open = reinterpret_cast<std::intptr_t>(cp932) != -1;
  if (!eucOpen || !cp932Open) {
    if (eucOpen) iconv_close(euc);
    if (cp932Open) iconv_close(cp932);
    return 0;
  }
  classifyPlaces(euc, 0, table);
  classifyPlaces(cp932, 1, table);
  // Half-width katakana (CP932 single bytes 0xA1 to 0xDF) become their full-width forms: the
  // five signs U+FF61 to U+FF65 are the stop, the brackets, the comma and the middle dot, the
  // long-vowel mark U+FF70 has no class, the rest are kana (the voiced marks join the kana before
  // them).
  constexpr CharClass kSigns[] = {CharClass::Stop, CharClass::Opening, CharClass::Closing,
                                  CharClass::Stop, CharClass::MiddleDot};
  for (int byte = 0xA1; byte <= 0xDF; ++byte) {
    const char bytes[1] = {static_cast<char>(byte)};
    const char32_t c = codePointOf(cp932, bytes, 1);
    if (c < 0x80 || c >= table.size()) continue;
    if (byte <= 0xA5) {
      table[c] = kSigns[byte - 0xA1];
    } else {
      table[c] = byte == 0xB0 ? CharClass::Other : CharClass::Letter;
    }
  }
  iconv_close(euc);
  iconv_close(cp932);
  return 1;
}

}  // namespace kototext
