// directive.h - option directive lines: "%KOTOBUN /option ..." comment lines.
#ifndef KOTOBUN_DIRECTIVE_H_
#define KOTOBUN_DIRECTIVE_H_

#include <cstdio>

#include "converter/converter.h"

namespace kotobun {

/// Parses the comment line in `commentText` (from its '%', without the line end, at most 254
/// bytes) as a possible option directive and applies its options to `options`. Rewrites the text
/// in place (it may grow by one byte); the caller empties it afterwards. When `outputEnabled`,
/// writes "%" and the settings echo to `out` for every recognised option. Ends the program with
/// status 1 if such a write fails.
void parseDirective(char (&commentText)[kMaxComment + 2], ConversionOptions& options,
                    int outputEnabled, std::FILE* out);

}  // namespace kotobun

#endif  // KOTOBUN_DIRECTIVE_H_
