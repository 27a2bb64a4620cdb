// text_file_test.cc - DOS text files and console lines.
#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "tests/support/memory_stream.h"

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

// Where two long texts first differ, or npos: a failure then says where without printing them.
std::size_t firstDifference(const std::string& a, const std::string& b) {
  const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return ia == a.end() && ib == b.end() ? std::string::npos
                                        : static_cast<std::size_t>(ia - a.begin());
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
      {"\r", "\r"},            // even as the only byte
      {"a\r\r", "a\r\r"},      // and after another lone CR
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
  EXPECT_EQ(std::string::npos, firstDifference(text, readAll(in)));
  std::rewind(in);
  EXPECT_EQ(std::string::npos, firstDifference(text, readAll(in)));
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
  EXPECT_EQ(std::string::npos, firstDifference(expected, readRaw(name)));

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

// The translation of a whole file, byte by byte: what a text stream must deliver.
std::string translated(const std::string& raw) {
  std::string text;
  for (std::size_t i = 0; i < raw.size() && raw[i] != '\x1a'; ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  return text;
}

// Bytes that make line ends, lone CRs and plain text, from a fixed seed.
std::string mixedBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, 'x');
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    const unsigned pick = (seed >> 16) % 16;
    bytes[i] = pick < 3 ? '\r' : pick < 6 ? '\n' : static_cast<char>('a' + pick);
  }
  return bytes;
}

constexpr std::size_t kBufferSizes[] = {platform::kSmallTextBuffer, platform::kLargeTextBuffer};

TEST(TextFile, BlockBoundariesAtEveryBufferSize) {
  // Each case sets bytes around a boundary of the raw blocks, which are as large as the buffer.
  struct Case {
    const char* what;
    std::string around;  // written at the boundary, its first byte the last of a block
    int endsFile;        // the file ends with `around`
  };
  const Case cases[] = {
      {"CR LF split", "\r\n", 0},
      {"lone CR last", "\rx", 0},
      {"CR CR LF split", "\r\r\n", 0},
      {"Ctrl-Z first of a block", "a\x1a", 0},
      {"CR then Ctrl-Z", "\r\x1a", 0},
      {"CR last of the file and of a block", "\r", 1},
      {"CR last of the file, first of a block", "x\r", 1},
  };
  const std::string name = scratchName("boundary");
  for (const std::size_t bufferSize : kBufferSizes) {
    for (const Case& c : cases) {
      for (const std::size_t block : {std::size_t{1}, std::size_t{2}}) {
        std::string raw = mixedBytes(3 * bufferSize, 7);
        raw.replace(block * bufferSize - 1, c.around.size(), c.around);
        if (c.endsFile) raw.resize(block * bufferSize - 1 + c.around.size());
        writeRaw(name, raw);
        std::FILE* in = platform::openTextFile(name.c_str(), "r", bufferSize);
        ASSERT_NE(in, nullptr);
        EXPECT_EQ(std::string::npos, firstDifference(translated(raw), readAll(in)))
            << c.what << " at block " << block;
        std::rewind(in);
        EXPECT_EQ(std::string::npos, firstDifference(translated(raw), readAll(in)))
            << c.what << " after a rewind";
        EXPECT_EQ(0, std::fclose(in));
      }
    }
  }
  std::remove(name.c_str());
}

TEST(TextFile, ReadsOfEverySizeGiveTheSameText) {
  // fread larger than the buffer goes past it straight to the file, in sizes of its own.
  const std::size_t pieces[] = {1, 3, 4095, 8193, 300000, 1 << 20};
  std::string raw = mixedBytes(1500000, 11);
  raw[1400000] = '\x1a';
  const std::string name = scratchName("pieces");
  writeRaw(name, raw);
  for (const std::size_t bufferSize : kBufferSizes) {
    std::FILE* in = platform::openTextFile(name.c_str(), "r", bufferSize);
    ASSERT_NE(in, nullptr);
    std::string text;
    std::string piece(1 << 20, '\0');
    for (std::size_t i = 0;; ++i) {
      const std::size_t want = pieces[i % std::size(pieces)];
      const std::size_t got = std::fread(piece.data(), 1, want, in);
      text.append(piece, 0, got);
      if (got < want) break;
      const int c = std::getc(in);  // a byte through the buffer between the large reads
      if (c == EOF) break;
      text += static_cast<char>(c);
    }
    EXPECT_EQ(std::string::npos, firstDifference(translated(raw), text)) << "buffer " << bufferSize;
    EXPECT_TRUE(std::feof(in));
    EXPECT_FALSE(std::ferror(in));
    EXPECT_EQ(0, std::fclose(in));
  }
  std::remove(name.c_str());
}

