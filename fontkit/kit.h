// kit.h - kanjikit's run: the command line, then the metrics, encodings and map of the family.
#ifndef FONTKIT_KIT_H_
#define FONTKIT_KIT_H_

#include <cstdio>

namespace fontkit {

/// The font used when --font names none, found by kpathsea as dvipdfmx finds it.
constexpr const char* kDefaultFont = "ipam.ttf";

/// The gothic font of bold kanji when neither --gothic nor --no-gothic is given, if kpathsea
/// finds it (IPA Gothic).
constexpr const char* kDefaultGothicFont = "ipag.ttf";

/// The design size when --design-size gives none, in thousandths of a point.
constexpr int kDefaultDesignSize = 7000;

/// What the command line asks for.
struct KitOptions {
  const char* fontFile;    // --font FILE, or nullptr for kDefaultFont
  const char* root;        // ROOT, or nullptr for the user's TEXMFHOME
  int designSize;          // thousandths of a point
  int metricsOnly;         // write the TFM files alone, without encodings, map or font
  int perFontMap;          // the map gives each font a line of its own, not all one font
  const char* gothicFile;  // --gothic FILE, or nullptr for kDefaultGothicFont if found
  int noGothic;            // --no-gothic: no gothic family, bold kanji stay Mincho
};

enum class Request { Run, Help, Version, BadUsage };

/// Reads `argv` into `options` (filling in the defaults first). On a bad argument prints a
/// message and the usage line on `err` and returns Request::BadUsage.
Request parseArguments(int argc, char** argv, KitOptions& options, std::FILE* err);

/// Runs kanjikit with the command line `argv`: writes the family's TFM files and the LaTeX
/// package kotobun.sty with its kotobun.cfg, and unless --metrics-only the encodings, subfont
/// definition, CMaps and map, and the gothic family's TFM files and map lines when a gothic font
/// is at hand, into the TeX tree under its
/// lock, puts them in place of the old ones as whole folders, and reports on `console`. Returns 0
/// after a complete run. Ends the program with status 1 and a one-line message on stderr on bad
/// input (bad arguments, a font that cannot be read or is damaged, a TEXMFHOME that is not one
/// folder, a tree that cannot be written or is locked, a missing pltotf or kpsewhich), on a failure
/// after writing (a cut TFM file, a kit kpsewhich does not find, a report that cannot be written),
/// on running out of memory and on SIGINT, SIGTERM or SIGHUP: the kit stays as it was, and no file
/// of the run is left in the tree. Catches those signals and ignores SIGPIPE.
int runKit(int argc, char** argv, std::FILE* console);

}  // namespace fontkit

#endif  // FONTKIT_KIT_H_
