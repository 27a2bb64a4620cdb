// kotobun_fuzz.cc - fuzz entry point: the font scan, the header and the conversion pass over DOS
// text files, with the invariants that every conversion keeps whatever its input.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "converter/font_scan.h"
#include "converter/kanji_output.h"
#include "converter/reader.h"
#include "converter/settings.h"
#include "platform/text_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/program_end_fuzz.h"
#include "tests/fuzz/settings_check.h"

namespace {

using fuzz::check;
using fuzz::consume;
using fuzz::takeNumber;

// What one conversion left behind.
struct Conversion {
  std::string tex;      // the .tex file's bytes as written
  std::string console;  // the messages of the scan and the conversion pass
  int latex;            // the choice after the scan, which decides the header
  int ended;            // a fatal end stopped the run
};

// Runs the three phases as the driver does, on text streams with buffers of `bufferSize` bytes.
Conversion convert(const std::string& inputName, const std::string& texName,
                   kotobun::ConversionOptions options, std::size_t bufferSize) {
  Conversion result{};
  std::FILE* in = platform::openTextFile(inputName.c_str(), "r", bufferSize);
  std::FILE* out = platform::openTextFile(texName.c_str(), "w", bufferSize);
  char* console = nullptr;
  std::size_t consoleSize = 0;
  std::FILE* log = open_memstream(&console, &consoleSize);
  check(in != nullptr && out != nullptr && log != nullptr, "the streams open");
  try {
    kotobun::FontUsageTable fonts;
    kotobun::scanFonts(in, fonts, options, log);
    result.latex = options.latex;
    std::rewind(in);
    kotobun::writeHeader(out, fonts, options.latex);
    kotobun::runConversionPass(in, out, options, log);
  } catch (const fuzz::ProgramEnd& end) {
    check(end.status == 1, "a fatal end has status 1");
    result.ended = 1;
  }
  check(std::fclose(in) == 0, "the input closes");
  check(std::fclose(out) == 0, "the output closes");
  std::fclose(log);
  result.console = fuzz::takeMemory(console, consoleSize);
  result.tex = fuzz::readFile(texName);
  return result;
}

// Takes an upper-case hexadecimal number of `minDigits` to six digits without leading zeros
// beyond those from the front of `text`; -1 if none stands there.
int takeHex(std::string_view& text, std::size_t minDigits) {
  std::size_t n = 0;
  int value = 0;
  for (; n < text.size() && n < 6; ++n) {
    const char c = text[n];
    if (c >= '0' && c <= '9') {
      value = value * 16 + (c - '0');
    } else if (c >= 'A' && c <= 'F') {
      value = value * 16 + (c - 'A' + 10);
    } else {
      break;
    }
  }
  if (n < minDigits || (n > minDigits && text[0] == '0')) return -1;
  text.remove_prefix(n);
  return value;
}

// " in line N" with N from 1.
bool takeLine(std::string_view& text) {
  return consume(text, " in line ") && takeNumber(text) >= 1;
}

// Every message is one of the reader's own. An input error ends the scan and then the conversion
// pass at the same place, so input errors come in equal pairs; a comment too long ends the run
// in the scan, with the 253 or 254 bytes collected (from 251 in UTF-8, whose characters take up
// to four).
void checkConsole(std::string_view console, int ended, int utf8) {
  constexpr std::string_view kInputErrors[] = {
      "\aIncomplete EUC character pair..", "\aIncomplete MS-kanji character pair..",
      "\aInvalid EUC character pair..",    "\aInvalid MS-kanji character pair..",
      "\aAbnormal DOS end of line..",
  };
  std::string_view errors[2];
  int errorCount = 0;
  while (!console.empty()) {
    check(consume(console, ".\n"), "every message begins with a line end");
    if (consume(console, "Warning! The non-standard JIS '83 Bitmap ")) {
      check(kotobun::isNonStandardBitmap(takeNumber(console)), "the warning names a gap");
      check(consume(console, " encountered"), "the warning's text");
      continue;
    }
    if (consume(console, "Warning! No JIS X 0208 place for U+")) {
      check(utf8, "only UTF-8 has characters without a place");
      const int codePoint = takeHex(console, 4);
      check(codePoint >= 0x80 && codePoint <= 0x10FFFF &&
                !(codePoint >= 0xD800 && codePoint <= 0xDFFF),
            "the warning names a character beyond ASCII");
      check(takeLine(console) && consume(console, ", column ") && takeNumber(console) >= 1 &&
                consume(console, ": set as the geta mark"),
            "the geta warning's text");
      continue;
    }
    if (consume(console, "\aComment too long: ")) {
      check(ended && errorCount == 0, "a comment too long ends the scan");
      check(console.size() >= 4 && console.substr(console.size() - 4) == "...\n",
            "the comment message ends the transcript");
      const std::string_view comment = console.substr(0, console.size() - 4);
      check(comment[0] == '%' && comment.size() >= (utf8 ? 251U : 253U) && comment.size() <= 254,
            "the comment message shows the bytes collected");
      return;
    }
    const std::string_view rest = console;
    bool known = false;
    for (std::string_view message : kInputErrors) known = known || consume(console, message);
    if (!known && consume(console, "\aInvalid UTF-8 byte 0x")) {
      check(utf8 && takeHex(console, 2) >= 0x80 && takeLine(console) && consume(console, ".."),
            "the invalid UTF-8 message's text");
      known = true;
    }
    if (!known && consume(console, "\aIncomplete UTF-8 character")) {
      check(utf8 && takeLine(console) && consume(console, ".."),
            "the incomplete UTF-8 message's text");
      known = true;
    }
    if (!known) {
      check(consume(console, "\aBitmap "), "every message is the reader's");
      check(takeNumber(console) > kotobun::kLastBitmap, "the missing bitmap is past the table");
      check(consume(console, " does not exist.."), "the bitmap message's text");
    }
    check(errorCount < 2, "at most one input error in each pass");
    errors[errorCount++] = rest.substr(0, rest.size() - console.size());
  }
  check(!ended, "a fatal end has its message");
  check(errorCount == 0 || (errorCount == 2 && errors[0] == errors[1]),
        "both passes stop at the same input error");
}

// A font as a number: size (1..7) times 64 plus block (0..60), or -1.
int takeFont(std::string_view& text) {
  if (text.size() < 3 || text[0] < 'a' || text[0] > 'g' || text[1] < 'a' || text[1] > 'h' ||
      text[2] < 'a' || text[2] > 'h') {
    return -1;
  }
  const int block = (text[1] - 'a') * 8 + (text[2] - 'a');
  const int font = (text[0] - 'a' + 1) * 64 + block;
  text.remove_prefix(3);
  return block < kotobun::kFontBlocks ? font : -1;
}

// Checks the header and returns what follows it; `declared` gets the fonts it declares, each
// once and in the order of size, then block.
std::string_view checkHeader(std::string_view text, int latex, bool (&declared)[8 * 64]) {
  constexpr std::string_view kLatexMacros =
      "\\newcommand{\\kk}[2]{{#1\\symbol{#2}}}\n"
      "\\newcommand{\\hh}{\\discretionary{}{}{}}\n"
      "\\newcommand{\\ee}{\\nobreak\\hskip0pt plus.1em\\relax}\n"
      "\\newcommand{\\eee}{\\nobreak\\hskip.3em plus.1em\\relax}\n"
      "\\newcommand{\\eeee}{\\nobreak\\hskip.9em plus.1em minus.1em}\n\n";
  constexpr std::string_view kPlainMacros =
      "\\def\\kk#1#2{{#1\\char#2}}\n"
      "\\def\\hh{\\discretionary{}{}{}}\n"
      "\\def\\ee{\\nobreak\\hskip0pt plus.1em\\relax}\n"
      "\\def\\eee{\\nobreak\\hskip.3em plus.1em\\relax}\n"
      "\\def\\eeee{\\nobreak\\hskip.9em plus.1em minus.1em}\n\n";
  check(consume(text, "\\tracingstats=1\n"), "the header's first line");
  int last = -1;
  while (consume(text, latex ? "\\newfont{\\k" : "\\font\\k")) {
    const int font = takeFont(text);
    check(font > last, "each font declared once, by size and block");
    last = font;
    declared[font] = true;
    const char blockLetters[] = {static_cast<char>('a' + font % 64 / 8),
                                 static_cast<char>('a' + font % 8), '\0'};
    check(consume(text, latex ? "}{kanji" : "=kanji") && consume(text, blockLetters) &&
              consume(text, " scaled ") &&
              takeNumber(text) == kotobun::kMagnifications[static_cast<std::size_t>(font / 64)] &&
              consume(text, latex ? "}\n" : "\n"),
          "a font declaration's text");
  }
  check(consume(text, latex ? kLatexMacros : kPlainMacros), "the macros close the header");
  return text;
}

// Every glyph reference names a declared font and a code from 0 to 127 that is a bitmap of the
// table, and every declared font is named.
void checkGlyphs(std::string_view body, const bool (&declared)[8 * 64]) {
  bool named[8 * 64] = {};
  for (std::size_t at; (at = body.find("\\kk")) != std::string_view::npos;) {
    body.remove_prefix(at);
    check(consume(body, "\\kk{\\k"), "a glyph reference names a font");
    const int font = takeFont(body);
    check(font >= 0 && declared[font], "a glyph's font is declared");
    named[font] = true;
    check(consume(body, "}{"), "a glyph reference's text");
    const int code = takeNumber(body);
    const int bitmap = font % 64 * 128 + code;
    check(code >= 0 && code <= 127 && bitmap >= 1 && bitmap <= kotobun::kLastBitmap,
          "a glyph's code is a bitmap of the table");
    check(consume(body, "}"), "a glyph reference ends");
  }
  for (int font = 0; font < 8 * 64; ++font) {
    check(named[font] == declared[font], "the header declares exactly the fonts named");
  }
}

void checkConversion(const Conversion& run, std::string_view input, int utf8) {
  std::string text;
  for (std::size_t i = 0; i < run.tex.size(); ++i) {
    if (run.tex[i] == '\n') {
      check(i > 0 && run.tex[i - 1] == '\r', "every LF written is preceded by a CR");
      text.back() = '\n';
    } else {
      text += run.tex[i];
    }
  }
  checkConsole(run.console, run.ended, utf8);
  // The only fatal end that input can reach strikes in the scan, before the header.
  if (run.ended) {
    check(run.tex.empty(), "nothing is written before a fatal end in the scan");
    return;
  }
  bool declared[8 * 64] = {};
  const std::string_view body = checkHeader(text, run.latex, declared);
  // Single-byte text passes through as it stands, so input that holds \kk writes its own.
  if (input.find("\\kk") == std::string_view::npos) checkGlyphs(body, declared);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the settings, the rest is the Japanese file. Its top three bits all
  // set, which would repeat the first font size, choose UTF-8 instead of the encoding bit.
  kotobun::ConversionOptions options = fuzz::optionsFromByte(kotobun::defaultOptions(), data[0]);
  if ((data[0] >> 5) == 7) options.euc = kotobun::kUtf8;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  // UTF-8's messages can come only from a run that starts in UTF-8 or a directive that asks for it.
  std::string upper(input);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const int utf8 = options.euc == kotobun::kUtf8 || upper.find("UTF8") != std::string::npos;
  static const std::string inputName = fuzz::scratchPath(".kjx");
  static const std::string texName = fuzz::scratchPath(".tex");
  fuzz::writeFile(inputName, input);

  // First with the driver's buffers, then again with stdio's own size: the second run must not
  // differ in a byte, whatever state the first left behind and wherever the buffers end.
  const Conversion first = convert(inputName, texName, options, platform::kLargeTextBuffer);
  checkConversion(first, input, utf8);
  const Conversion second = convert(inputName, texName, options, platform::kSmallTextBuffer);
  check(second.tex == first.tex && second.console == first.console,
        "a second conversion gives the same bytes");
  return 0;
}
