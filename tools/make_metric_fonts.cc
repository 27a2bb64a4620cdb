// make_metric_fonts.cc - writes metric-only stand-ins for the 61 kanji fonts, kanjiaa to kanjihe.
//
// Usage: make_metric_fonts FOLDER [PLTOTF]
// Writes kanjiaa.pl ... kanjihe.pl into FOLDER (which must exist) and runs pltotf (or the program
// given as PLTOTF) on each to make kanjiaa.tfm ... kanjihe.tfm. Every font has the characters 0 to
// 127, each 1em wide, 0.88em high and 0.12em deep, at a design size of 10pt: enough for TeX to set
// and break the converter's output, though a DVI file made with them shows no glyphs. TeX finds
// them with TFMFONTS=FOLDER: (and MKTEXTFM=0, so that a missing font fails at once).
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

constexpr int kFontBlocks = 61;  // blocks "aa" to "he"
constexpr int kGlyphs = 128;     // codes 0 to 127 in every font

constexpr char blockLetter1(int block) { return static_cast<char>('a' + block / 8); }
constexpr char blockLetter2(int block) { return static_cast<char>('a' + block % 8); }
static_assert(blockLetter1(kFontBlocks - 1) == 'h' && blockLetter2(kFontBlocks - 1) == 'e');

// Widths and depths in design units: at DESIGNUNITS 1 a unit is the design size, 10pt, which is
// also the quad, so 1.0 is 1em.
constexpr const char* kHead =
    "(DESIGNSIZE R 10.0)\n"
    "(COMMENT Metric-only stand-in: 128 square glyphs, no shapes)\n"
    "(FONTDIMEN\n"
    "   (SLANT R 0.0)\n"
    "   (SPACE R 0.0)\n"
    "   (STRETCH R 0.0)\n"
    "   (SHRINK R 0.0)\n"
    "   (XHEIGHT R 0.88)\n"
    "   (QUAD R 1.0)\n"
    "   (EXTRASPACE R 0.0)\n"
    "   )\n";

constexpr const char* kGlyph =
    "(CHARACTER O %o\n"
    "   (CHARWD R 1.0)\n"
    "   (CHARHT R 0.88)\n"
    "   (CHARDP R 0.12)\n"
    "   )\n";

// Path buffers: a folder name, a slash and "kanjiaa.tfm".
using PathBuffer = char[4096];

void formPath(PathBuffer& path, const char* folder, int block, const char* extension) {
  const int n = std::snprintf(path, sizeof path, "%s/kanji%c%c%s", folder, blockLetter1(block),
                              blockLetter2(block), extension);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof path) {
    std::fprintf(stderr, "make_metric_fonts: folder name too long: %s\n", folder);
    std::exit(1);
  }
}

void writePropertyList(const char* path, int block) {
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) {
    std::fprintf(stderr, "make_metric_fonts: cannot create %s\n", path);
    std::exit(1);
  }
  std::fprintf(out, "(FAMILY KANJI%c%c)\n", blockLetter1(block) - 'a' + 'A',
               blockLetter2(block) - 'a' + 'A');
  std::fputs(kHead, out);
  for (int code = 0; code < kGlyphs; ++code) std::fprintf(out, kGlyph, code);
  if (std::ferror(out) || std::fclose(out) != 0) {
    std::fprintf(stderr, "make_metric_fonts: cannot write %s\n", path);
    std::exit(1);
  }
}

// Runs `pltotf PL TFM` without a shell, so that folder names need no quoting.
void runPltotf(const char* pltotf, const char* plPath, const char* tfmPath) {
  char* argv[] = {const_cast<char*>(pltotf), const_cast<char*>(plPath), const_cast<char*>(tfmPath),
                  nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, pltotf, nullptr, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "make_metric_fonts: cannot run %s\n", pltotf);
    std::exit(1);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "make_metric_fonts: %s failed on %s\n", pltotf, plPath);
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("usage: make_metric_fonts FOLDER [PLTOTF]\n", stderr);
    return 1;
  }
  const char* folder = argv[1];
  const char* pltotf = argc == 3 ? argv[2] : "pltotf";
  for (int block = 0; block < kFontBlocks; ++block) {
    PathBuffer plPath;
    PathBuffer tfmPath;
    formPath(plPath, folder, block, ".pl");
    formPath(tfmPath, folder, block, ".tfm");
    writePropertyList(plPath, block);
    runPltotf(pltotf, plPath, tfmPath);
  }
  std::printf("make_metric_fonts: %d fonts in %s\n", kFontBlocks, folder);
  return 0;
}
