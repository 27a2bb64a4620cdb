// driver.cc - the converter's run: settings, files, the four phases and the transcript.
#include "converter/driver.h"

#include <cstring>

#include "converter/font_scan.h"
#include "converter/kanji_output.h"
#include "converter/settings.h"
#include "platform/program_end.h"
#include "platform/text_file.h"
#include "platform/write_check.h"

namespace kotobun {
namespace {

// ORDER EXTENSIONS: the first that opens is used.
constexpr const char* kExtensions[] = {".kjx", ".jpn", ".jap"};

// The base name and an extension of at most four characters.
using NameBuffer = char[kMaxFileName + kMaxExtension + 1];

void formName(NameBuffer& name, const ConversionOptions& options, const char* extension) {
  std::snprintf(name, sizeof name, "%s%s", options.fileName, extension);
}

}  // namespace

std::FILE* openJapaneseFile(ConversionOptions& options, std::FILE* console) {
  for (const char* extension : kExtensions) {
    std::snprintf(options.extension, sizeof options.extension, "%s", extension);
    NameBuffer name;
    formName(name, options, extension);
    // Both passes read the whole file: large blocks keep the read calls few.
    std::FILE* in = platform::openTextFile(name, "r", platform::kLargeTextBuffer);
    if (in != nullptr) {
      std::fputs(extension, console);
      return in;
    }
  }
  std::fputs(".\n\aFile not found...\n", console);
  platform::endProgram(1);
}

int runConverter(int argc, const char* const* argv, std::FILE* in, std::FILE* console) {
  std::fputs("\nJapanese to [La]TeX Conversion Program.\nVersion 2.00\n\n", console);
  platform::checkConsole(console);

  ConversionOptions options;
  fillSettings(argc, argv, options, in, console);

  std::fprintf(console, "\nOpening Japanese file %s", options.fileName);
  std::FILE* japanese = openJapaneseFile(options, console);
  std::fputs(".\n", console);

  std::fprintf(console, "Creating %s file %s.tex", options.latex ? "LaTeX" : "TeX",
               options.fileName);
  platform::checkConsole(console);
  NameBuffer texName;
  formName(texName, options, ".tex");
  // About ten bytes go out for every byte read: large blocks keep the write calls few.
  std::FILE* tex = platform::openTextFile(texName, "w", platform::kLargeTextBuffer);
  if (tex == nullptr) platform::endProgram(1);
  std::fputs(".\n\n", console);
  platform::checkConsole(console);

  std::fputs("Scanning Japanese file for fonts\n", console);
  FontUsageTable fonts;
  scanFonts(japanese, fonts, options, console);
  // A pipe or other stream that cannot go back would give the conversion pass nothing to read,
  // and a document without its body would look complete.
  if (std::fseek(japanese, 0, SEEK_SET) != 0) platform::endProgram(1);
  std::fputs(".\n", console);

  std::fprintf(console, "Writing %s header\n", options.latex ? "LaTeX" : "TeX");
  writeHeader(tex, fonts, options.latex);
  std::fputs(".\n", console);

  std::fputs("Converting Japanese file\n", console);
  // A document cut short by bad input is not a complete run, though every phase still runs.
  const int cutShort = runConversionPass(japanese, tex, options, console);
  std::fputs(".\n\n", console);
  platform::checkConsole(console);

  std::fprintf(console, "Closing Japanese file %s%s", options.fileName, options.extension);
  if (std::fclose(japanese) != 0) platform::endProgram(1);
  std::fputs(".\n", console);

  std::fprintf(console, "Closing %s file %s.tex", options.latex ? "LaTeX" : "TeX",
               options.fileName);
  platform::closeOutput(tex);
  std::fputs(".\n\n", console);
  platform::checkConsole(console);

  std::fputs("Japanese to [La]TeX conversion completed.\n\n", console);
  platform::checkConsole(console);
  return cutShort;
}

}  // namespace kotobun
