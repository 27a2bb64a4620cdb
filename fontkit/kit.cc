// kit.cc - kanjikit's run: the command line, then the metrics, encodings and map of the family,
// and the LaTeX package.
#include "fontkit/kit.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

#include "fontkit/cmap.h"
#include "fontkit/command.h"
#include "fontkit/encoding.h"
#include "fontkit/family.h"
#include "fontkit/metrics.h"
#include "fontkit/package_text.h"
#include "fontkit/sfnt.h"

namespace fontkit {
namespace {

constexpr const char* kUsage =
    "usage: kanjikit [--font FILE] [--gothic FILE | --no-gothic] [--design-size PT] "
    "[--metrics-only] [--per-font-map] [ROOT]\n";
constexpr const char* kVersion = "kanjikit 1.1\n";
constexpr const char* kHelp =
    "Writes the kanji fonts kanjiaa ... kanjihe for TeX and dvipdfmx into the TeX tree ROOT\n"
    "(default: your TEXMFHOME, from kpsewhich -var-value TEXMFHOME):\n"
    "  ROOT/fonts/tfm/public/kotobun/kanjiXX.tfm     metrics, 128 square glyphs a font\n"
    "  ROOT/fonts/enc/dvips/kotobun/kanjiXX.enc      glyph names, from iconv's EUC-JP (row 13\n"
    "                                                from CP932), for --per-font-map\n"
    "  ROOT/fonts/sfd/kotobun/kanjikit.sfd           the code point of every code\n"
    "  ROOT/fonts/cmap/kotobun/Kotobun-Kanji-*       the glyphs and the text of the PDF\n"
    "  ROOT/fonts/map/dvipdfmx/kotobun/kanjikit.map  all 61 fonts as one font of the TrueType\n"
    "                                                font, which the PDF embeds once\n"
    "  ROOT/fonts/tfm/public/kotobun/kanjigXX.tfm    with a gothic font, the bold fonts, also\n"
    "                                                in the map as one font\n"
    "  ROOT/tex/latex/kotobun/kotobun.sty            the LaTeX package: kanji at LaTeX's sizes,\n"
    "                                                bold in gothic, Japanese spacing\n"
    "  ROOT/tex/latex/kotobun/kotobun.cfg            whether bold kanji are gothic\n"
    "Then: latex doc && dvipdfmx -f kanjikit.map doc (\\usepackage{kotobun} after the header)\n"
    "  --font FILE        TrueType or OpenType font with a Unicode cmap (default ipam.ttf,\n"
    "                     IPA Mincho, found through kpathsea)\n"
    "  --gothic FILE      the font of bold kanji, a TrueType font as for --font (default\n"
    "                     ipag.ttf, IPA Gothic, when kpathsea finds it)\n"
    "  --no-gothic        no gothic fonts: bold kanji stay Mincho\n"
    "  --design-size PT   design size of the fonts in points (default 7.0)\n"
    "  --metrics-only     write the TFM files and the package alone; needs no font\n"
    "  --per-font-map     a map line for each font through its encoding, as kits before\n"
    "                     1.1 had: the PDF embeds a font for each one the document uses\n"
    "  --help, --version  print this help or the version and stop\n";

// ORDER FOLDERS: the folders of the tree, the metrics first and the package after them (the two
// that --metrics-only writes), the map last so that it appears last.
enum Folder {
  kTfmFolder,
  kTexFolder,
  kEncFolder,
  kSfdFolder,
  kCMapFolder,
  kMapFolder,
  kFolderCount
};
constexpr int kMetricsOnlyFolders = 2;
constexpr const char* kFolderPaths[kFolderCount] = {
    "fonts/tfm/public/kotobun", "tex/latex/kotobun",  "fonts/enc/dvips/kotobun",
    "fonts/sfd/kotobun",        "fonts/cmap/kotobun", "fonts/map/dvipdfmx/kotobun"};
constexpr const char* kMapName = "kanjikit.map";
constexpr const char* kPackageName = "kotobun.sty";
constexpr const char* kPackageConfigName = "kotobun.cfg";

constexpr const char* kLockName = ".kanjikit.lock";  // in ROOT: one run at a time in a tree
constexpr const char* kTemporary = ".kanjikit-";     // temporary folders; TeX skips dot folders

// A font that the kit reads: the file, and the name the map gives it.
struct FontFile {
  PathBuffer path;  // the font file read for its cmap
  PathBuffer name;  // the font as the map names it
};

// The state of one run: where it writes, and the temporary folders that hold the new files, and
// then the old ones, until the run has succeeded.
struct KitRun {
  PathBuffer folders[kFolderCount];  // ROOT/fonts/.../kotobun, the folders of the kit
  PathBuffer staging[kFolderCount];  // beside each, .kanjikit-XXXXXX with the new files, or ""
  PathBuffer aside[kFolderCount];    // beside each, .kanjikit-XXXXXX with the old folder, or ""
  int placed[kFolderCount];          // the new folder stands in place of the old one
  FontFile mincho;                   // the font of the family kanjiaa ... kanjihe
  FontFile gothic;                   // the font of kanjigaa ... kanjighe, if hasGothic
  int hasGothic;                     // the kit holds the gothic family
  const char* step;                  // what the run is doing, for a message
};

// The run that a signal or a failed allocation ends, and the signal that asked for it (0: none).
KitRun* activeRun = nullptr;
volatile std::sig_atomic_t caughtSignal = 0;

extern "C" void noteSignal(int signal) { caughtSignal = signal; }

const char* signalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

// Copies `text` into `shown` with every control character as '?', so that a message stays one
// line whatever a name holds.
void printable(const char* text, PathBuffer& shown) {
  std::snprintf(shown, sizeof shown, "%s", text);
  for (char* c = shown; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) *c = '?';
  }
}

// Removes the folder `path` with its files and, `depth` levels down, its folders; a symbolic
// link in its place goes alone, never what it points to.
void removeFolder(const char* path, int depth) {
  struct stat self;
  if (lstat(path, &self) == 0 && !S_ISDIR(self.st_mode)) {
    unlink(path);
    return;
  }
  if (DIR* dir = opendir(path)) {
    while (const dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      PathBuffer inner;
      const int n = std::snprintf(inner, sizeof inner, "%s/%s", path, entry->d_name);
      if (n <= 0 || static_cast<std::size_t>(n) >= sizeof inner) continue;
      struct stat info;
      if (depth > 0 && lstat(inner, &info) == 0 && S_ISDIR(info.st_mode)) {
        removeFolder(inner, depth - 1);
      } else {
        unlink(inner);
      }
    }
    closedir(dir);
  }
  rmdir(path);
}

// Undoes the run: puts every old folder back in place (the new one into its temporary name),
// then removes the temporary folders. Returns 0 if an old folder could not be put back.
int abandonRun(KitRun& run) {
  int restored = 1;
  for (int folder = kFolderCount - 1; folder >= 0; --folder) {
    if (run.placed[folder]) {
      if (std::rename(run.folders[folder], run.staging[folder]) != 0 ||
          (run.aside[folder][0] != '\0' &&
           std::rename(run.aside[folder], run.folders[folder]) != 0)) {
        restored = 0;
        continue;  // leave that folder's old files where they are
      }
      run.aside[folder][0] = '\0';
      run.placed[folder] = 0;
    }
    if (run.staging[folder][0] != '\0') removeFolder(run.staging[folder], 2);
    if (run.aside[folder][0] != '\0' && !run.placed[folder]) removeFolder(run.aside[folder], 2);
    run.staging[folder][0] = '\0';
  }
  return restored;
}

// Prints "kanjikit: " and the message, `format` filled with `args` as by printf, on stderr;
// after a signal, says so instead. Undoes the run and ends the program with status 1.
template <typename... Args>
[[noreturn]] void failRun(KitRun& run, const char* format, Args... args) {
  std::fputs("kanjikit: ", stderr);
  if (caughtSignal != 0) {
    std::fprintf(stderr, "interrupted by %s while %s; the kit stays as it was",
                 signalName(caughtSignal), run.step);
  } else if constexpr (sizeof...(args) == 0) {
    std::fputs(format, stderr);
  } else {
    std::fprintf(stderr, format, args...);
  }
  std::fputc('\n', stderr);
  if (!abandonRun(run)) {
    std::fputs("kanjikit: and the old kit could not be put back whole: run kanjikit again\n",
               stderr);
  }
  std::exit(1);
}

// Ends the run if a signal asked for it.
void checkSignal(KitRun& run) {
  if (caughtSignal != 0) failRun(run, "interrupted");
}

void outOfMemory() { failRun(*activeRun, "out of memory while %s", activeRun->step); }

// SIGINT, SIGTERM and SIGHUP end the run at its next step, undone; one that the caller ignores
// (nohup, a background job) stays ignored. A closed standard output fails a write instead of
// killing the program half-way.
void catchSignals() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action = {};
    sigaction(signal, nullptr, &action);
    if (action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = noteSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
  std::signal(SIGPIPE, SIG_IGN);
}

// Joins `folder`, a slash and `name` into `path`; ends the run if it does not fit.
void joinPath(KitRun& run, PathBuffer& path, const char* folder, const char* name) {
  const int n = std::snprintf(path, sizeof path, "%s/%s", folder, name);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof path) {
    failRun(run, "path too long: %s/%s", folder, name);
  }
}