TEST(TextFile, WritesOfEverySizeGiveTheSameFile) {
  const std::size_t pieces[] = {1, 2, 8191, 8193, 300000, 700000};
  const std::string text = mixedBytes(2000000, 5);
  std::string expected;
  for (const char c : text) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string lineEnds(700000, '\n');  // a block that doubles in size
  for (std::size_t i = 0; i < lineEnds.size(); ++i) expected += "\r\n";
  const std::string name = scratchName("wpieces");
  for (const std::size_t bufferSize : kBufferSizes) {
    std::FILE* out = platform::openTextFile(name.c_str(), "w", bufferSize);
    ASSERT_NE(out, nullptr);
    for (std::size_t at = 0, i = 0; at < text.size(); ++i) {
      const std::size_t size = std::min(pieces[i % std::size(pieces)], text.size() - at);
      if (size == 1) {
        std::putc(text[at], out);
      } else {
        std::fwrite(text.data() + at, 1, size, out);
      }
      at += size;
    }
    std::fwrite(lineEnds.data(), 1, lineEnds.size(), out);
    EXPECT_FALSE(std::ferror(out));
    EXPECT_EQ(0, std::fclose(out));
    EXPECT_EQ(std::string::npos, firstDifference(expected, readRaw(name)))
        << "buffer " << bufferSize;
  }
  std::remove(name.c_str());
}

TEST(TextFile, FailedWriteShowsOnceTheBufferIsPassedOn) {
  for (const std::size_t bufferSize : kBufferSizes) {
    const std::string fits(bufferSize - 1, 'x');
    std::FILE* out = platform::openTextFile("/dev/full", "w", bufferSize);
    ASSERT_NE(out, nullptr);
    std::fwrite(fits.data(), 1, fits.size(), out);
    EXPECT_FALSE(std::ferror(out)) << "buffer " << bufferSize;  // still in the buffer
    std::fputs("ab\n", out);
    EXPECT_TRUE(std::ferror(out)) << "buffer " << bufferSize;
    EXPECT_NE(0, std::fclose(out));
  }
}

// A write larger than the buffer goes past it straight to the file; when that write fails, stdio
// must not read on beyond the caller's bytes. The bytes end right before a page that may not be
// read, so a single byte too many ends the test with a fault.
TEST(TextFile, FailedLargeWriteReadsNothingPastTheBytes) {
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::size_t pageSize = static_cast<std::size_t>(page);
  const std::size_t span = (2 * platform::kLargeTextBuffer / pageSize + 1) * pageSize;
  void* mapped =
      ::mmap(nullptr, span + pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  char* bytes = static_cast<char*>(mapped);
  ASSERT_EQ(0, ::mprotect(bytes + span, pageSize, PROT_NONE));
  for (const std::size_t bufferSize : kBufferSizes) {
    for (const std::size_t size : {bufferSize + 1, 2 * bufferSize + 3}) {
      std::FILE* out = platform::openTextFile("/dev/full", "w", bufferSize);
      ASSERT_NE(out, nullptr);
      EXPECT_LT(std::fwrite(bytes + span - size, 1, size, out), size) << "buffer " << bufferSize;
      EXPECT_TRUE(std::ferror(out)) << "buffer " << bufferSize;
      EXPECT_NE(0, std::fclose(out));
    }
  }
  ::munmap(mapped, span + pageSize);
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
  testsupport::MemoryStream shown;
  char buf[4];
  platform::ConsoleLine line =
      platform::readConsoleLine(in, buf, sizeof buf, shown.stream, "long: ");
  EXPECT_EQ(6u, line.length);
  line = platform::readConsoleLine(in, buf, sizeof buf, shown.stream, "long: ");  // "next" too
  EXPECT_EQ("long: abcdeflong: next", shown.text());
  std::fclose(in);
}

}  // namespace
