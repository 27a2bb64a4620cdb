// make_test_input.cc - writes the large or layered inputs of the robustness tests, the same bytes
// on every run, so that no big file needs to live in the repository.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// One line of ordinary EUC prose: kanji, kana, punctuation, brackets, Latin words and digits.
constexpr const char* kProse =
    "\xc6\xfc\xcb\xdc\xb8\xec\xa4\xce\xca\xb8\xbe\xcf\xa4\xf2 TeX \xa4\xc7\xc1\xc8\xa4\xe0\xa1\xa3"
    "\xa1\xd6\xb4\xc1\xbb\xfa\xa1\xa2\xa4\xab\xa4\xca\xa1\xd7\xa4\xc8 2026 \xc7\xaf\xa1\xa5"
    "\xa5\xab\xa5\xbf\xa5\xab\xa5\xca\xa1\xa6\xa4\xd2\xa4\xe9\xa4\xac\xa4\xca\xa1\xa7 ok";

constexpr long kMegabyte = 1000000L;

// splitmix64: a fixed seed gives the same stream of bytes on every machine.
std::uint64_t nextRandom(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

void writeRandom(std::FILE* out, std::uint64_t seed, long bytes) {
  unsigned char block[1 << 16];
  for (long left = bytes; left > 0;) {
    for (std::size_t i = 0; i < sizeof block; i += 8) {
      const std::uint64_t r = nextRandom(seed);
      std::memcpy(block + i, &r, 8);
    }
    const long n = left < static_cast<long>(sizeof block) ? left : static_cast<long>(sizeof block);
    std::fwrite(block, 1, static_cast<std::size_t>(n), out);
    left -= n;
  }
}

// One line of prose, repeated with a space between the copies, and a single line end at the end.
void writeLongLine(std::FILE* out, long bytes) {
  const long length = static_cast<long>(std::strlen(kProse)) + 1;
  for (long written = 0; written + length < bytes; written += length) {
    std::fputs(kProse, out);
    std::fputc(' ', out);
  }
  std::fputs("\r\n", out);
}

// `count` comment lines of `length` bytes each, the '%' included and the CR LF not.
void writeComments(std::FILE* out, long count, long length) {
  constexpr char kFill[] =
      "abcdefghijklmnopqrstuvwxyz0123456789 .,;:-+=()ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (long line = 0; line < count; ++line) {
    std::fputc('%', out);
    for (long i = 1; i < length; ++i) std::fputc(kFill[(line + i) % (sizeof kFill - 1)], out);
    std::fputs("\r\n", out);
  }
}

// The EUC pair of bitmap number `p`.
void writePair(std::FILE* out, int p) {
  std::fputc(0xA1 + (p - 1) / 94, out);
  std::fputc(0xA1 + (p - 1) % 94, out);
}

// The Shift-JIS pair of bitmap number `p`: rows two by two onto lead bytes 0x81 to 0x9F and 0xE0
// to 0xEA, odd rows onto trail bytes 0x40 to 0x9E (0x7F skipped), even rows onto 0x9F to 0xFC.
void writeSjisPair(std::FILE* out, int p) {
  const int row = (p - 1) / 94 + 1;
  const int cell = (p - 1) % 94 + 1;
  std::fputc(row <= 62 ? (row + 0x101) / 2 : (row + 0x181) / 2, out);
  std::fputc(row % 2 == 0 ? cell + 0x9E : cell + 0x3F + (cell >= 64 ? 1 : 0), out);
}

// Random text that a conversion takes whole: printable ASCII, now and then a lone CR, and
// double-byte characters of every row in the given encoding, in lines of at most 122 bytes with
// CR LF line ends; no form feed, no Ctrl-Z, and no comment line, whose pairs would pass through
// in their own encoding: the same seed gives the same document in either encoding.
void writeRandomText(std::FILE* out, std::uint64_t seed, long bytes, int euc) {
  long written = 0;
  int column = 0;
  while (written < bytes) {
    const std::uint64_t r = nextRandom(seed);
    const int kind = static_cast<int>(r % 16);
    if (kind == 0 || column >= 120) {
      std::fputs("\r\n", out);
      written += 2;
      column = 0;
    } else if (kind < 6) {
      const int p = 1 + static_cast<int>((r >> 8) % 7806);
      if (euc) {
        writePair(out, p);
      } else {
        writeSjisPair(out, p);
      }
      written += 2;
      column += 2;
    } else {
      int c = (r >> 20) % 64 == 0 ? '\r' : 0x20 + static_cast<int>((r >> 8) % 95);
      if (c == '%' && column == 0) c = '#';
      std::fputc(c, out);
      ++written;
      ++column;
    }
  }
  std::fputs("\r\n", out);
}