// Creates `path` and every folder above it that is missing, as mkdir -p does.
void makeFolders(KitRun& run, const char* path) {
  PathBuffer partial;
  std::snprintf(partial, sizeof partial, "%s", path);
  for (char* slash = std::strchr(partial + 1, '/');; slash = std::strchr(slash + 1, '/')) {
    if (slash != nullptr) *slash = '\0';
    struct stat info;
    if (mkdir(partial, 0777) != 0 &&
        (errno != EEXIST || stat(partial, &info) != 0 || !S_ISDIR(info.st_mode))) {
      const int error = errno == EEXIST ? ENOTDIR : errno;
      failRun(run, "cannot create the folder %s: %s", partial, std::strerror(error));
    }
    if (slash == nullptr) break;
    *slash = '/';
  }
}

// The name of block `block`'s file of `family` with `extension`, as "kanjiac.tfm".
void blockFileName(char (&name)[16], Family family, int block, const char* extension) {
  std::snprintf(name, sizeof name, "%s%c%c%s", familyPrefix(family), blockLetter1(block),
                blockLetter2(block), extension);
}

// Runs kpsewhich with `argument` (and `option` before it, if not nullptr); leaves its first
// line of output in `line`, empty when it found nothing. With `inTrees` it asks for every match
// (-all) and keeps the first one outside the current folder ("./NAME"), which TeX searches
// first but only where it runs. Returns 0 if kpsewhich is not installed; then ends the run too,
// unless `optional` is 1.
int askKpsewhich(KitRun& run, const char* option, const char* argument, PathBuffer& line,
                 int optional, int inTrees) {
  char program[] = "kpsewhich";
  char all[] = "-all";
  char* argv[5] = {program};
  int count = 1;
  if (inTrees) argv[count++] = all;
  if (option != nullptr) argv[count++] = const_cast<char*>(option);
  argv[count] = const_cast<char*>(argument);
  if (runForLine(argv, line, inTrees ? "./" : nullptr) == kCouldNotStart) {
    if (optional) return 0;
    failRun(run,
            "kpsewhich is not installed (apt-get install texlive-binaries); "
            "name ROOT and the font file on the command line");
  }
  return 1;
}

