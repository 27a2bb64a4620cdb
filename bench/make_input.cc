// make_input.cc - writes large inputs for the benchmarks: Japanese text or PostScript.
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// One line of ordinary EUC prose: kanji, kana, punctuation, brackets, Latin words and digits.
constexpr const char* kJapaneseLine =
    "\xc6\xfc\xcb\xdc\xb8\xec\xa4\xce\xca\xb8\xbe\xcf\xa4\xf2 TeX \xa4\xc7\xc1\xc8\xa4\xe0\xa1\xa3"
    "\xa1\xd6\xb4\xc1\xbb\xfa\xa1\xa2\xa4\xab\xa4\xca\xa1\xd7\xa4\xc8 2026 \xc7\xaf\xa1\xa5"
    "\xa5\xab\xa5\xbf\xa5\xab\xa5\xca\xa1\xa6\xa4\xd2\xa4\xe9\xa4\xac\xa4\xca\xa1\xa7 ok\n";

constexpr const char* kPostScriptLine = "(The quick brown fox) 72 700 TX 100 200 moveto (x) SB\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "japanese") != 0 && std::strcmp(argv[1], "ps") != 0)) {
    std::fprintf(stderr, "usage: make_input japanese|ps MEGABYTES FILE\n");
    return 2;
  }
  const long target = std::atol(argv[2]) * 1000000L;
  const char* line = std::strcmp(argv[1], "ps") == 0 ? kPostScriptLine : kJapaneseLine;
  const long length = static_cast<long>(std::strlen(line));
  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr) return 1;
  for (long written = 0; written < target; written += length) std::fputs(line, out);
  return std::fclose(out) == 0 ? 0 : 1;
}
