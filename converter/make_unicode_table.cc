// make_unicode_table.cc - a build step: asks glibc's iconv(3) for the JIS X 0208 place of every
// Unicode character and writes them as the constexpr tables of unicode_table.h.
//
// A place is EUC-JP's two-byte code where EUC-JP has one, else CP932's when that lies in rows 1
// to 84 (the variants that Windows and most input methods type: U+FF5E for 1-33, U+2225 for 1-34,
// U+FF0D for 1-61, and the signs of row 13). Places beyond the fonts' last bitmap (84-05 and
// 84-06 of the 1990 edition) count as none. Half-width katakana take the places of their
// full-width forms, which glibc's transliteration of the C.UTF-8 locale gives.
#include <iconv.h>

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "converter/reader.h"
#include "converter/unicode.h"

namespace {

using kotobun::kHalfWidthFirst;
using kotobun::kHalfWidthLast;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "make_unicode_table: %s\n", what);
  std::exit(1);
}

// iconv_open's failure is (iconv_t)-1.
bool failed(iconv_t cd) { return reinterpret_cast<std::intptr_t>(cd) == -1; }

iconv_t openFromUnicode(const char* encoding) {
  const iconv_t cd = iconv_open(encoding, "UTF-32LE");
  if (failed(cd)) fail("iconv cannot convert to EUC-JP or CP932");
  return cd;
}

// The bytes of `codePoint` in the encoding of `cd`; 0 bytes if it has none.
int encode(iconv_t cd, char32_t codePoint, unsigned char (&bytes)[16]) {
  char in[4];
  for (int i = 0; i < 4; ++i) in[i] = static_cast<char>((codePoint >> (8 * i)) & 0xFF);
  char* inPtr = in;
  std::size_t inLeft = sizeof in;
  char* outPtr = reinterpret_cast<char*>(bytes);
  std::size_t outLeft = sizeof bytes;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  if (done == static_cast<std::size_t>(-1) || inLeft != 0) return 0;
  // Close a shift state (ISO-2022-JP returns to ASCII).
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  return static_cast<int>(sizeof bytes - outLeft);
}

int eucPlace(iconv_t euc, char32_t codePoint) {
  unsigned char bytes[16];
  if (encode(euc, codePoint, bytes) != 2) return 0;
  if (!kotobun::isEucLead(bytes[0]) || !kotobun::isEucTrail(bytes[1])) return 0;
  const int bitmap = kotobun::eucBitmap(bytes[0], bytes[1]);
  return bitmap <= kotobun::kLastBitmap ? bitmap : 0;
}

int cp932Place(iconv_t cp932, char32_t codePoint) {
  unsigned char bytes[16];
  if (encode(cp932, codePoint, bytes) != 2) return 0;
  if (!kotobun::isSjisLead(bytes[0]) || !kotobun::isSjisTrail(bytes[1])) return 0;
  const int bitmap = kotobun::sjisBitmap(bytes[0], bytes[1]);
  return bitmap <= kotobun::kLastBitmap ? bitmap : 0;
}