// An input whose output has four long regions, one after the other, so that a write can be made
// to fail in each: a header that declares all 427 fonts, a body of prose, the echo lines of
// directives that hold many options each, and a tail of prose.
void writeLayered(std::FILE* out, int proseLines, int directiveLines, int tailLines) {
  // Every font at every size: one character of each block after a directive for the size.
  for (int size = 0; size <= 5; ++size) {
    std::fprintf(out, "%%KOTOBUN /%d\r\n", size);
    for (int block = 0; block <= 60; ++block) writePair(out, block * 128 + 1);
    std::fputs("\r\n", out);
  }
  std::fputs("%KOTOBUN /1095\r\n", out);
  for (int block = 0; block <= 60; ++block) writePair(out, block * 128 + 1);
  std::fputs("\r\n%KOTOBUN /1440\r\n", out);
  for (int line = 0; line < proseLines; ++line) std::fprintf(out, "%s\r\n", kProse);
  // 82 options fill a comment line to 254 bytes; each writes one echo line.
  constexpr const char* kSizes[] = {" /1", " /2", " /3", " /4", " /5", " /0"};
  for (int line = 0; line < directiveLines; ++line) {
    std::fputs("%KOTOBUN", out);
    for (int option = 0; option < 81; ++option) std::fputs(kSizes[option % 6], out);
    std::fputs(" /2\r\n", out);
  }
  for (int line = 0; line < tailLines; ++line) std::fprintf(out, "%s\r\n", kProse);
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage =
      "usage: make_test_input random SEED MEGABYTES FILE\n"
      "       make_test_input text SEED MEGABYTES euc|sjis FILE\n"
      "       make_test_input line MEGABYTES FILE\n"
      "       make_test_input comments COUNT LENGTH FILE\n"
      "       make_test_input layered PROSE_LINES DIRECTIVE_LINES TAIL_LINES FILE\n";
  if (argc < 4) {
    std::fputs(usage, stderr);
    return 2;
  }
  const char* mode = argv[1];
  const int arguments = std::strcmp(mode, "line") == 0                                        ? 4
                        : std::strcmp(mode, "layered") == 0 || std::strcmp(mode, "text") == 0 ? 6
                                                                                              : 5;
  if (argc != arguments) {
    std::fputs(usage, stderr);
    return 2;
  }
  std::FILE* out = std::fopen(argv[argc - 1], "wb");
  if (out == nullptr) {
    std::perror(argv[argc - 1]);
    return 1;
  }
  if (std::strcmp(mode, "random") == 0) {
    writeRandom(out, std::strtoull(argv[2], nullptr, 10), std::atol(argv[3]) * kMegabyte);
  } else if (std::strcmp(mode, "text") == 0) {
    writeRandomText(out, std::strtoull(argv[2], nullptr, 10), std::atol(argv[3]) * kMegabyte,
                    std::strcmp(argv[4], "sjis") != 0);
  } else if (std::strcmp(mode, "line") == 0) {
    writeLongLine(out, std::atol(argv[2]) * kMegabyte);
  } else if (std::strcmp(mode, "comments") == 0) {
    writeComments(out, std::atol(argv[2]), std::atol(argv[3]));
  } else if (std::strcmp(mode, "layered") == 0) {
    writeLayered(out, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
  } else {
    std::fputs(usage, stderr);
    return 2;
  }
  if (std::fclose(out) != 0) {
    std::perror(argv[argc - 1]);
    return 1;
  }
  return 0;
}
