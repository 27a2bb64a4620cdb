// settings.h - the converter's settings: defaults, keywords, command line, dialogue and echo.
#ifndef KOTOBUN_SETTINGS_H_
#define KOTOBUN_SETTINGS_H_

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "converter/converter.h"

namespace kotobun {

/// The field of ConversionOptions that a keyword sets; Euc sets the input encoding.
enum class Setting { Space, Percent, Euc, Extended, Latex, FontSize };

struct Keyword {
  std::string_view word;  // upper case
  Setting setting;
  int value;
};

// ORDER KEYWORDS: directives take the first keyword that is a prefix of the option, so every
// keyword stands before its own prefixes ("1095" before "1", "1.0" before "1"). The command line
// takes exact matches, where the order does not matter. "UTF8" is no keyword's prefix and has none.
constexpr Keyword kKeywords[] = {
    {"EXTRASPACE", Setting::Space, 1},  {"EXTRA", Setting::Space, 1},
    {"SPACE", Setting::Space, 1},       {"NOEXTRASPACE", Setting::Space, 0},
    {"NOEXTRA", Setting::Space, 0},     {"NOSPACE", Setting::Space, 0},
    {"COMMENT", Setting::Percent, 1},   {"PERCENT", Setting::Percent, 1},
    {"EOL", Setting::Percent, 1},       {"NOCOMMENT", Setting::Percent, 0},
    {"NOPERCENT", Setting::Percent, 0}, {"NOEOL", Setting::Percent, 0},
    {"EUC", Setting::Euc, 1},           {"MSKANJI", Setting::Euc, 0},
    {"SHIFTJIS", Setting::Euc, 0},      {"UTF8", Setting::Euc, kUtf8},
    {"EXTENDED", Setting::Extended, 1}, {"STANDARD", Setting::Extended, 0},
    {"LATEX", Setting::Latex, 1},       {"MUTEX", Setting::Latex, 0},
    {"TEX", Setting::Latex, 0},         {"1000", Setting::FontSize, 1},
    {"1095", Setting::FontSize, 2},     {"1200", Setting::FontSize, 3},
    {"1440", Setting::FontSize, 4},     {"1728", Setting::FontSize, 5},
    {"2074", Setting::FontSize, 6},     {"2488", Setting::FontSize, 7},
    {"0.0", Setting::FontSize, 1},      {"0.5", Setting::FontSize, 2},
    {"1.0", Setting::FontSize, 3},      {"2.0", Setting::FontSize, 4},
    {"3.0", Setting::FontSize, 5},      {"4.0", Setting::FontSize, 6},
    {"5.0", Setting::FontSize, 7},      {"0", Setting::FontSize, 1},
    {"1", Setting::FontSize, 3},        {"2", Setting::FontSize, 4},
    {"3", Setting::FontSize, 5},        {"4", Setting::FontSize, 6},
    {"5", Setting::FontSize, 7},
};

constexpr std::size_t kMaxArgument = 12;  // characters of one command-line argument

/// Sets the field that `keyword` names to its value.
void applyKeyword(const Keyword& keyword, ConversionOptions& options);

/// The settings of a command-line start: file "japanese", Space, Added %, LaTeX, EUC, Extended,
/// size 4 (1440).
ConversionOptions defaultOptions();

/// Fills `options` from the command line (argc > 1) or the prompt dialogue on `in` and `console`
/// (argc == 1), then prints the settings echo to `console`. Ends the program with status 1 on an
/// invalid parameter, an overlong name, the end of input at a prompt or a failed write.
void fillSettings(int argc, const char* const* argv, ConversionOptions& options, std::FILE* in,
                  std::FILE* console);

/// Parses the arguments after the program name over the defaults; later options override earlier
/// ones. Ends the program with status 1 and its message on an invalid parameter.
void parseCommandLine(int argc, const char* const* argv, ConversionOptions& options,
                      std::FILE* console);

/// Asks for the file name and every setting on `console`, reading whole lines from `in`. Ends the
/// program with status 1 on the end of input, an answer of two or more characters, an overlong
/// name or a failed write.
void runDialogue(std::FILE* in, std::FILE* console, ConversionOptions& options);

/// Writes the one-line settings echo, "File=..." to "Font Size=...." and a line end, to `out`.
/// Ends the program with status 1 if the write fails.
void writeSettingsEcho(std::FILE* out, const ConversionOptions& options);

/// Removes the first `n` characters of the terminated `text` in place (all of it if shorter).
void dropLeading(char* text, std::size_t n);

}  // namespace kotobun

#endif  // KOTOBUN_SETTINGS_H_
