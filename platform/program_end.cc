// program_end.cc - the shipped end of a program after a fatal error: std::exit.
// Alone in its file: a fuzz target that defines platform::endProgram itself keeps this one out of
// its link, as a static library only adds the members that resolve a missing symbol.
#include "platform/program_end.h"

#include <cstdlib>

namespace platform {

void endProgram(int status) { std::exit(status); }

}  // namespace platform
