// program_end_fuzz.cc - the fuzz targets' definition of platform::endProgram: it throws.
// Linked into every fuzz target and replay program, it keeps platform/program_end.cc (std::exit)
// out of their link.
#include "tests/fuzz/program_end_fuzz.h"

#include "platform/program_end.h"

namespace platform {

void endProgram(int status) { throw fuzz::ProgramEnd{status}; }

}  // namespace platform
