// driver.h - the converter's run: settings, files, the four phases and the transcript.
#ifndef KOTOBUN_DRIVER_H_
#define KOTOBUN_DRIVER_H_

#include <cstdio>

#include "converter/converter.h"

namespace kotobun {

/// Opens `fileName` with ".kjx", ".jpn" or ".jap", the first that opens, as a DOS text file;
/// stores the extension in `options.extension` and prints it on `console`. Ends the program with
/// status 1 and "File not found" if none opens.
std::FILE* openJapaneseFile(ConversionOptions& options, std::FILE* console);

/// Runs the whole conversion for the command line `argv`, reading prompt answers from `in` and
/// writing the transcript to `console`. Returns the exit status: 0 after a complete run, 1 when
/// bad input cut the document short. Ends the program with status 1 on every fatal error.
int runConverter(int argc, const char* const* argv, std::FILE* in, std::FILE* console);

}  // namespace kotobun

#endif  // KOTOBUN_DRIVER_H_
