// metrics.cc - the metrics of the kanji fonts: property lists for pltotf, at a design size.
#include "fontkit/metrics.h"

#include <algorithm>
#include <cstdlib>

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

int isWholeTfm(std::FILE* tfm, int milliPoints) {
  // 24 bytes of lengths (lf lh bc ec nw nh nd ni nl nk ne np, 16 bits each), then the header,
  // whose second word is the design size in points as a fix_word (2^20 a point).
  unsigned char start[32];
  if (std::fseek(tfm, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(tfm);
  if (size < static_cast<long>(sizeof start) || std::fseek(tfm, 0, SEEK_SET) != 0 ||
      std::fread(start, 1, sizeof start, tfm) != sizeof start) {
    return 0;
  }
  long lengths[12];
  for (std::size_t i = 0; i < 12; ++i) lengths[i] = start[2 * i] << 8 | start[2 * i + 1];
  const long words = lengths[0];
  const long bc = lengths[2];
  const long ec = lengths[3];
  long sum = 6 + lengths[1] + (ec - bc + 1);
  for (std::size_t i = 4; i < 12; ++i) sum += lengths[i];
  if (words * 4 != size || sum != words || bc != 0 || ec != kGlyphs - 1 || lengths[1] < 2) {
    return 0;
  }
  const long designSize = static_cast<long>(start[28]) << 24 | static_cast<long>(start[29]) << 16 |
                          static_cast<long>(start[30]) << 8 | start[31];
  const long expected = (static_cast<long>(milliPoints) << 20) / 1000;
  // pltotf rounds the decimal design size to a fix_word: within a thousandth of a point.
  return std::labs(designSize - expected) <= (1L << 20) / 1000;
}

}  // namespace fontkit