// Finds `font` and the name that the map gives it: the default font `defaultName` (when `file`
// is nullptr) by kpathsea, as dvipdfmx will find it; another font by the path given, named by
// its bare name when kpathsea finds that same file, else by its full path. Returns 0 when
// kpathsea does not find the default font of the gothic family (`family`), which is then left
// out; ends the run for the Mincho one.
int locateFont(KitRun& run, FontFile& font, Family family, const char* file,
               const char* defaultName) {
  if (file == nullptr) {
    askKpsewhich(run, nullptr, defaultName, font.path, 0, 0);
    if (font.path[0] == '\0') {
      if (family == Family::Gothic) return 0;
      failRun(run,
              "kpsewhich does not find the font %s (IPA Mincho: apt-get install "
              "fonts-ipafont-mincho), or name a font with --font FILE",
              defaultName);
    }
    std::snprintf(font.name, sizeof font.name, "%s", defaultName);
    return 1;
  }
  struct stat given;
  if (stat(file, &given) != 0) {
    failRun(run, "cannot read the font %s: %s", file, std::strerror(errno));
  }
  if (S_ISDIR(given.st_mode)) failRun(run, "the font %s is a folder", file);
  // A pipe or a device would hang the read, or never end it.
  if (!S_ISREG(given.st_mode)) failRun(run, "the font %s is not a regular file", file);
  if (realpath(file, font.path) == nullptr) {
    failRun(run, "cannot read the font %s: %s", file, std::strerror(errno));
  }
  const char* slash = std::strrchr(font.path, '/');
  const char* bareName = slash == nullptr ? font.path : slash + 1;
  // kpsewhich also looks in the current folder ("./NAME"), where dvipdfmx, started elsewhere,
  // would not: only a match inside the trees counts.
  PathBuffer found;
  found[0] = '\0';
  askKpsewhich(run, nullptr, bareName, found, 1, 0);
  struct stat foundInfo;
  const int sameFile = found[0] == '/' && stat(found, &foundInfo) == 0 &&
                       foundInfo.st_dev == given.st_dev && foundInfo.st_ino == given.st_ino;
  std::snprintf(font.name, sizeof font.name, "%s", sameFile ? bareName : font.path);
  // A map line is words separated by blanks, up to a '%' that starts a comment: a name with
  // a blank, a quote, a '%' or a line end cannot stand in it.
  int unfit = std::strpbrk(font.name, " \t\"<%") != nullptr;
  for (const char* c = font.name; *c != '\0'; ++c) {
    unfit |= static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F;
  }
  if (unfit) {
    PathBuffer shown;
    printable(font.name, shown);
    failRun(run,
            "the font's name holds a blank, a quote, a '<', a '%%' or a control character "
            "(shown as '?'), which a map line cannot hold: %s",
            shown);
  }
  return 1;
}

// Whether dvipdfmx must take `font` through a map line a font: it reads the name of a CID font
// up to a '/', after which its character collection follows, or a ',' and its style; a ':' or
// '!' in front gives the index in a collection or keeps the font out of the PDF.
int needsPerFontMap(const FontFile& font) {
  return std::strpbrk(font.name, "/,") != nullptr || font.name[0] == ':' || font.name[0] == '!';
}

// The characters of the family and the glyphs the fonts have for them.
struct Characters {
  CodePoints codePoints;     // by bitmap number: EUC-JP's, else CP932's (the text of the PDF)
  CodePoints windowsPoints;  // by bitmap number: CP932's
  CodePoints glyphPoints;    // by bitmap number: the code point whose glyph the PDF shows
  GlyphCount count;
  CodePoints gothicPoints;  // the same for the gothic font, if the kit has one
  GlyphCount gothicCount;
};

