// metrics.cc - the metrics of the kanji fonts: property lists for pltotf, at a design size.
#include "fontkit/metrics.h"

#include <algorithm>

#include "fontkit/family.h"

namespace fontkit {
namespace {

// At DESIGNUNITS 1 (pltotf's default) a unit is the design size, which is also the quad, so
// 1.0 is 1em whatever the design size.
constexpr const char* kFontDimensions =
    "(FONTDIMEN\n"
    "   (SLANT R 0.0)\n"
    "   (SPACE R 0.0)\n"
    "   (STRETCH R 0.0)\n"
    "   (SHRINK R 0.0)\n"
    "   (XHEIGHT R 0.88)\n"
    "   (QUAD R 1.0)\n"
    "   (EXTRASPACE R 0.0)\n"
    "   )\n";

constexpr const char* kGlyph =
    "(CHARACTER O %o\n"
    "   (CHARWD R 1.0)\n"
    "   (CHARHT R 0.88)\n"
    "   (CHARDP R 0.12)\n"
    "   )\n";

}  // namespace

int parseDesignSize(const char* text, int& milliPoints) {
  long whole = 0;
  int digits = 0;
  const char* p = text;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
    if (digits == 3) return 0;  // past 999: out of range anyway
    whole = whole * 10 + (*p - '0');
  }
  if (digits == 0) return 0;
  long milli = whole * 1000;
  if (*p == '.') {
    ++p;
    int scale = 100;
    for (; *p >= '0' && *p <= '9'; ++p, scale /= 10) {
      if (scale == 0) return 0;  // a fourth decimal
      milli += static_cast<long>(*p - '0') * scale;
    }
  }
  if (*p != '\0' || milli < kMinDesignSize || milli > kMaxDesignSize) return 0;
  milliPoints = static_cast<int>(milli);
  return 1;
}

void formatDesignSize(int milliPoints, DesignSizeText& text) {
  // Clamped, so that the compiler, too, sees that the text fits.
  const int size = std::clamp(milliPoints, kMinDesignSize, kMaxDesignSize);
  const int whole = size / 1000;
  const int fraction = size % 1000;
  if (fraction % 100 == 0) {
    std::snprintf(text, sizeof text, "%d.%d", whole, fraction / 100);
  } else if (fraction % 10 == 0) {
    std::snprintf(text, sizeof text, "%d.%02d", whole, fraction / 10);
  } else {
    std::snprintf(text, sizeof text, "%d.%03d", whole, fraction);
  }
}

int writePropertyList(std::FILE* out, int block, int milliPoints) {
  DesignSizeText size;
  formatDesignSize(milliPoints, size);
  std::fprintf(out, "(FAMILY KANJI%c%c)\n", blockLetter1(block) - 'a' + 'A',
               blockLetter2(block) - 'a' + 'A');
  std::fprintf(out, "(DESIGNSIZE R %s)\n", size);
  std::fputs("(COMMENT Kanji font metrics: 128 square glyphs)\n", out);
  std::fputs(kFontDimensions, out);
  for (int code = 0; code < kGlyphs; ++code) std::fprintf(out, kGlyph, code);
  return !std::ferror(out);
}

}  // namespace fontkit
