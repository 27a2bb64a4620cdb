// font_bytes.h - big-endian numbers and tags for the small fonts that the kit's tests build.
#ifndef TESTS_SUPPORT_FONT_BYTES_H_
#define TESTS_SUPPORT_FONT_BYTES_H_

#include <cstdint>
#include <vector>

namespace testsupport {

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<unsigned char>(value >> 8));
  out.push_back(static_cast<unsigned char>(value));
}

inline void put32(Bytes& out, std::uint32_t value) {
  put16(out, value >> 16);
  put16(out, value & 0xFFFF);
}

/// The four bytes of a table tag such as "cmap".
inline void putTag(Bytes& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(tag[i]));
}

}  // namespace testsupport

#endif  // TESTS_SUPPORT_FONT_BYTES_H_
