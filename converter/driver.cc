// driver.cc - the converter's run: settings, files, the four phases and the transcript.
#include "converter/driver.h"

#include <cerrno>
#include <cstring>
#include <new>

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

// The console of the run, for the message when memory runs out; set by runConverter.
std::FILE* memoryConsole = stdout;

// Every allocation of the run that fails comes here, however deep in the passes; it may come in
// the middle of a progress line.
[[noreturn]] void endOutOfMemory() {
  std::fputs(".\n\aNot enough memory...\n", memoryConsole);
  platform::endProgram(1);
}

// Ends the program if the Japanese file, as `before` saw it, is the file `texName` names: creating
// the TeX file would empty the text before it is read.
void refuseSameFile(const platform::FileStatus& before, const NameBuffer& texName,
                    const ConversionOptions& options, std::FILE* console) {
  platform::FileStatus tex{};
  if (platform::statFileName(texName, tex) != 0) return;  // not there yet: nothing to lose
  if (tex.device != before.device || tex.inode != before.inode) return;
  std::fprintf(console, ".\n\aJapanese file %s%s and TeX file %s are the same file...\n",
               options.fileName, options.extension, texName);
  platform::endProgram(1);
}

// Ends the program if the Japanese file changed after `before` was taken: the scan and the
// conversion pass then read different texts, and the header would not declare the body's fonts.
void refuseChangedFile(std::FILE* japanese, const platform::FileStatus& before,
                       const ConversionOptions& options, std::FILE* console) {
  platform::FileStatus after{};
  if (platform::statTextFile(japanese, after) == 0 && after.size == before.size &&
      after.modified == before.modified && after.changed == before.changed) {
    return;
  }
  std::fprintf(console, ".\n\aJapanese file %s%s changed during the conversion...\n",
               options.fileName, options.extension);
  platform::endProgram(1);
}

}  // namespace

std::FILE* openJapaneseFile(ConversionOptions& options, std::FILE* console) {
  for (const char* extension : kExtensions) {
    std::snprintf(options.extension, sizeof options.extension, "%s", extension);
    NameBuffer name;
    formName(name, options, extension);
    // Both passes read the whole file: large blocks keep the read calls few.
    std::FILE* in = platform::openTextFile(name, "r", platform::kLargeTextBuffer);
    if (in == nullptr && errno == ENOMEM) endOutOfMemory();
    if (in == nullptr) continue;  // not there, or a folder: the next extension may be
    std::fputs(extension, console);
    // Only a regular file can be read twice and ends: a pipe gives its text to the scan alone,
    // a device such as /dev/zero may never end.
    platform::FileStatus status{};
    if (platform::statTextFile(in, status) != 0 || !status.regular) {
      std::fprintf(console, ".\n\aJapanese file %s is not a regular file...\n", name);
      platform::endProgram(1);
    }
    return in;
  }
  std::fputs(".\n\aFile not found...\n", console);
  platform::endProgram(1);
}

int runConverter(int argc, const char* const* argv, std::FILE* in, std::FILE* console) {
  memoryConsole = console;
  std::set_new_handler(endOutOfMemory);
  std::fputs("\nJapanese to [La]TeX Conversion Program.\nVersion 2.00\n\n", console);
  platform::checkConsole(console);

  ConversionOptions options;
  fillSettings(argc, argv, options, in, console);

  std::fprintf(console, "\nOpening Japanese file %s", options.fileName);
  std::FILE* japanese = openJapaneseFile(options, console);
  // Taken before the scan; any write to the file from here on changes one of its marks.
  platform::FileStatus before{};
  if (platform::statTextFile(japanese, before) != 0) platform::endProgram(1);
  std::fputs(".\n", console);

  std::fprintf(console, "Creating %s file %s.tex", options.latex ? "LaTeX" : "TeX",
               options.fileName);
  platform::checkConsole(console);
  NameBuffer texName;
  formName(texName, options, ".tex");
  refuseSameFile(before, texName, options, console);
  // About ten bytes go out for every byte read: large blocks keep the write calls few.
  std::FILE* tex = platform::openTextFile(texName, "w", platform::kLargeTextBuffer);
  if (tex == nullptr && errno == ENOMEM) endOutOfMemory();
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
  refuseChangedFile(japanese, before, options, console);
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
