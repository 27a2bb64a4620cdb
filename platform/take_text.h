// take_text.h - the bytes of a stdio stream's read buffer, taken in blocks.
#ifndef PLATFORM_TAKE_TEXT_H_
#define PLATFORM_TAKE_TEXT_H_

#include <cstdio>

// Hot path: a reader that looks at a whole block of the buffer finds the end of a run of plain
// bytes without a call per byte (getc_unlocked costs a test and a store per byte). This reads
// stdio's own pointers, which only glibc is known to keep so; elsewhere the header must be taught
// the library's FILE first.
#if !defined(__GLIBC__)
#error "take_text.h knows glibc's FILE only"
#endif

namespace platform {

/// A block of bytes that a stream has read and not yet given out: `begin` up to `end`.
struct TextBlock {
  const unsigned char* begin;
  const unsigned char* end;
};

/// The bytes of `in`'s buffer not yet given out; empty when there are none.
inline TextBlock bufferedText(std::FILE* in) {
  // glibc keeps the bytes read ahead between _IO_read_ptr and _IO_read_end, which getc_unlocked's
  // inline code uses the same way.
  return {reinterpret_cast<const unsigned char*>(in->_IO_read_ptr),
          reinterpret_cast<const unsigned char*>(in->_IO_read_end)};
}

/// As bufferedText, but reads the next block into the buffer first when it holds no byte not yet
/// given out. Empty at the end of the file and after a read error, which feof and ferror tell
/// apart.
inline TextBlock nextTextBlock(std::FILE* in) {
  if (in->_IO_read_ptr == in->_IO_read_end) {
    // stdio's own refill; the byte goes back at once, which on glibc only moves the pointer back.
    // Unlocked: one thread owns the stream, so stdio's lock would guard nothing.
    const int byte = getc_unlocked(in);
    if (byte != EOF) std::ungetc(byte, in);
  }
  return bufferedText(in);
}

/// Gives out the bytes of the block last handed back, up to `next` (not included): the stream's
/// next read starts at `next`. No other read of the stream may come between.
inline void takeText(std::FILE* in, const unsigned char* next) {
  in->_IO_read_ptr = const_cast<char*>(reinterpret_cast<const char*>(next));
}

}  // namespace platform

#endif  // PLATFORM_TAKE_TEXT_H_
