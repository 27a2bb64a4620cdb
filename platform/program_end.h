// program_end.h - the one way a program ends early: after a fatal error, with its status.
#ifndef PLATFORM_PROGRAM_END_H_
#define PLATFORM_PROGRAM_END_H_

namespace platform {

/// Ends the program with `status` (1 after a fatal error, 2 when memory runs out), closing the
/// text streams still open as std::exit does. Every fatal end of the three programs comes here,
/// and only here, so that a build that runs the code over and over (the fuzz targets) can link
/// its own definition in place of program_end.cc.
[[noreturn]] void endProgram(int status);

}  // namespace platform

#endif  // PLATFORM_PROGRAM_END_H_