// The full-width form of a half-width katakana by glibc's transliteration: ISO-2022-JP has no
// half-width kana, so iconv sets the full-width one in JIS X 0208, which is read back.
char32_t fullWidthForm(iconv_t toJis, iconv_t fromJis, char32_t codePoint) {
  unsigned char jis[16];
  const int size = encode(toJis, codePoint, jis);
  if (size == 0) return 0;
  char* inPtr = reinterpret_cast<char*>(jis);
  std::size_t inLeft = static_cast<std::size_t>(size);
  unsigned char wide[16];
  char* outPtr = reinterpret_cast<char*>(wide);
  std::size_t outLeft = sizeof wide;
  iconv(fromJis, nullptr, nullptr, nullptr, nullptr);
  if (iconv(fromJis, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
      sizeof wide - outLeft != 4) {
    return 0;
  }
  char32_t result = 0;
  for (int i = 3; i >= 0; --i) result = result << 8 | static_cast<char32_t>(wide[i]);
  return result == '?' ? 0 : result;
}

struct Tables {
  std::array<int, 0x10000> place;  // entry of every code point below U+10000
  std::array<std::array<int, 2>, kHalfWidthLast - kHalfWidthFirst + 1> marked;  // voiced, semi
};

void fillPlaces(Tables& tables) {
  const iconv_t euc = openFromUnicode("EUC-JP");
  const iconv_t cp932 = openFromUnicode("CP932");
  for (char32_t c = 0x80; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    int bitmap = eucPlace(euc, c);
    if (bitmap == 0) bitmap = cp932Place(cp932, c);
    tables.place[c] = bitmap;
  }
  iconv_close(euc);
  iconv_close(cp932);
}

int placeOf(const Tables& tables, char32_t codePoint) {
  return codePoint < 0x10000 ? tables.place[codePoint] : 0;
}

// Half-width katakana and their marks. The voiced mark joins a kana of the k, s, t and h rows
// (U+FF76 to U+FF84, U+FF8A to U+FF8E) and u; the semi-voiced mark those of the h row. Unicode
// sets the voiced form of a full-width kana right after it and the semi-voiced two after (ka ga,
// ha ba pa), except for vu, U+30F4. A mark alone, or after a kana it does not join, takes the place
// of its spacing form, U+309B or U+309C; so do the combining marks U+3099 and U+309A.
void fillHalfWidth(Tables& tables) {
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) {
    fail("the C.UTF-8 locale is missing; its transliteration gives full-width katakana");
  }
  const iconv_t toJis = iconv_open("ISO-2022-JP//TRANSLIT", "UTF-32LE");
  const iconv_t fromJis = iconv_open("UTF-32LE", "ISO-2022-JP");
  if (failed(toJis) || failed(fromJis)) {
    fail("iconv cannot convert to ISO-2022-JP or back");
  }
  constexpr char32_t kVoiced = 0xFF9E, kSemiVoiced = 0xFF9F, kU = 0xFF73, kVu = 0x30F4;
  for (char32_t c = kHalfWidthFirst; c <= kHalfWidthLast; ++c) {
    if (c == kVoiced || c == kSemiVoiced) continue;
    const char32_t wide = fullWidthForm(toJis, fromJis, c);
    const int bitmap = placeOf(tables, wide);
    if (wide == 0 || bitmap == 0) fail("a half-width katakana has no full-width place");
    tables.place[c] = bitmap;
    auto& marked = tables.marked[c - kHalfWidthFirst];
    const bool hRow = c >= 0xFF8A && c <= 0xFF8E;
    if ((c >= 0xFF76 && c <= 0xFF84) || hRow) marked[0] = placeOf(tables, wide + 1);
    if (c == kU) marked[0] = placeOf(tables, kVu);
    if (hRow) marked[1] = placeOf(tables, wide + 2);
    if (marked[0] != 0 || marked[1] != 0) tables.place[c] |= kotobun::kTakesMark;
  }
  iconv_close(toJis);
  iconv_close(fromJis);
  tables.place[kVoiced] = tables.place[0x3099] = placeOf(tables, 0x309B);
  tables.place[kSemiVoiced] = tables.place[0x309A] = placeOf(tables, 0x309C);
  if (tables.place[kVoiced] == 0 || tables.place[kSemiVoiced] == 0) fail("no place for the marks");
}

// Pages of 256 code points; page 0 of the output is the empty one that all empty pages share.
void writeHeader(const Tables& tables, std::FILE* out) {
  std::fputs(
      "// unicode_table.h - made at build time by make_unicode_table from glibc's iconv.\n"
      "#include <cstdint>\n\nnamespace kotobun {\n\n",
      out);
  int pageIndex[256] = {};
  int pages = 1;
  for (std::size_t page = 0; page < 256; ++page) {
    for (std::size_t low = 0; low < 256; ++low) {
      if (tables.place[page * 256 + low] != 0) {
        pageIndex[page] = pages++;
        break;
      }
    }
  }
  std::fputs("/// The page of every 256 code points below U+10000 in kUnicodePlaces.\n", out);
  std::fputs("constexpr std::uint8_t kUnicodePages[256] = {", out);
  for (std::size_t page = 0; page < 256; ++page) {
    std::fprintf(out, "%s%d,", page % 16 == 0 ? "\n    " : " ", pageIndex[page]);
  }
  std::fputs("\n};\n\n", out);
  std::fprintf(out,
               "/// Entries by page and low byte: a bitmap number, with kTakesMark for a "
               "half-width kana\n/// that a mark may join; 0 for none.\n"
               "constexpr std::uint16_t kUnicodePlaces[%d][256] = {\n    {},",
               pages);
  for (std::size_t page = 0; page < 256; ++page) {
    if (pageIndex[page] == 0) continue;
    std::fprintf(out, "\n    {  // U+%02zX00", page);
    for (std::size_t low = 0; low < 256; ++low) {
      std::fprintf(out, "%s%d,", low % 16 == 0 ? "\n        " : " ",
                   tables.place[page * 256 + low]);
    }
    std::fputs("\n    },", out);
  }
  std::fputs("\n};\n\n", out);
  std::fputs(
      "/// Voiced and semi-voiced forms of the half-width katakana from U+FF61, 0 for none.\n"
      "constexpr std::uint16_t kHalfWidthMarked[][2] = {",
      out);
  for (const auto& marked : tables.marked)
    std::fprintf(out, "\n    {%d, %d},", marked[0], marked[1]);
  std::fputs("\n};\n\n}  // namespace kotobun\n", out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) fail("usage: make_unicode_table OUTPUT");
  static Tables tables{};
  fillPlaces(tables);
  fillHalfWidth(tables);
  // Written under a temporary name and renamed, so that a failed run leaves no header behind.
  char temporary[4096];
  std::snprintf(temporary, sizeof temporary, "%s.part", argv[1]);
  std::FILE* out = std::fopen(temporary, "w");
  if (out == nullptr) fail(std::strerror(errno));
  writeHeader(tables, out);
  if (std::ferror(out) != 0 || std::fclose(out) != 0) fail("cannot write the header");
  if (std::rename(temporary, argv[1]) != 0) fail(std::strerror(errno));
  return 0;
}
