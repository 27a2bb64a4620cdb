// fuzz_support.h - what the fuzz targets share: invariant checks and scratch files.
#ifndef TESTS_FUZZ_FUZZ_SUPPORT_H_
#define TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

/// Names the broken invariant on stderr and aborts, so that libFuzzer keeps the input (and a
/// replay test fails) when `holds` is false.
inline void check(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "broken invariant: %s\n", invariant);
  std::abort();
}

/// Drops `prefix` from the front of `text` if it stands there; says whether it did.
inline bool consume(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

/// Takes a decimal number of at most six digits without leading zeros from the front of `text`;
/// -1 if none stands there.
inline int takeNumber(std::string_view& text) {
  std::size_t n = 0;
  int value = 0;
  while (n < text.size() && n < 6 && text[n] >= '0' && text[n] <= '9') {
    value = value * 10 + (text[n++] - '0');
  }
  if (n == 0 || (n > 1 && text[0] == '0')) return -1;
  text.remove_prefix(n);
  return value;
}

/// A file name of this process in the scratch folder ($TMPDIR, else /tmp), ending in `suffix`;
/// the file is removed when the process ends by returning from main or calling exit.
inline std::string scratchPath(const char* suffix) {
  static std::vector<std::string> made;
  static const int registered = std::atexit([] {
    for (const std::string& path : made) std::remove(path.c_str());
  });
  (void)registered;
  const char* folder = std::getenv("TMPDIR");
  made.push_back(std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") + "/fuzz." +
                 std::to_string(::getpid()) + suffix);
  return made.back();
}

/// Writes `bytes` to the file `path` as they are.
inline void writeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  check(file != nullptr, "the scratch file opens");
  check(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fclose(file) == 0,
        "the scratch file is written");
}

/// The bytes of the file `path` as they are.
inline std::string readFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  check(file != nullptr, "the scratch file opens again");
  std::string bytes;
  char block[1 << 14];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
    bytes.append(block, got);
  }
  std::fclose(file);
  return bytes;
}

/// Takes what an open_memstream stream collected in `data` and frees it.
inline std::string takeMemory(char* data, std::size_t size) {
  std::string bytes(data, size);
  std::free(data);
  return bytes;
}

}  // namespace fuzz

#endif  // TESTS_FUZZ_FUZZ_SUPPORT_H_
