// settings_check.h - the converter's settings as the fuzz targets check them: valid values and
// well-formed settings echoes.
#ifndef TESTS_FUZZ_SETTINGS_CHECK_H_
#define TESTS_FUZZ_SETTINGS_CHECK_H_

#include <cstring>
#include <string_view>

#include "converter/converter.h"
#include "tests/fuzz/fuzz_support.h"

namespace fuzz {

/// The settings byte of a fuzz input: one bit per switch, the top three bits the font size.
inline kotobun::ConversionOptions optionsFromByte(kotobun::ConversionOptions options, int bits) {
  options.space = bits & 1;
  options.percent = (bits >> 1) & 1;
  options.latex = (bits >> 2) & 1;
  options.euc = (bits >> 3) & 1;
  options.extended = (bits >> 4) & 1;
  options.fontSize = 1 + (bits >> 5) % 7;
  return options;
}

/// Every flag 0 or 1, the encoding one of the three, the font size 1 to 7, both names terminated
/// within their buffers.
inline bool areValid(const kotobun::ConversionOptions& options) {
  const int flags[] = {options.space, options.percent, options.latex, options.extended};
  for (int flag : flags) {
    if (flag != 0 && flag != 1) return false;
  }
  return (options.euc == kotobun::kShiftJis || options.euc == kotobun::kEuc ||
          options.euc == kotobun::kUtf8) &&
         options.fontSize >= 1 && options.fontSize <= kotobun::kFontSizes &&
         std::memchr(options.fileName, '\0', sizeof options.fileName) != nullptr &&
         std::memchr(options.extension, '\0', sizeof options.extension) != nullptr;
}

/// Whether the six values of `a` and `b` agree.
inline bool sameValues(const kotobun::ConversionOptions& a, const kotobun::ConversionOptions& b) {
  return a.space == b.space && a.percent == b.percent && a.latex == b.latex && a.euc == b.euc &&
         a.extended == b.extended && a.fontSize == b.fontSize;
}

/// How many of the six values differ between `a` and `b`.
inline int changedValues(const kotobun::ConversionOptions& a, const kotobun::ConversionOptions& b) {
  return (a.space != b.space) + (a.percent != b.percent) + (a.latex != b.latex) + (a.euc != b.euc) +
         (a.extended != b.extended) + (a.fontSize != b.fontSize);
}

/// Takes one settings echo line for the file `fileName` from the front of `text` and sets the
/// six values of `shown` from it; false if no well-formed line stands there.
inline bool takeEcho(std::string_view& text, std::string_view fileName,
                     kotobun::ConversionOptions& shown) {
  struct Field {
    std::string_view on, off;
    int kotobun::ConversionOptions::*value;
  };
  constexpr Field kFields[] = {
      {"  Space", "  No Space", &kotobun::ConversionOptions::space},
      {"  Added %", "  No Added %", &kotobun::ConversionOptions::percent},
      {"  LaTeX", "  TeX", &kotobun::ConversionOptions::latex},
      {"  EUC", "  MS-kanji", &kotobun::ConversionOptions::euc},
      {"  Extended", "  Standard", &kotobun::ConversionOptions::extended},
  };
  if (!consume(text, "File=") || !consume(text, fileName)) return false;
  for (const Field& field : kFields) {
    // The encoding has a third value.
    if (field.value == &kotobun::ConversionOptions::euc && consume(text, "  UTF-8")) {
      shown.euc = kotobun::kUtf8;
    } else if (consume(text, field.on)) {
      shown.*field.value = 1;
    } else if (consume(text, field.off)) {
      shown.*field.value = 0;
    } else {
      return false;
    }
  }
  if (!consume(text, "  Font Size=")) return false;
  const int magnification = takeNumber(text);
  shown.fontSize = 0;
  for (int size = 1; size <= kotobun::kFontSizes; ++size) {
    if (kotobun::kMagnifications[static_cast<std::size_t>(size)] == magnification) {
      shown.fontSize = size;
    }
  }
  return shown.fontSize != 0 && consume(text, ".\n");
}

}  // namespace fuzz

#endif  // TESTS_FUZZ_SETTINGS_CHECK_H_