// Reads the cmap and advance widths of the font at `fontPath`, chooses the glyph of every
// character into `glyphPoints` and counts into `count` the positions the font lacks a glyph for:
// those without a character, and the characters it does not hold.
void chooseGlyphs(KitRun& run, const char* fontPath, const Characters& characters,
                  CodePoints& glyphPoints, GlyphCount& count) {
  // Without blocking, so that a font path that has become a pipe cannot hang the open.
  const int fd = open(fontPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info;
  if (fd < 0 || fstat(fd, &info) != 0) {
    failRun(run, "cannot read the font %s: %s", fontPath, std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    close(fd);
    failRun(run, "the font %s is not a regular file", fontPath);
  }
  std::FILE* font = fdopen(fd, "rb");
  if (font == nullptr) {
    close(fd);
    failRun(run, "cannot read the font %s: %s", fontPath, std::strerror(errno));
  }
  static FontDirectory directory;
  const DirectoryResult read = readDirectory(font, directory);
  if (read != DirectoryResult::Read) {
    std::fclose(font);
    failRun(run, "the font %s %s", fontPath,
            read == DirectoryResult::ReadFailed      ? "cannot be read"
            : read == DirectoryResult::TooManyTables ? "has more tables than a font has"
                                                     : cmapResultText(CmapResult::NotAFont));
  }
  // A file cut short (a copy that failed, a download that stopped) loses its last tables.
  if (const TableEntry* outside = tableOutside(directory)) {
    std::fclose(font);
    failRun(run,
            "the font %s is cut short or damaged: its %s table (%lu bytes at %lu) runs past the "
            "end of the file (%ld bytes)",
            fontPath, outside->tag, static_cast<unsigned long>(outside->length),
            static_cast<unsigned long>(outside->offset), directory.fileSize);
  }
  FontCmap cmap;
  const CmapResult result = readCmap(font, cmap);
  if (result != CmapResult::Read) {
    std::fclose(font);
    failRun(run, "the font %s %s", fontPath, cmapResultText(result));
  }
  // dvipdfmx embeds a font under an 8-bit encoding from TrueType outlines only: with CFF ones
  // (Noto CJK, most .otf files) it stops at "sfnt: table not found" or finds no font.
  if (!cmap.trueTypeOutlines) {
    std::fclose(font);
    failRun(run,
            "the font %s has no TrueType outlines (glyf table), and dvipdfmx cannot embed "
            "CFF outlines under these fonts' encodings: take a TrueType font (.ttf)",
            fontPath);
  }
  const char* problem = glyphTablesProblem(font, directory);
  AdvanceWidths widths;
  const int widthsRead = problem == nullptr && readAdvanceWidths(font, directory, widths);
  std::fclose(font);
  if (problem != nullptr) failRun(run, "the font %s %s", fontPath, problem);
  if (!widthsRead) {
    failRun(run, "the font %s has no sound head, hhea or hmtx table (glyph widths)", fontPath);
  }
  chooseGlyphPoints(characters.codePoints, characters.windowsPoints, cmap, widths, glyphPoints,
                    count);
}

// Opens `name` in the temporary folder of `folder` for writing.
std::FILE* createStaged(KitRun& run, Folder folder, const char* name, PathBuffer& path) {
  joinPath(run, path, run.staging[folder], name);
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) failRun(run, "cannot create %s: %s", path, std::strerror(errno));
  return out;
}

// Closes a staged file; ends the run if its writes or its close failed.
void closeStaged(KitRun& run, std::FILE* out, int written, const char* path) {
  if (std::fclose(out) != 0 || !written) failRun(run, "cannot write %s", path);
}

// Copies the staged file `from` of `folder` into the staged file `to` beside it.
void copyStaged(KitRun& run, Folder folder, const char* from, const char* to) {
  PathBuffer fromPath;
  joinPath(run, fromPath, run.staging[folder], from);
  std::FILE* in = std::fopen(fromPath, "rb");
  if (in == nullptr) failRun(run, "cannot read %s: %s", fromPath, std::strerror(errno));
  PathBuffer toPath;
  std::FILE* out = createStaged(run, folder, to, toPath);
  char buffer[4096];
  int written = 1;
  std::size_t n = 0;
  while (written && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    written = std::fwrite(buffer, 1, n, out) == n;
  }
  const int readFailed = std::ferror(in);
  std::fclose(in);
  closeStaged(run, out, written && !readFailed, toPath);
}

// The TFM files of the Mincho family, from pltotf and checked whole, and with `gothic` the same
// metrics under the gothic family's names.
void writeMetrics(KitRun& run, int designSize, int gothic) {
  for (int block = 0; block < kFontBlocks; ++block) {
    char plName[16];
    char tfmName[16];
    blockFileName(plName, Family::Mincho, block, ".pl");
    blockFileName(tfmName, Family::Mincho, block, ".tfm");
    PathBuffer plPath;
    std::FILE* out = createStaged(run, kTfmFolder, plName, plPath);
    closeStaged(run, out, writePropertyList(out, block, designSize), plPath);
    PathBuffer tfmPath;
    joinPath(run, tfmPath, run.staging[kTfmFolder], tfmName);
    char program[] = "pltotf";
    char* argv[] = {program, plPath, tfmPath, nullptr};
    const int status = runProgram(argv);
    if (status == kCouldNotStart) {
      failRun(run, "cannot run pltotf (apt-get install texlive-binaries)");
    }
    if (status != 0) failRun(run, "pltotf %s ended with status %d", plPath, status);
    unlink(plPath);
    // pltotf ends with status 0 when its writes fail: a full disk leaves a cut or empty file.
    std::FILE* tfm = std::fopen(tfmPath, "rb");
    const int whole = tfm != nullptr && isWholeTfm(tfm, designSize);
    struct stat info;
    const long size = tfm != nullptr && fstat(fileno(tfm), &info) == 0 ? info.st_size : 0;
    if (tfm != nullptr) std::fclose(tfm);
    if (!whole) {
      failRun(run, "pltotf wrote %s cut short or damaged (%ld bytes) for %s: the disk may be full",
              tfmName, size, run.folders[kTfmFolder]);
    }
    if (gothic) {
      char gothicName[16];
      blockFileName(gothicName, Family::Gothic, block, ".tfm");
      copyStaged(run, kTfmFolder, tfmName, gothicName);
    }
    checkSignal(run);
  }
}

// Writes the map lines of `family`, in `font`: one line for the 61 fonts, or a line a font
// through the encodings when `perFont`. Returns 0 if a write failed.
int writeFamilyMap(std::FILE* out, Family family, const FontFile& font, int perFont) {
  if (!perFont) return writeFamilyMapLine(out, family, font.name);
  int written = 1;
  for (int block = 0; block < kFontBlocks && written; ++block) {
    written = writeMapLine(out, family, block, font.name);
  }
  return written;
}

// The package kotobun.sty, as built into the program, and kotobun.cfg, which turns bold kanji
// in gothic on when the kit has the gothic family and leaves them Mincho otherwise (a cfg of an
// earlier kit must not stay behind).
void writePackage(KitRun& run, int gothic) {
  PathBuffer path;
  std::FILE* out = createStaged(run, kTexFolder, kPackageName, path);
  closeStaged(run, out,
              std::fwrite(kPackageText.data(), 1, kPackageText.size(), out) == kPackageText.size(),
              path);
  out = createStaged(run, kTexFolder, kPackageConfigName, path);
  if (gothic) {
    std::fprintf(out,
                 "%% %s: written by kanjikit with the gothic fonts kanjigaa ... kanjighe in %s\n"
                 "\\kbn@gothictrue\n",
                 kPackageConfigName, run.gothic.name);
  } else {
    std::fprintf(out,
                 "%% %s: written by kanjikit without gothic fonts: bold kanji stay Mincho\n"
                 "\\kbn@gothicfalse\n",
                 kPackageConfigName);
  }
  closeStaged(run, out, !std::ferror(out), path);
}

// The encodings, for a map line a font; the subfont definition and the CMaps, for one map line
// of all the fonts; then the map of one kind or the other for each family: the Mincho family,
// and the gothic one in the kit's gothic font if it has one.
void writeEncodingsAndMap(KitRun& run, const Characters& characters, int perFontMap,
                          int gothicPerFontMap) {
  for (int block = 0; block < kFontBlocks; ++block) {
    char name[16];
    blockFileName(name, Family::Mincho, block, ".enc");
    PathBuffer path;
    std::FILE* out = createStaged(run, kEncFolder, name, path);
    closeStaged(run, out, writeEncoding(out, block, characters.codePoints), path);
    checkSignal(run);
  }
  char sfdName[32];
  std::snprintf(sfdName, sizeof sfdName, "%s.sfd", kSubfontName);
  PathBuffer path;
  std::FILE* out = createStaged(run, kSfdFolder, sfdName, path);
  closeStaged(run, out, writeSubfontDefinition(out, characters.codePoints), path);
  for (CMapKind kind : {CMapKind::Codes, CMapKind::Glyphs, CMapKind::Text}) {
    out = createStaged(run, kCMapFolder, kCMapNames[static_cast<int>(kind)], path);
    closeStaged(run, out, writeCMap(out, kind, characters.codePoints, characters.glyphPoints),
                path);
  }
  checkSignal(run);
  out = createStaged(run, kMapFolder, kMapName, path);
  std::fprintf(out, "%% %s: the kanji fonts kanjiaa to kanjihe in %s", kMapName, run.mincho.name);
  if (run.hasGothic) std::fprintf(out, ", kanjigaa to kanjighe in %s", run.gothic.name);
  std::fputs(", for dvipdfmx\n", out);
  int written = !std::ferror(out) && writeFamilyMap(out, Family::Mincho, run.mincho, perFontMap);
  if (run.hasGothic) {
    written = written && writeFamilyMap(out, Family::Gothic, run.gothic, gothicPerFontMap);
  }
  closeStaged(run, out, written, path);
}

// Creates the temporary folder beside `folder` that takes its new files, after removing what
// runs that were killed left there (the lock says that no other run is using it).
void stageFolder(KitRun& run, Folder folder) {
  PathBuffer parent;
  std::snprintf(parent, sizeof parent, "%s", run.folders[folder]);
  *std::strrchr(parent, '/') = '\0';
  makeFolders(run, parent);
  if (DIR* dir = opendir(parent)) {
    while (const dirent* entry = readdir(dir)) {
      if (std::strncmp(entry->d_name, kTemporary, std::strlen(kTemporary)) != 0) continue;
      PathBuffer leftover;
      joinPath(run, leftover, parent, entry->d_name);
      struct stat info;
      if (lstat(leftover, &info) == 0 && S_ISDIR(info.st_mode)) removeFolder(leftover, 2);
    }
    closedir(dir);
  }
  char pattern[32];
  std::snprintf(pattern, sizeof pattern, "%sXXXXXX", kTemporary);
  joinPath(run, run.staging[folder], parent, pattern);
  if (mkdtemp(run.staging[folder]) == nullptr) {
    const int error = errno;
    run.staging[folder][0] = '\0';
    failRun(run, "cannot write into %s: %s", parent, std::strerror(error));
  }
  // mkdtemp makes the folder private; the kit's folder is as readable as any other.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(run.staging[folder], 0777 & ~mask);
}

// Whether `name` is a TFM file of the gothic family, kanjigaa.tfm ... kanjighe.tfm: the kit's
// own, which a kit without the gothic family drops.
int isGothicMetrics(const char* name) {
  for (int block = 0; block < kFontBlocks; ++block) {
    char gothicName[16];
    blockFileName(gothicName, Family::Gothic, block, ".tfm");
    if (std::strcmp(name, gothicName) == 0) return 1;
  }
  return 0;
}

// Links the files of the old folder that the new one lacks (files the user put there) into
// the new one, so that they stay. A folder of the user's inside ends the run: the old folder
// is removed once the new one stands.
void carryOtherFiles(KitRun& run, Folder folder) {
  DIR* dir = opendir(run.folders[folder]);
  if (dir == nullptr) return;  // no folder, or no folder to read: the rename says why
  while (const dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0 ||
        std::strncmp(entry->d_name, kTemporary, std::strlen(kTemporary)) == 0 ||
        (folder == kTfmFolder && isGothicMetrics(entry->d_name))) {
      continue;
    }
    PathBuffer from;
    PathBuffer to;
    joinPath(run, from, run.folders[folder], entry->d_name);
    joinPath(run, to, run.staging[folder], entry->d_name);
    struct stat info;
    if (lstat(to, &info) == 0 || lstat(from, &info) != 0) continue;
    if (S_ISDIR(info.st_mode) || link(from, to) != 0) {
      const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
      closedir(dir);
      failRun(run, "cannot keep %s, which is not the kit's, in the new kit: %s", from,
              std::strerror(error));
    }
  }
  closedir(dir);
}

