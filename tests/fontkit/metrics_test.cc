// metrics_test.cc - design sizes as text, and the property lists that pltotf reads.
#include "fontkit/metrics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(Metrics, DesignSizesRead) {
  struct Case {
    const char* text;
    int milliPoints;  // 0: refused
  } cases[] = {
      {"7", 7000},     {"7.25", 7250}, {"6.944", 6944},    {"10.0", 10000}, {"1", 1000},
      {"100", 100000}, {"7.", 7000},   {"0.999", 0},       {"100.001", 0},  {"7.2500", 0},
      {"", 0},         {".5", 0},      {"7pt", 0},         {"-7", 0},       {"1000", 0},
      {"7,5", 0},      {" 7", 0},      {"99999999999", 0},
  };
  for (const Case& c : cases) {
    int milli = -1;
    EXPECT_EQ(c.milliPoints != 0, fontkit::parseDesignSize(c.text, milli)) << c.text;
    EXPECT_EQ(c.milliPoints != 0 ? c.milliPoints : -1, milli) << c.text;
  }
}

TEST(Metrics, DesignSizesWritten) {
  struct Case {
    int milliPoints;
    const char* text;
  } cases[] = {{10000, "10.0"}, {7000, "7.0"},     {7250, "7.25"}, {6944, "6.944"},
               {1000, "1.0"},   {100000, "100.0"}, {7050, "7.05"}};
  for (const Case& c : cases) {
    fontkit::DesignSizeText text;
    fontkit::formatDesignSize(c.milliPoints, text);
    EXPECT_STREQ(c.text, text);
  }
}

std::string propertyList(int block, int milliPoints) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  EXPECT_EQ(1, fontkit::writePropertyList(out, block, milliPoints));
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(Metrics, PropertyListHas128SquareGlyphs) {
  const std::string text = propertyList(0, 10000);
  EXPECT_EQ(0u, text.find("(FAMILY KANJIAA)\n(DESIGNSIZE R 10.0)\n"));
  EXPECT_EQ(128, count(text, "(CHARACTER O "));
  EXPECT_EQ(128, count(text, "   (CHARWD R 1.0)\n   (CHARHT R 0.88)\n   (CHARDP R 0.12)\n"));
  EXPECT_EQ(1, count(text, "(CHARACTER O 0\n"));
  EXPECT_EQ(1, count(text, "(CHARACTER O 177\n"));  // code 127, in octal
  EXPECT_EQ(1, count(text, "   (QUAD R 1.0)\n"));
  EXPECT_EQ(0u, propertyList(60, 7250).find("(FAMILY KANJIHE)\n(DESIGNSIZE R 7.25)\n"));
}

// A TFM file of codes 0 to `ec` with one width, height, depth and italic correction each, its
// length in its first word: `words`, 140 for codes 0 to 127.
std::string tfmBytes(long words, int ec, long designSize) {
  std::string bytes;
  auto put16 = [&bytes](long value) {
    bytes += static_cast<char>(value >> 8 & 0xFF);
    bytes += static_cast<char>(value & 0xFF);
  };
  for (long value : {words, 2L, 0L, static_cast<long>(ec), 1L, 1L, 1L, 1L, 0L, 0L, 0L, 0L}) {
    put16(value);
  }
  put16(0);
  put16(0);  // checksum
  put16(designSize >> 16);
  put16(designSize & 0xFFFF);
  bytes.resize(static_cast<std::size_t>(words) * 4, '\0');
  return bytes;
}

TEST(Metrics, WholeTfmFilesKnown) {
  const long sevenPoints = 7L << 20;
  std::string cut = tfmBytes(140, 127, sevenPoints);
  cut.resize(512);
  struct Case {
    std::string bytes;
    int milliPoints;
    int whole;
  } cases[] = {
      {tfmBytes(140, 127, sevenPoints), 7000, 1},
      {tfmBytes(140, 127, (6944L << 20) / 1000 + 1), 6944, 1},  // pltotf's rounding
      {cut, 7000, 0},                                           // a write that failed at 512
      {"", 7000, 0},                                            // pltotf could not write at all
      {tfmBytes(140, 127, sevenPoints) + "more", 7000, 0},
      {tfmBytes(139, 126, sevenPoints), 7000, 0},  // codes 0 to 126
      {tfmBytes(140, 127, sevenPoints), 7250, 0},  // another design size
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    // fmemopen takes no empty buffer: one byte is as far from a TFM file.
    std::string bytes = cases[i].bytes.empty() ? std::string(1, '\0') : cases[i].bytes;
    std::FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
    EXPECT_EQ(cases[i].whole, fontkit::isWholeTfm(in, cases[i].milliPoints)) << "case " << i;
    std::fclose(in);
  }
}

}  // namespace
