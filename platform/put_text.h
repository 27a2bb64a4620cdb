// put_text.h - texts copied straight into a stdio stream's buffer.
#ifndef PLATFORM_PUT_TEXT_H_
#define PLATFORM_PUT_TEXT_H_

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

// Hot path: the converter writes about nine bytes for every byte it reads, most of them in
// texts of 3 to 15 bytes; a memcpy into the buffer instead of an fwrite call each is what keeps
// the conversion pass near the speed of the disk (see the README's speed section). This uses
// stdio's own pointers, which only glibc is known to keep so; elsewhere the header must be
// taught the library's FILE first.
#if !defined(__GLIBC__)
#error "put_text.h knows glibc's FILE only"
#endif

namespace platform {

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
    // Unlocked, as putc_unlocked: one thread owns the stream, and the lock would be taken per
    // call.
    fwrite_unlocked(text.data(), 1, text.size(), out);
  }
}

/// Room for `size` bytes in `out`'s buffer: where they go, or nullptr when it has less. Bytes
/// copied there belong to the stream once endText has passed them.
inline char* textRoom(std::FILE* out, std::size_t size) {
  return detail::writeRoom(out) >= size ? out->_IO_write_ptr : nullptr;
}

/// Hands the bytes copied into the room that textRoom gave, up to `end`, to the stream.
inline void endText(std::FILE* out, char* end) { out->_IO_write_ptr = end; }

}  // namespace platform

#endif  // PLATFORM_PUT_TEXT_H_