// Puts the new folder in place of the old one, which waits beside it, under a temporary name,
// until the run has succeeded.
void placeFolder(KitRun& run, Folder folder) {
  carryOtherFiles(run, folder);
  struct stat info;
  if (lstat(run.folders[folder], &info) == 0) {
    PathBuffer parent;
    std::snprintf(parent, sizeof parent, "%s", run.folders[folder]);
    *std::strrchr(parent, '/') = '\0';
    char pattern[32];
    std::snprintf(pattern, sizeof pattern, "%sXXXXXX", kTemporary);
    joinPath(run, run.aside[folder], parent, pattern);
    // rename() puts a folder in the place of an empty one.
    if (mkdtemp(run.aside[folder]) == nullptr ||
        std::rename(run.folders[folder], run.aside[folder]) != 0) {
      const int error = errno;
      rmdir(run.aside[folder]);
      run.aside[folder][0] = '\0';
      failRun(run, "cannot move the old %s aside: %s; the kit stays as it was", run.folders[folder],
              std::strerror(error));
    }
  }
  if (std::rename(run.staging[folder], run.folders[folder]) != 0) {
    const int error = errno;
    if (run.aside[folder][0] != '\0') {
      if (std::rename(run.aside[folder], run.folders[folder]) == 0) {
        run.aside[folder][0] = '\0';
      } else {
        run.placed[folder] = 1;  // so that the old folder is kept where it waits, not removed
      }
    }
    failRun(run, "cannot move the new files into %s: %s; the kit stays as it was",
            run.folders[folder], std::strerror(error));
  }
  run.placed[folder] = 1;
}

