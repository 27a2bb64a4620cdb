// memory_stream.h - streams that a test writes into memory and reads back as a string.
#ifndef TESTS_SUPPORT_MEMORY_STREAM_H_
#define TESTS_SUPPORT_MEMORY_STREAM_H_

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

/// A stream whose bytes stay in memory, open from construction to destruction.
struct MemoryStream {
  MemoryStream() = default;
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  ~MemoryStream() {
    std::fclose(stream);
    std::free(data);
  }

  /// Everything written to `stream` so far.
  std::string text() {
    std::fflush(stream);
    return {data, size};
  }

  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);  // after data and size, which it fills
};

/// Runs `write` with a stream in memory and returns what it wrote.
template <typename Write>
std::string captured(Write write) {
  MemoryStream memory;
  write(memory.stream);
  return memory.text();
}

}  // namespace testsupport

#endif  // TESTS_SUPPORT_MEMORY_STREAM_H_
