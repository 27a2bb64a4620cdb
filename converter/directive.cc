// directive.cc - option directive lines: "%KOTOBUN /option ..." comment lines.
#include "converter/directive.h"

#include <cstring>
#include <string_view>

#include "converter/settings.h"
#include "platform/write_check.h"

namespace kotobun {
namespace {

constexpr std::string_view kDirectiveNames[] = {"KOTOBUN", "KOTOJIN", "KOTOHAN"};
constexpr std::size_t kDirectiveNameLength = 7;

// toupper in the "C" locale, the one kotobun runs in: ASCII letters only. Written out rather than
// called, as every comment line is parsed (hot path: see GlyphSets in kanji_output.cc).
constexpr char asciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void dropSpaces(char* text) {
  std::size_t n = 0;
  while (text[n] == ' ') ++n;
  dropLeading(text, n);
}

int startsWith(const char* text, std::string_view word) {
  return std::strncmp(text, word.data(), word.size()) == 0;
}

// ORDER KEYWORDS: the first keyword that the text begins with wins.
const Keyword* findPrefix(const char* text) {
  for (const Keyword& keyword : kKeywords) {
    if (startsWith(text, keyword.word)) return &keyword;
  }
  return nullptr;
}

}  // namespace

void parseDirective(char (&commentText)[kMaxComment + 2], ConversionOptions& options,
                    int outputEnabled, std::FILE* out) {
  char* text = commentText;
  dropLeading(text, 1);
  for (char* p = text; *p != '\0'; ++p) {
    *p = asciiUpper(*p);
  }
  // " %" ends the option list: the '%' is neither a switch nor a keyword, so the loop stops at it.
  const std::size_t length = std::strlen(text);
  if (length + 3 > sizeof commentText) return;  // cannot happen for a comment of 254 bytes
  std::memcpy(text + length, " %", 3);
  dropSpaces(text);
  int isDirective = 0;
  for (std::string_view name : kDirectiveNames) isDirective |= startsWith(text, name);
  if (!isDirective) return;
  dropLeading(text, kDirectiveNameLength);
  do {
    dropSpaces(text);
    if (text[0] != '/' && text[0] != '-') {
      std::strcpy(text, "%");
    } else {
      dropLeading(text, 1);
      const Keyword* keyword = findPrefix(text);
      if (keyword == nullptr) {
        std::strcpy(text, "%");
      } else {
        dropLeading(text, keyword->word.size());
        applyKeyword(*keyword, options);
      }
    }
    if (outputEnabled && std::strcmp(text, "%") != 0) {
      std::fputc('%', out);
      platform::checkWrites(out);
      writeSettingsEcho(out, options);
    }
  } while (std::strlen(text) != 1);
}

}  // namespace kotobun
