// text_file_test.cc - DOS text files and console lines.
#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

std::string scratchName(const char* tag) {
  return ::testing::TempDir() + "text_file_" + tag + "_" + std::to_string(::getpid());
}

void writeRaw(const std::string& name, const std::string& bytes) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string readRaw(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "rb");
  std::string bytes;
  for (int c; (c = std::getc(f)) != EOF;) bytes += static_cast<char>(c);
  std::fclose(f);
  return bytes;
}

std::string readAll(std::FILE* in) {
  std::string text;
  for (int c; (c = std::getc(in)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST(TextFile, ReadTranslatesLineEnds) {
  struct Case {
    std::string raw;
    std::string text;
  };
  const Case cases[] = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"a\rb\n", "a\rb\n"},    // a lone CR is an ordinary byte
      {"a\r\r\nb", "a\r\nb"},  // only the CR next to the LF belongs to the line end
      {"end\r", "end\r"},      // a CR as the last byte stays
      {"a\x1a"
       "b\r\n",
       "a"},                 // Ctrl-Z ends the file
      {"a\r\x1a\n", "a\r"},  // a CR before Ctrl-Z is not a line end
      {"", ""},
      {"\xa4\xa2\n", "\xa4\xa2\n"},  // other bytes pass untouched
  };
  const std::string name = scratchName("read");
  for (const Case& c : cases) {
    writeRaw(name, c.raw);
    std::FILE* in = platform::openTextFile(name.c_str(), "r");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(c.text, readAll(in)) << c.raw.substr(0, 20);
    EXPECT_TRUE(std::feof(in));
    EXPECT_FALSE(std::ferror(in));
    EXPECT_EQ(0, std::fclose(in));
  }
  std::remove(name.c_str());
}

TEST(TextFile, CtrlZEndsTheFileUntilRewound) {
  const std::string name = scratchName("mark");
  writeRaw(name,
           "ab\x1a"
           "cd");
  std::FILE* in = platform::openTextFile(name.c_str(), "r");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ("ab", readAll(in));
  std::clearerr(in);
  EXPECT_EQ(EOF, std::getc(in));  // still ended after clearerr
  std::rewind(in);
  EXPECT_FALSE(std::feof(in));
  EXPECT_EQ("ab", readAll(in));
  std::fclose(in);
  std::remove(name.c_str());
}

TEST(TextFile, RewindReadsTheWholeFileAgain) {
  // Larger than every buffer, with a CR LF split across a block boundary somewhere.
  std::string raw, text;
  for (int i = 0; i < 40000; ++i) {
    raw += "line\r\n";
    text += "line\n";
  }
  const std::string name = scratchName("rewind");
  writeRaw(name, raw);
  std::FILE* in = platform::openTextFile(name.c_str(), "r");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(text, readAll(in));
  std::rewind(in);
  EXPECT_EQ(text, readAll(in));
  std::fclose(in);
  std::remove(name.c_str());
}

TEST(TextFile, WriteTurnsLineEndsIntoCrLf) {
  const std::string name = scratchName("write");
  std::FILE* out = platform::openTextFile(name.c_str(), "w");
  ASSERT_NE(out, nullptr);
  // Blocks larger than every buffer: only line ends, no line end at all, and a mixture.
  const std::string lineEnds(100000, '\n');
  const std::string noLineEnd(200001, 'x');
  std::string mixedText;
  for (int i = 0; i < 30000; ++i) {
    mixedText += std::string(static_cast<std::size_t>(i % 7), 'y') + "\n";
  }
  const std::string& mixed = mixedText;
  std::fputs("a\nb\r\n", out);
  for (const std::string* block : {&lineEnds, &noLineEnd, &mixed}) {
    std::fwrite(block->data(), 1, block->size(), out);
  }
  EXPECT_FALSE(std::ferror(out));
  EXPECT_EQ(0, std::fclose(out));
  std::string expected = "a\r\nb\r\r\n";
  for (const std::string* block : {&lineEnds, &noLineEnd, &mixed}) {
    for (char c : *block) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  EXPECT_EQ(expected, readRaw(name));

  // An existing file is replaced.
  out = platform::openTextFile(name.c_str(), "w");
  std::fputs("x", out);
  std::fclose(out);
  EXPECT_EQ("x", readRaw(name));
  std::remove(name.c_str());
}

TEST(TextFile, FailedWritesShowInErrorStateAndClose) {
  std::FILE* out = platform::openTextFile("/dev/full", "w");
  ASSERT_NE(out, nullptr);
  std::string block(1 << 20, 'x');
  std::fwrite(block.data(), 1, block.size(), out);  // more than the stream buffers
  EXPECT_TRUE(std::ferror(out));
  EXPECT_NE(0, std::fclose(out));

  // A short write that stays in the buffer still fails at the close.
  out = platform::openTextFile("/dev/full", "w");
  std::fputs("short\n", out);
  EXPECT_FALSE(std::ferror(out));
  EXPECT_NE(0, std::fclose(out));
}

TEST(TextFile, OpenFailures) {
  EXPECT_EQ(nullptr, platform::openTextFile("/nonexistent/dir/file", "r"));
  EXPECT_EQ(nullptr, platform::openTextFile("/nonexistent/dir/file", "w"));
  EXPECT_EQ(nullptr, platform::openTextFile(::testing::TempDir().c_str(), "w"));
  EXPECT_EQ(nullptr, platform::openTextFile(::testing::TempDir().c_str(), "r"));  // a folder
}

TEST(ConsoleLine, LinesOfAnyLength) {
  char input[] = "ab\r\nc\n\nlast";
  std::FILE* in = fmemopen(input, sizeof input - 1, "r");
  char buf[4];
  platform::ConsoleLine line = platform::readConsoleLine(in, buf, sizeof buf);
  EXPECT_EQ(0, line.endOfInput);
  EXPECT_EQ(2u, line.length);
  EXPECT_STREQ("ab", buf);
  line = platform::readConsoleLine(in, buf, sizeof buf);
  EXPECT_STREQ("c", buf);
  line = platform::readConsoleLine(in, buf, sizeof buf);
  EXPECT_EQ(0u, line.length);
  EXPECT_EQ(0, line.endOfInput);
  line = platform::readConsoleLine(in, buf, sizeof buf);
  EXPECT_EQ(4u, line.length);  // a last line without a line end; three bytes kept
  EXPECT_STREQ("las", buf);
  line = platform::readConsoleLine(in, buf, sizeof buf);
  EXPECT_EQ(1, line.endOfInput);
  std::fclose(in);
}

TEST(ConsoleLine, OverflowShowsTheWholeLine) {
  char input[] = "abcdef\r\nnext\n";
  std::FILE* in = fmemopen(input, sizeof input - 1, "r");
  char* shown = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&shown, &size);
  char buf[4];
  platform::ConsoleLine line = platform::readConsoleLine(in, buf, sizeof buf, out, "long: ");
  EXPECT_EQ(6u, line.length);
  line = platform::readConsoleLine(in, buf, sizeof buf, out, "long: ");  // "next" overflows too
  std::fclose(out);
  EXPECT_EQ("long: abcdeflong: next", std::string(shown, size));
  std::free(shown);
  std::fclose(in);
}

}  // namespace