// Ends the run unless kpsewhich finds `name` (with the option `format`, if not nullptr) as the
// file of that name in `folder`: a kit that TeX does not find, or finds another of, is no kit.
void checkFound(KitRun& run, const char* root, Folder folder, const char* name,
                const char* format) {
  PathBuffer written;
  joinPath(run, written, run.folders[folder], name);
  PathBuffer found;
  askKpsewhich(run, format, name, found, 0, 1);
  struct stat foundInfo;
  struct stat writtenInfo;
  if (found[0] == '\0' || stat(found, &foundInfo) != 0) {
    failRun(run,
            "kpsewhich does not find %s in TEXMFHOME, %s, where it was written; the kit stays "
            "as it was",
            name, root);
  }
  if (stat(written, &writtenInfo) != 0 || foundInfo.st_dev != writtenInfo.st_dev ||
      foundInfo.st_ino != writtenInfo.st_ino) {
    failRun(run,
            "kpsewhich finds another %s, %s, before the one written in TEXMFHOME, %s; the kit "
            "stays as it was",
            name, found, root);
  }
}

// Ends the run unless TEXMFHOME (`root`) is one absolute folder: kpathsea reads a list
// (':'), braces, '!!' and a relative folder as paths to search, never as the one tree the kit
// must go into.
void checkTexmfHome(KitRun& run, const char* root) {
  if (root[0] == '/' && std::strpbrk(root, ":;{}") == nullptr &&
      std::strstr(root, "!!") == nullptr) {
    return;
  }
  PathBuffer shown;
  printable(root, shown);
  failRun(run,
          "TEXMFHOME is %s, not one absolute folder, and TeX would not find a kit written "
          "there: set TEXMFHOME to one folder, such as $HOME/texmf, or name ROOT",
          shown);
}

// Takes the lock of the tree `root` for the rest of the run: a second run into the same tree
// would mix its files with this one's.
void lockRoot(KitRun& run, const char* root) {
  PathBuffer path;
  joinPath(run, path, root, kLockName);
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  // Another user's lock file locks as well when it can be read.
  if (fd < 0 && errno == EACCES) fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) failRun(run, "cannot create %s: %s", path, std::strerror(errno));
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      failRun(run, "another kanjikit is writing into %s (it holds %s): try again when it is done",
              root, path);
    }
    failRun(run, "cannot lock %s: %s", path, std::strerror(errno));
  }
  // The descriptor stays open, and the lock held, until the program ends.
}

// Reports what `font` holds for the characters (`count`): the positions it lacks a glyph for,
// and under one map line for all fonts the glyphs taken from other code points and those not one
// em wide; a font named by its path (`pathInMap`) gets a word on the map line a font.
void reportFont(std::FILE* console, const FontFile& font, const GlyphCount& count, int perFontMap,
                int pathInMap) {
  std::fprintf(console,
               "kanjikit: %s lacks a glyph for %d of the %d positions: %d hold no character, "
               "and it lacks %d character%s\n",
               font.name, count.noCharacter + count.noGlyph, kPositions, count.noCharacter,
               count.noGlyph, count.noGlyph == 1 ? "" : "s");
  if (pathInMap) {
    std::fprintf(console,
                 "kanjikit: dvipdfmx takes one font for all only by a name that kpathsea finds "
                 "and that holds no '/' or ',' (in a CID font's name they start its character "
                 "collection or style): put %s into a TeX tree, as ~/texmf/fonts/truetype/, "
                 "for one font in the PDF\n",
                 font.path);
  }
  if (!perFontMap && count.replaced > 0) {
    std::fprintf(console,
                 "kanjikit: %d character%s drawn with the full-width glyph of the code point "
                 "CP932 gives %s\n",
                 count.replaced, count.replaced == 1 ? " is" : "s are",
                 count.replaced == 1 ? "it" : "them");
  }
  if (!perFontMap && count.notOneEm > 0) {
    std::fprintf(console,
                 "kanjikit: %d glyph%s of %s %s not 1em wide, as TeX sets %s: what follows "
                 "%s in a line is drawn off its place\n",
                 count.notOneEm, count.notOneEm == 1 ? "" : "s", font.name,
                 count.notOneEm == 1 ? "is" : "are", count.notOneEm == 1 ? "it" : "them",
                 count.notOneEm == 1 ? "it" : "them");
  }
}

}  // namespace

