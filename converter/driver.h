// driver.h - the converter's run: settings, files, the four phases and the transcript.
#ifndef KOTOBUN_DRIVER_H_
#define KOTOBUN_DRIVER_H_

#include <cstdio>

#include "converter/converter.h"

namespace kotobun {

/// Opens `fileName` with ".kjx", ".jpn" or ".jap", the first that opens, as a DOS text file;
/// stores the extension in `options.extension` and prints it on `console`. Ends the program with
/// status 1 and "File not found" if none opens (a folder does not), "is not a regular file" if
/// the first that opens is a pipe, a device or a socket, and "Not enough memory" if its buffers
/// cannot be had.
std::FILE* openJapaneseFile(ConversionOptions& options, std::FILE* console);

/// Runs the whole conversion for the command line `argv`, reading prompt answers from `in` and
/// writing the transcript to `console`. Returns the exit status: 0 after a complete run, 1 when
/// bad input cut the document short. Ends the program with status 1 on every fatal error, among
/// them a TeX file that is the Japanese file under another name (found before it is created), a
/// Japanese file that changed between the start of the scan and the end of the conversion pass,
/// and any allocation that fails (the run installs its own new-handler).
int runConverter(int argc, const char* const* argv, std::FILE* in, std::FILE* console);

}  // namespace kotobun

#endif  // KOTOBUN_DRIVER_H_
