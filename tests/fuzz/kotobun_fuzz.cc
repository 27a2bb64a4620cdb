// kotobun_fuzz.cc - fuzz entry point: the font scan, the header and the conversion pass.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "converter/font_scan.h"
#include "converter/kanji_output.h"
#include "converter/settings.h"
#include "tests/fuzz/program_end_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the settings, the rest is the input text.
  const int bits = data[0];
  kotobun::ConversionOptions options = kotobun::defaultOptions();
  options.space = bits & 1;
  options.percent = (bits >> 1) & 1;
  options.latex = (bits >> 2) & 1;
  options.euc = (bits >> 3) & 1;
  options.extended = (bits >> 4) & 1;
  options.fontSize = 1 + (bits >> 5) % 7;
  std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data + 1), size - 1, "r");
  if (size == 1) in = fmemopen(nullptr, 1, "r");
  char* text = nullptr;
  std::size_t textSize = 0;
  std::FILE* out = open_memstream(&text, &textSize);
  char* console = nullptr;
  std::size_t consoleSize = 0;
  std::FILE* log = open_memstream(&console, &consoleSize);

  try {
    kotobun::FontUsageTable fonts;
    kotobun::scanFonts(in, fonts, options, log);
    std::rewind(in);
    kotobun::writeHeader(out, fonts, options.latex);
    kotobun::runConversionPass(in, out, options, log);
  } catch (const fuzz::ProgramEnd& end) {
    if (end.status != 1) __builtin_trap();  // a comment line too long is the only fatal end here
  }

  std::fclose(in);
  std::fclose(out);
  std::fclose(log);
  std::free(text);
  std::free(console);
  return 0;
}