Request parseArguments(int argc, char** argv, KitOptions& options, std::FILE* err) {
  options = {nullptr, nullptr, kDefaultDesignSize, 0, 0, nullptr, 0};
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0) return Request::Help;
    if (std::strcmp(arg, "--version") == 0) return Request::Version;
    if (std::strcmp(arg, "--metrics-only") == 0) {
      options.metricsOnly = 1;
    } else if (std::strcmp(arg, "--per-font-map") == 0) {
      options.perFontMap = 1;
    } else if (std::strcmp(arg, "--no-gothic") == 0) {
      options.noGothic = 1;
    } else if (std::strcmp(arg, "--font") == 0 || std::strcmp(arg, "--gothic") == 0 ||
               std::strcmp(arg, "--design-size") == 0) {
      if (i + 1 == argc || argv[i + 1][0] == '\0') {
        std::fprintf(err, "kanjikit: %s needs a value\n%s", arg, kUsage);
        return Request::BadUsage;
      }
      const char* value = argv[++i];
      if (arg[2] == 'f') {
        options.fontFile = value;
      } else if (arg[2] == 'g') {
        options.gothicFile = value;
      } else if (!parseDesignSize(value, options.designSize)) {
        std::fprintf(err,
                     "kanjikit: bad design size %s: give points from 1 to 100, as 7 or 7.25\n%s",
                     value, kUsage);
        return Request::BadUsage;
      }
    } else if (arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(err, "kanjikit: unknown option %s\n%s", arg, kUsage);
      return Request::BadUsage;
    } else if (options.root != nullptr || arg[0] == '\0') {
      std::fprintf(err, "kanjikit: %s\n%s", arg[0] == '\0' ? "empty ROOT" : "more than one ROOT",
                   kUsage);
      return Request::BadUsage;
    } else {
      options.root = arg;
    }
  }
  if (options.gothicFile != nullptr && (options.noGothic || options.metricsOnly)) {
    std::fprintf(err, "kanjikit: --gothic cannot go with %s\n%s",
                 options.noGothic ? "--no-gothic" : "--metrics-only, which reads no font", kUsage);
    return Request::BadUsage;
  }
  return Request::Run;
}

