// write_check.h - the stream checks that end a program after a failed write.
#ifndef PLATFORM_WRITE_CHECK_H_
#define PLATFORM_WRITE_CHECK_H_

#include <cstdio>

#include "platform/program_end.h"

namespace platform {

/// Ends the program with status 1, without a message, if a write to `out` has failed.
inline void checkWrites(std::FILE* out) {
  // Tested after every few bytes of output: the unlocked test keeps that cheap.
  if (ferror_unlocked(out)) endProgram(1);
}

/// Flushes the console before testing it: redirected, stdout holds a whole transcript in its
/// buffer, and a full disk or /dev/full would only show when the program ends.
inline void checkConsole(std::FILE* console) {
  std::fflush(console);
  if (std::ferror(console)) endProgram(1);
}

/// Closes `out`; ends the program with status 1 if the last writes or the close fail.
inline void closeOutput(std::FILE* out) {
  if (std::fclose(out) != 0) endProgram(1);
}

}  // namespace platform

#endif  // PLATFORM_WRITE_CHECK_H_
