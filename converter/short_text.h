// short_text.h - the converter's short texts, a glyph reference or what stands between two
// characters, copied whole into the output stream's buffer.
#ifndef KOTOBUN_SHORT_TEXT_H_
#define KOTOBUN_SHORT_TEXT_H_

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/put_text.h"

namespace kotobun {

/// A text of at most 15 bytes in a record of 16, so that it is copied with one move of a fixed
/// size however long it is. 15 bytes hold the longest glyph reference, "\kk{\kghe}{126}".
struct ShortText {
  char bytes[15];
  unsigned char size;  // 0..15: the bytes that belong to the text
};
static_assert(sizeof(ShortText) == 16);

/// Appends `more` to `text`, which must stay within 15 bytes. Meant for tables made at compile
/// time, where a text that overruns stops the build.
constexpr void append(ShortText& text, std::string_view more) {
  for (const char c : more) text.bytes[text.size++] = c;
}

/// Copies the whole record of `text` to `to`, which has room for all 16 bytes, and returns the
/// end of the text itself: the bytes past it are overwritten by the next text.
inline char* copyText(char* to, const ShortText& text) {
  std::memcpy(to, &text, sizeof text);
  return to + text.size;
}

/// Appends `text` to `out` as platform::putText does (a failed write shows in the stream's error
/// state), with one move of 16 bytes when the buffer
/// has room for them (hot path: one per glyph reference and one per spacing in the conversion
/// pass).
inline void putText(std::FILE* out, const ShortText& text) {
  if (char* to = platform::textRoom(out, sizeof text)) {
    platform::endText(out, copyText(to, text));
  } else {
    std::fwrite(text.bytes, 1, text.size, out);  // a full buffer: once in many thousand texts
  }
}

}  // namespace kotobun

#endif  // KOTOBUN_SHORT_TEXT_H_
