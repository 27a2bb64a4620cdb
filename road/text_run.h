// text_run.h - kototext's run: the command line, the input's encoding, and the document written.
#ifndef KOTOTEXT_TEXT_RUN_H_
#define KOTOTEXT_TEXT_RUN_H_

namespace kototext {

/// Runs kototext with the command line `argv`: reads INPUT, finds out its encoding unless
/// --encoding gives it, and writes the document into OUTPUT through a temporary file in the same
/// folder that is renamed at the end. Returns 0 after a complete run (or --help, --version) and 1
/// after bad usage. Any other failure (a file that cannot be read or written, a byte that is
/// not valid in the encoding) ends the program with status 1 and one line "kototext: ..." on
/// stderr, and removes the temporary file; an interrupt removes it too.
int runKototext(int argc, char** argv);

}  // namespace kototext

#endif  // KOTOTEXT_TEXT_RUN_H_