int runKit(int argc, char** argv, std::FILE* console) {
  KitOptions options;
  switch (parseArguments(argc, argv, options, stderr)) {
    case Request::Run:
      break;
    case Request::Help:
      std::fputs(kUsage, console);
      std::fputs(kHelp, console);
      return std::fflush(console) == 0 && !std::ferror(console) ? 0 : 1;
    case Request::Version:
      std::fputs(kVersion, console);
      return std::fflush(console) == 0 && !std::ferror(console) ? 0 : 1;
    case Request::BadUsage:
      return 1;
  }
  static KitRun run;  // paths: too large for the stack of a test thread
  run = {};
  run.step = "reading the font";
  activeRun = &run;
  std::set_new_handler(outOfMemory);
  catchSignals();

  // Everything that can fail without writing comes first: the fonts, iconv, the tools, the root.
  static Characters characters;
  characters = {};
  if (!options.metricsOnly) {
    locateFont(run, run.mincho, Family::Mincho, options.fontFile, kDefaultFont);
    run.hasGothic = !options.noGothic && locateFont(run, run.gothic, Family::Gothic,
                                                    options.gothicFile, kDefaultGothicFont);
    if (!fillCodePoints(characters.codePoints) ||
        !fillWindowsCodePoints(characters.windowsPoints)) {
      failRun(run, "iconv cannot convert from EUC-JP or CP932");
    }
    chooseGlyphs(run, run.mincho.path, characters, characters.glyphPoints, characters.count);
    if (run.hasGothic) {
      chooseGlyphs(run, run.gothic.path, characters, characters.gothicPoints,
                   characters.gothicCount);
    }
  }
  // A font named by its path gets a map line a font (needsPerFontMap). The gothic family shares
  // the CMaps, made from the Mincho font's glyphs: a gothic font that draws a character with
  // another code point's glyph than the Mincho one gets a map line a font too.
  const int pathInMap = !options.metricsOnly && needsPerFontMap(run.mincho);
  const int perFontMap = options.perFontMap || pathInMap;
  const int gothicPathInMap = run.hasGothic && needsPerFontMap(run.gothic);
  const int gothicOtherGlyphs = run.hasGothic && characters.gothicPoints != characters.glyphPoints;
  const int gothicPerFontMap = options.perFontMap || gothicPathInMap || gothicOtherGlyphs;
  if (!findProgram("pltotf")) {
    failRun(run, "pltotf is not installed (apt-get install texlive-binaries)");
  }
  run.step = "finding the TeX tree";
  PathBuffer root;
  const int rootIsHome = options.root == nullptr;
  if (!rootIsHome) {
    std::snprintf(root, sizeof root, "%s", options.root);
  } else {
    askKpsewhich(run, "-var-value", "TEXMFHOME", root, 0, 0);
    if (root[0] == '\0') failRun(run, "kpsewhich gives no TEXMFHOME: name ROOT");
    checkTexmfHome(run, root);
  }
  checkSignal(run);

  // The new files go into temporary folders beside the kit's folders, one run at a time.
  makeFolders(run, root);
  lockRoot(run, root);
  const int folderCount = options.metricsOnly ? kMetricsOnlyFolders : kFolderCount;
  for (int folder = 0; folder < folderCount; ++folder) {
    joinPath(run, run.folders[folder], root, kFolderPaths[folder]);
    // A kit folder that is a link to a folder elsewhere is replaced there, and the link stays.
    struct stat info;
    PathBuffer target;
    if (lstat(run.folders[folder], &info) == 0 && S_ISLNK(info.st_mode) &&
        realpath(run.folders[folder], target) != nullptr) {
      std::snprintf(run.folders[folder], sizeof run.folders[folder], "%s", target);
    }
    stageFolder(run, static_cast<Folder>(folder));
  }
  run.step = "writing the metrics";
  writeMetrics(run, options.designSize, run.hasGothic);
  run.step = "writing the package";
  writePackage(run, run.hasGothic);
  run.step = "writing the encodings and the map";
  if (!options.metricsOnly) writeEncodingsAndMap(run, characters, perFontMap, gothicPerFontMap);
  checkSignal(run);

  // The new folders take the place of the old ones, which wait beside them until TeX finds
  // the kit and the report is written: a run that ends with status 1 leaves the kit it found.
  // ORDER FOLDERS: metrics and encodings before the map that refers to them, and before the
  // package's cfg that names the gothic metrics.
  run.step = "putting the kit in place";
  for (int folder = 0; folder < folderCount; ++folder)
    placeFolder(run, static_cast<Folder>(folder));
  if (rootIsHome) {
    run.step = "asking kpsewhich for the kit";
    checkFound(run, root, kTfmFolder, "kanjiaa.tfm", nullptr);
    checkFound(run, root, kTexFolder, kPackageName, nullptr);
    checkFound(run, root, kTexFolder, kPackageConfigName, nullptr);
    if (run.hasGothic) checkFound(run, root, kTfmFolder, "kanjigaa.tfm", nullptr);
    if (!options.metricsOnly) {
      checkFound(run, root, kMapFolder, kMapName, nullptr);
      char sfdName[32];
      std::snprintf(sfdName, sizeof sfdName, "%s.sfd", kSubfontName);
      checkFound(run, root, kSfdFolder, sfdName, nullptr);
      checkFound(run, root, kCMapFolder, kCMapNames[static_cast<int>(CMapKind::Codes)],
                 "-format=cmap");
    }
  }

  run.step = "writing the report";
  DesignSizeText size;
  formatDesignSize(options.designSize, size);
  std::fprintf(console, "kanjikit: kanjiaa.tfm ... kanjihe.tfm (design size %spt) in %s\n", size,
               run.folders[kTfmFolder]);
  if (run.hasGothic) {
    std::fprintf(console, "kanjikit: kanjigaa.tfm ... kanjighe.tfm (bold, in %s) in %s\n",
                 run.gothic.name, run.folders[kTfmFolder]);
  }
  std::fprintf(console, "kanjikit: %s, %s (bold kanji %s) in %s\n", kPackageName,
               kPackageConfigName, run.hasGothic ? "in gothic" : "stay Mincho",
               run.folders[kTexFolder]);
  if (!options.metricsOnly) {
    std::fprintf(console, "kanjikit: kanjiaa.enc ... kanjihe.enc in %s\n", run.folders[kEncFolder]);
    std::fprintf(console, "kanjikit: %s.sfd in %s\n", kSubfontName, run.folders[kSfdFolder]);
    std::fprintf(console, "kanjikit: %s, %s, %s in %s\n", kCMapNames[0], kCMapNames[1],
                 kCMapNames[2], run.folders[kCMapFolder]);
    if (perFontMap) {
      std::fprintf(console, "kanjikit: %s (%d fonts in %s) in %s\n", kMapName, kFontBlocks,
                   run.mincho.name, run.folders[kMapFolder]);
    } else {
      std::fprintf(console, "kanjikit: %s (the %d fonts as one font of %s) in %s\n", kMapName,
                   kFontBlocks, run.mincho.name, run.folders[kMapFolder]);
    }
    if (run.hasGothic) {
      std::fprintf(console, "kanjikit: %s also holds the %d gothic fonts %s %s\n", kMapName,
                   kFontBlocks, gothicPerFontMap ? "in" : "as one font of", run.gothic.name);
    } else if (!options.noGothic) {
      std::fprintf(console,
                   "kanjikit: kpsewhich does not find %s (IPA Gothic: apt-get install "
                   "fonts-ipafont-gothic), or name a font with --gothic FILE: bold kanji stay "
                   "Mincho\n",
                   kDefaultGothicFont);
    }
    reportFont(console, run.mincho, characters.count, perFontMap, pathInMap);
    if (run.hasGothic) {
      reportFont(console, run.gothic, characters.gothicCount, gothicPerFontMap, gothicPathInMap);
      if (gothicOtherGlyphs && !options.perFontMap && !gothicPathInMap) {
        std::fprintf(console,
                     "kanjikit: %s draws some characters with the glyphs of other code points "
                     "than %s does: the gothic fonts have a map line a font\n",
                     run.gothic.name, run.mincho.name);
      }
    }
  }
  // A tree with an ls-R file is searched through it alone, which knows nothing of new files.
  PathBuffer lsR;
  joinPath(run, lsR, root, "ls-R");
  if (access(lsR, F_OK) == 0) {
    std::fprintf(console, "kanjikit: %s has an ls-R file: run mktexlsr %s\n", root, root);
  }
  if (std::fflush(console) != 0 || std::ferror(console)) {
    failRun(run, "cannot write the report on standard output: %s; the kit stays as it was",
            std::strerror(errno));
  }
  checkSignal(run);

  // The run has succeeded: the old folders go.
  for (int folder = 0; folder < folderCount; ++folder) {
    if (run.aside[folder][0] != '\0') removeFolder(run.aside[folder], 2);
    run.aside[folder][0] = '\0';
    run.placed[folder] = 0;
  }
  return 0;
}

}  // namespace fontkit
