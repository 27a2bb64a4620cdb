// program_end_fuzz.h - how the fuzz targets survive a fatal end of the code they run.
#ifndef TESTS_FUZZ_PROGRAM_END_FUZZ_H_
#define TESTS_FUZZ_PROGRAM_END_FUZZ_H_

namespace fuzz {

/// Thrown by the fuzz targets' platform::endProgram in place of std::exit: the entry point
/// catches it, closes its own streams and goes on with the next input.
struct ProgramEnd {
  int status;
};

}  // namespace fuzz

#endif  // TESTS_FUZZ_PROGRAM_END_FUZZ_H_
