// command.h - runs other programs (pltotf, kpsewhich) without a shell and waits for them.
#ifndef FONTKIT_COMMAND_H_
#define FONTKIT_COMMAND_H_

namespace fontkit {

/// Room for a path or for the line a program prints.
using PathBuffer = char[4096];

constexpr int kCouldNotStart = -1;  // runProgram's status when the program did not start

/// Returns 1 if `program` names an executable file in one of the folders of PATH.
int findProgram(const char* program);

/// Runs `argv` (argv[0] looked up in PATH; the list ends with nullptr) with standard input and
/// output on /dev/null and waits. Returns its exit status, 128 + the signal if one ended it, or
/// kCouldNotStart.
int runProgram(char* const argv[]);

/// Like runProgram, but keeps the first line the program prints on standard output, without
/// its line end, in `line` (empty if it printed none; cut at the buffer's end). With `skipPrefix`
/// (not nullptr) it keeps the first line that does not start with it.
int runForLine(char* const argv[], PathBuffer& line, const char* skipPrefix);

}  // namespace fontkit

#endif  // FONTKIT_COMMAND_H_
