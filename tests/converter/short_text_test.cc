// short_text_test.cc - texts and short texts copied into a stream's buffer.
#include "converter/short_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/memory_stream.h"

namespace {

constexpr kotobun::ShortText shortText(std::string_view text) {
  kotobun::ShortText result{};
  kotobun::append(result, text);
  return result;
}

// What a stream wrote, read back from the start of its file.
std::string readBack(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::getc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST(PutText, TextsOfEverySizeAtEveryFillOfTheBuffer) {
  // A buffer of 64 bytes, filled to every level first: the texts land in the buffer, meet its
  // end or go out through fwrite, and the file holds exactly them in order.
  const std::string_view texts[] = {"", "a", "\\kk{\\kdac}{28}", "\\kk{\\kghe}{126}",
                                    "a text longer than the whole buffer of this stream, 80 b."};
  for (std::size_t fill = 0; fill <= 64; ++fill) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    char buffer[64];
    ASSERT_EQ(0, std::setvbuf(out, buffer, _IOFBF, sizeof buffer));
    std::string expected(fill, '.');
    std::fwrite(expected.data(), 1, fill, out);
    for (const std::string_view text : texts) {
      platform::putText(out, text);
      expected += text;
      if (text.size() < 16) {
        kotobun::putText(out, shortText(text));
        expected += text;
      }
    }
    std::putc('!', out);
    expected += '!';
    EXPECT_FALSE(std::ferror(out));
    EXPECT_EQ(expected, readBack(out)) << "after " << fill << " bytes";
    std::fclose(out);
  }
}

TEST(PutText, InMemoryStreamsGrow) {
  // The converter's tests write into memory: the stream's buffer grows as the texts come.
  testsupport::MemoryStream memory;
  std::FILE* out = memory.stream;
  std::string expected;
  for (int i = 0; i < 10000; ++i) {
    kotobun::putText(out, shortText("\\kk{\\kghe}{126}"));
    platform::putText(out, "\\hh\\ee");
    expected += "\\kk{\\kghe}{126}\\hh\\ee";
  }
  EXPECT_TRUE(expected == memory.text());
}

TEST(PutText, FailedWriteShowsInTheErrorState) {
  std::FILE* out = std::fopen("/dev/full", "w");
  ASSERT_NE(out, nullptr);
  char buffer[32];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  for (int i = 0; i < 4 && !std::ferror(out); ++i) kotobun::putText(out, shortText("\\hh\\eeee"));
  EXPECT_TRUE(std::ferror(out));
  std::fclose(out);
}

TEST(PutText, UnbufferedAndLineBufferedStreams) {
  for (const int mode : {_IONBF, _IOLBF}) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    char buffer[64];
    std::setvbuf(out, mode == _IONBF ? nullptr : buffer, mode, sizeof buffer);
    platform::putText(out, "one\n");
    kotobun::putText(out, shortText("two\n"));
    EXPECT_EQ("one\ntwo\n", readBack(out)) << "mode " << mode;
    std::fclose(out);
  }
}

}  // namespace
