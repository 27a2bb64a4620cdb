// put_text.h - short texts copied straight into a stdio stream's buffer.
#ifndef PLATFORM_PUT_TEXT_H_
#define PLATFORM_PUT_TEXT_H_

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace platform {

/// A text of at most 15 bytes in a record of 16, so that it is copied with one move of a fixed
/// size however long it is.
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

namespace detail {
// Room left in the write buffer of `out`. glibc keeps the free part of a stream's write buffer
// between _IO_write_ptr and _IO_write_end, which putc_unlocked's inline code uses the same way;
// the room is 0 before the first write, and on line-buffered and unbuffered streams.
inline std::size_t writeRoom(const std::FILE* out) {
  return static_cast<std::size_t>(out->_IO_write_end - out->_IO_write_ptr);
}
}  // namespace detail

/// Appends `text` to `out`: one memcpy into the stream's buffer when it fits, else fwrite. As
/// with putc, a failed write shows in the stream's error state (tested by checkWrites).
inline void putText(std::FILE* out, std::string_view text) {
  if (detail::writeRoom(out) >= text.size()) {
    std::memcpy(out->_IO_write_ptr, text.data(), text.size());
    out->_IO_write_ptr += text.size();
  } else {
    fwrite_unlocked(text.data(), 1, text.size(), out);
  }
}

/// Appends `text` to `out` as putText does. The whole record of 16 bytes is copied when the
/// buffer has room for it; the bytes past the text land in the free part of the buffer, which
/// the next write overwrites.
inline void putText(std::FILE* out, const ShortText& text) {
  if (detail::writeRoom(out) >= sizeof text) {
    std::memcpy(out->_IO_write_ptr, &text, sizeof text);
    out->_IO_write_ptr += text.size;
  } else {
    fwrite_unlocked(text.bytes, 1, text.size, out);
  }
}

/// Room for `size` bytes in `out`'s buffer: where they go, or nullptr when it has less. Bytes
/// copied there belong to the stream once endText has passed them.
inline char* textRoom(std::FILE* out, std::size_t size) {
  return detail::writeRoom(out) >= size ? out->_IO_write_ptr : nullptr;
}

/// Hands the bytes copied into the room that textRoom gave, up to `end`, to the stream.
inline void endText(std::FILE* out, char* end) { out->_IO_write_ptr = end; }

/// Copies the whole record of `text` to `to`, which has room for it, and returns the end of the
/// text itself.
inline char* copyText(char* to, const ShortText& text) {
  std::memcpy(to, &text, sizeof text);
  return to + text.size;
}

}  // namespace platform

#endif  // PLATFORM_PUT_TEXT_H_
