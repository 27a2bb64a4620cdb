// kit.cc - kanjikit's run: the command line, then the metrics, encodings and map of the family.
#include "fontkit/kit.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fontkit/cmap.h"
#include "fontkit/command.h"
#include "fontkit/encoding.h"
#include "fontkit/family.h"
#include "fontkit/metrics.h"

namespace fontkit {
namespace {

constexpr const char* kUsage =
    "usage: kanjikit [--font FILE] [--design-size PT] [--metrics-only] [ROOT]\n";
constexpr const char* kVersion = "kanjikit 1.0\n";
constexpr const char* kHelp =
    "Writes the kanji fonts kanjiaa ... kanjihe for TeX and dvipdfmx into the TeX tree ROOT\n"
    "(default: your TEXMFHOME, from kpsewhich -var-value TEXMFHOME):\n"
    "  ROOT/fonts/tfm/public/kotobun/kanjiXX.tfm     metrics, 128 square glyphs a font\n"
    "  ROOT/fonts/enc/dvips/kotobun/kanjiXX.enc      glyph names, from iconv's EUC-JP\n"
    "  ROOT/fonts/map/dvipdfmx/kotobun/kanjikit.map  the fonts in the TrueType font\n"
    "Then: latex doc && dvipdfmx -f kanjikit.map doc\n"
    "  --font FILE        TrueType or OpenType font with a Unicode cmap (default ipam.ttf,\n"
    "                     IPA Mincho, found through kpathsea)\n"
    "  --design-size PT   design size of the fonts in points (default 7.0)\n"
    "  --metrics-only     write the TFM files alone; needs no font\n"
    "  --help, --version  print this help or the version and stop\n";

// ORDER FOLDERS: the three folders of the tree, the map last so that it appears last.
enum Folder { kTfmFolder, kEncFolder, kMapFolder, kFolderCount };
constexpr const char* kFolderPaths[kFolderCount] = {
    "fonts/tfm/public/kotobun", "fonts/enc/dvips/kotobun", "fonts/map/dvipdfmx/kotobun"};
constexpr const char* kMapName = "kanjikit.map";

// The state of one run: where it writes, and the temporary folders that hold the files until
// they are all complete.
struct KitRun {
  PathBuffer folders[kFolderCount];  // ROOT/fonts/..., the folders the files end in
  PathBuffer staging[kFolderCount];  // FOLDER/.kanjikit-XXXXXX while the run writes, else ""
  PathBuffer fontPath;               // the font file read for its cmap
  PathBuffer fontName;               // the font as the map names it
};

// Removes a temporary folder and what the run wrote into it.
void removeStaging(PathBuffer& staging) {
  if (staging[0] == '\0') return;
  if (DIR* dir = opendir(staging)) {
    while (const dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      PathBuffer path;
      const int n = std::snprintf(path, sizeof path, "%s/%s", staging, entry->d_name);
      if (n > 0 && static_cast<std::size_t>(n) < sizeof path) unlink(path);
    }
    closedir(dir);
  }
  rmdir(staging);
  staging[0] = '\0';
}

// Prints "kanjikit: " and the message, `format` filled with `args` as by printf, on stderr,
// removes every temporary folder and ends the program with status 1.
template <typename... Args>
[[noreturn]] void failRun(KitRun& run, const char* format, Args... args) {
  std::fputs("kanjikit: ", stderr);
  if constexpr (sizeof...(args) == 0) {
    std::fputs(format, stderr);
  } else {
    std::fprintf(stderr, format, args...);
  }
  std::fputc('\n', stderr);
  for (PathBuffer& staging : run.staging) removeStaging(staging);
  std::exit(1);
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

// The name of block `block`'s file with `extension`, as "kanjiac.tfm".
void blockFileName(char (&name)[16], int block, const char* extension) {
  std::snprintf(name, sizeof name, "kanji%c%c%s", blockLetter1(block), blockLetter2(block),
                extension);
}

// Runs kpsewhich with `argument` (and `option` before it, if not nullptr); leaves its first
// line of output in `line`, empty when it found nothing. Returns 0 if kpsewhich is not
// installed; then ends the run too, unless `optional` is 1.
int askKpsewhich(KitRun& run, const char* option, const char* argument, PathBuffer& line,
                 int optional) {
  char program[] = "kpsewhich";
  char* argv[] = {program, const_cast<char*>(option), const_cast<char*>(argument), nullptr};
  if (option == nullptr) {
    argv[1] = const_cast<char*>(argument);
    argv[2] = nullptr;
  }
  if (runForLine(argv, line) == kCouldNotStart) {
    if (optional) return 0;
    failRun(run,
            "kpsewhich is not installed (apt-get install texlive-binaries); "
            "name ROOT and the font file on the command line");
  }
  return 1;
}

// Finds the font and the name that the map gives it: the default font by kpathsea, as
// dvipdfmx will find it; another font by the path given, named by its bare name when kpathsea
// finds that same file, else by its full path.
void locateFont(KitRun& run, const KitOptions& options) {
  if (options.fontFile == nullptr) {
    askKpsewhich(run, nullptr, kDefaultFont, run.fontPath, 0);
    if (run.fontPath[0] == '\0') {
      failRun(run,
              "kpsewhich does not find the font %s (IPA Mincho: apt-get install "
              "fonts-ipafont-mincho), or name a font with --font FILE",
              kDefaultFont);
    }
    std::snprintf(run.fontName, sizeof run.fontName, "%s", kDefaultFont);
    return;
  }
  struct stat given;
  if (stat(options.fontFile, &given) != 0) {
    failRun(run, "cannot read the font %s: %s", options.fontFile, std::strerror(errno));
  }
  if (S_ISDIR(given.st_mode)) failRun(run, "the font %s is a folder", options.fontFile);
  if (realpath(options.fontFile, run.fontPath) == nullptr) {
    failRun(run, "cannot read the font %s: %s", options.fontFile, std::strerror(errno));
  }
  const char* slash = std::strrchr(run.fontPath, '/');
  const char* bareName = slash == nullptr ? run.fontPath : slash + 1;
  // kpsewhich also looks in the current folder ("./NAME"), where dvipdfmx, started elsewhere,
  // would not: only a match inside the trees counts.
  PathBuffer found;
  found[0] = '\0';
  askKpsewhich(run, nullptr, bareName, found, 1);
  struct stat foundInfo;
  const int sameFile = found[0] == '/' && stat(found, &foundInfo) == 0 &&
                       foundInfo.st_dev == given.st_dev && foundInfo.st_ino == given.st_ino;
  std::snprintf(run.fontName, sizeof run.fontName, "%s", sameFile ? bareName : run.fontPath);
  // A map line is words separated by blanks: a name with a blank or a quote cannot stand in it.
  if (std::strpbrk(run.fontName, " \t\"<") != nullptr) {
    failRun(run,
            "the font's name holds a blank, a quote or a '<', which a map line cannot hold: %s",
            run.fontName);
  }
}

// Reads the font's cmap and counts the positions it lacks a glyph for: those without a
// character, and the characters the font does not hold.
void countGlyphs(KitRun& run, const CodePoints& codePoints, int& noCharacter, int& noGlyph) {
  std::FILE* font = std::fopen(run.fontPath, "rb");
  if (font == nullptr) {
    failRun(run, "cannot read the font %s: %s", run.fontPath, std::strerror(errno));
  }
  FontCmap cmap;
  const CmapResult result = readCmap(font, cmap);
  std::fclose(font);
  if (result != CmapResult::Read) {
    failRun(run, "the font %s %s", run.fontPath, cmapResultText(result));
  }
  // dvipdfmx embeds a font under an 8-bit encoding from TrueType outlines only: with CFF ones
  // (Noto CJK, most .otf files) it stops at "sfnt: table not found" or finds no font.
  if (!cmap.trueTypeOutlines) {
    failRun(run,
            "the font %s has no TrueType outlines (glyf table), and dvipdfmx cannot embed "
            "CFF outlines under these fonts' encodings: take a TrueType font (.ttf)",
            run.fontPath);
  }
  noCharacter = 0;
  noGlyph = 0;
  for (int bitmap = 1; bitmap <= kPositions; ++bitmap) {
    const std::uint32_t codePoint = codePoints[static_cast<std::size_t>(bitmap)];
    if (codePoint == 0) {
      ++noCharacter;
    } else if (glyphIndex(cmap, codePoint) == 0) {
      ++noGlyph;
    }
  }
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

void writeMetrics(KitRun& run, int designSize) {
  for (int block = 0; block < kFontBlocks; ++block) {
    char plName[16];
    char tfmName[16];
    blockFileName(plName, block, ".pl");
    blockFileName(tfmName, block, ".tfm");
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
  }
}

void writeEncodingsAndMap(KitRun& run, const CodePoints& codePoints) {
  for (int block = 0; block < kFontBlocks; ++block) {
    char name[16];
    blockFileName(name, block, ".enc");
    PathBuffer path;
    std::FILE* out = createStaged(run, kEncFolder, name, path);
    closeStaged(run, out, writeEncoding(out, block, codePoints), path);
  }
  PathBuffer path;
  std::FILE* out = createStaged(run, kMapFolder, kMapName, path);
  std::fprintf(out, "%% %s: the kanji fonts kanjiaa to kanjihe in %s, for dvipdfmx\n", kMapName,
               run.fontName);
  int written = !std::ferror(out);
  for (int block = 0; block < kFontBlocks && written; ++block) {
    written = writeMapLine(out, block, run.fontName);
  }
  closeStaged(run, out, written, path);
}

// Moves the files of a temporary folder into their folder, replacing older ones.
void publish(KitRun& run, Folder folder, const char* extension) {
  for (int block = 0; block < kFontBlocks; ++block) {
    char name[16];
    if (extension != nullptr) {
      blockFileName(name, block, extension);
    } else if (block == 0) {
      std::snprintf(name, sizeof name, "%s", kMapName);
    } else {
      break;
    }
    PathBuffer from;
    PathBuffer to;
    joinPath(run, from, run.staging[folder], name);
    joinPath(run, to, run.folders[folder], name);
    if (std::rename(from, to) != 0) {
      failRun(run, "cannot move %s to %s: %s", from, to, std::strerror(errno));
    }
  }
  removeStaging(run.staging[folder]);
}

}  // namespace

Request parseArguments(int argc, char** argv, KitOptions& options, std::FILE* err) {
  options = {nullptr, nullptr, kDefaultDesignSize, 0};
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0) return Request::Help;
    if (std::strcmp(arg, "--version") == 0) return Request::Version;
    if (std::strcmp(arg, "--metrics-only") == 0) {
      options.metricsOnly = 1;
    } else if (std::strcmp(arg, "--font") == 0 || std::strcmp(arg, "--design-size") == 0) {
      if (i + 1 == argc || argv[i + 1][0] == '\0') {
        std::fprintf(err, "kanjikit: %s needs a value\n%s", arg, kUsage);
        return Request::BadUsage;
      }
      const char* value = argv[++i];
      if (arg[2] == 'f') {
        options.fontFile = value;
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
  for (PathBuffer& staging : run.staging) staging[0] = '\0';

  // Everything that can fail without writing comes first: the font, iconv, the tools, the root.
  static CodePoints codePoints;
  int noCharacter = 0;
  int noGlyph = 0;
  if (!options.metricsOnly) {
    locateFont(run, options);
    if (!fillCodePoints(codePoints)) failRun(run, "iconv cannot convert from EUC-JP");
    countGlyphs(run, codePoints, noCharacter, noGlyph);
  }
  if (!findProgram("pltotf")) {
    failRun(run, "pltotf is not installed (apt-get install texlive-binaries)");
  }
  PathBuffer root;
  if (options.root != nullptr) {
    std::snprintf(root, sizeof root, "%s", options.root);
  } else {
    askKpsewhich(run, "-var-value", "TEXMFHOME", root, 0);
    if (root[0] == '\0') failRun(run, "kpsewhich gives no TEXMFHOME: name ROOT");
  }

  const int folderCount = options.metricsOnly ? 1 : kFolderCount;
  for (int folder = 0; folder < folderCount; ++folder) {
    joinPath(run, run.folders[folder], root, kFolderPaths[folder]);
    makeFolders(run, run.folders[folder]);
    joinPath(run, run.staging[folder], run.folders[folder], ".kanjikit-XXXXXX");
    if (mkdtemp(run.staging[folder]) == nullptr) {
      const int error = errno;
      run.staging[folder][0] = '\0';
      failRun(run, "cannot write into %s: %s", run.folders[folder], std::strerror(error));
    }
  }
  writeMetrics(run, options.designSize);
  if (!options.metricsOnly) writeEncodingsAndMap(run, codePoints);
  // ORDER FOLDERS: metrics and encodings before the map that refers to them.
  publish(run, kTfmFolder, ".tfm");
  if (!options.metricsOnly) {
    publish(run, kEncFolder, ".enc");
    publish(run, kMapFolder, nullptr);
  }

  DesignSizeText size;
  formatDesignSize(options.designSize, size);
  std::fprintf(console, "kanjikit: kanjiaa.tfm ... kanjihe.tfm (design size %spt) in %s\n", size,
               run.folders[kTfmFolder]);
  if (!options.metricsOnly) {
    std::fprintf(console, "kanjikit: kanjiaa.enc ... kanjihe.enc in %s\n", run.folders[kEncFolder]);
    std::fprintf(console, "kanjikit: %s (%d fonts in %s) in %s\n", kMapName, kFontBlocks,
                 run.fontName, run.folders[kMapFolder]);
    std::fprintf(console,
                 "kanjikit: %s lacks a glyph for %d of the %d positions: %d hold no character, "
                 "and it lacks %d characters\n",
                 run.fontName, noCharacter + noGlyph, kPositions, noCharacter, noGlyph);
  }
  // A tree with an ls-R file is searched through it alone, which knows nothing of new files.
  PathBuffer lsR;
  joinPath(run, lsR, root, "ls-R");
  if (access(lsR, F_OK) == 0) {
    std::fprintf(console, "kanjikit: %s has an ls-R file: run mktexlsr %s\n", root, root);
  }
  if (std::fflush(console) != 0 || std::ferror(console)) return 1;
  return 0;
}

}  // namespace fontkit
