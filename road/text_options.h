// text_options.h - kototext's command line.
#ifndef KOTOTEXT_TEXT_OPTIONS_H_
#define KOTOTEXT_TEXT_OPTIONS_H_

#include <cstdio>

#include "road/latex_text.h"
#include "road/text_decoder.h"

namespace kototext {

/// What the command line asks for.
struct TextOptions {
  Encoding encoding;          // Detect unless --encoding forces one
  DocumentSettings document;  // magnification filled in from the size unless given
  const char* input;          // INPUT, "-" for standard input
  const char* output;         // OUTPUT, "-" for standard output
};

enum class Request { Run, Help, Version, BadUsage };

extern const char* const kUsage;
extern const char* const kHelp;
extern const char* const kVersion;

/// The kanji magnification that matches the Latin letters of the class's `pointSize`: the kit's
/// kanji fonts have a design size of 7pt, so 1440 (10.1pt) for 10pt and 11pt, 1728 for 12pt.
constexpr int magnificationFor(int pointSize) { return pointSize >= 12 ? 1728 : 1440; }

/// Reads `argv` into `options` (filling in the defaults first): options in GNU style, as
/// --name=VALUE or --name VALUE, then INPUT and OUTPUT. On a bad argument prints one line
/// "kototext: ..." on `err` and returns Request::BadUsage.
Request parseArguments(int argc, char** argv, TextOptions& options, std::FILE* err);

}  // namespace kototext

#endif  // KOTOTEXT_TEXT_OPTIONS_H_
