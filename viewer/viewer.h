// viewer.h - skimpo: finds the strings that a PostScript file shows and prints them.
#ifndef SKIMPO_VIEWER_H_
#define SKIMPO_VIEWER_H_

#include <cstddef>
#include <cstdio>

namespace skimpo {

/// Size of each of the two heap buffers; they keep at most kBufferBytes - 1 bytes and a terminator.
constexpr std::size_t kBufferBytes = 10000;
using TextBuffer = char[kBufferBytes];

/// The viewer's two buffers, both from the heap.
struct ViewerBuffers {
  TextBuffer* literal;  // the string being collected, low 7 bits of each byte, terminated
  TextBuffer* word;     // the word read after a string, bytes as they are in the file
};

/// Gets the string buffer and then the word buffer from the heap into `buffers`. Ends the program
/// with "malloc failed" on `console` and status 2 if either cannot be had.
void obtainBuffers(ViewerBuffers& buffers, std::FILE* console);

/// Frees both buffers and sets the fields to nullptr.
void releaseBuffers(ViewerBuffers& buffers);

/// Reads `in` to its end and writes to `out`, one a line, every string that is followed by
/// decimal numbers and the operator fjt, SB or TX. Returns at the end of the file, also when it
/// is met inside a word (the word read so far is still compared); a read error looks like the end.
/// Ends the program with status 1 if a write to `out` fails.
void showStrings(std::FILE* in, std::FILE* out, ViewerBuffers& buffers);

/// Runs the whole viewer for the command line `argv`, printing on `console`. Returns the exit
/// status: 0 after a normal end or the usage line, 1 if the file cannot be opened or read or a
/// write to `console` fails. Ends the program with status 2 if the buffers cannot be had.
int runViewer(int argc, const char* const* argv, std::FILE* console);

}  // namespace skimpo

#endif  // SKIMPO_VIEWER_H_
