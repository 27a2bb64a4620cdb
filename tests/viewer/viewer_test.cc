// viewer_test.cc - the strings that skimpo finds in PostScript text.
#include "viewer/viewer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Runs the viewer over `input` and returns everything it printed.
std::string view(const std::string& input) {
  skimpo::ViewerBuffers buffers;
  skimpo::obtainBuffers(buffers, stdout);
  std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  skimpo::showStrings(in, out, buffers);
  std::fclose(out);
  std::fclose(in);
  skimpo::releaseBuffers(buffers);
  std::string printed(data, size);
  std::free(data);
  return printed;
}

struct Case {
  std::string input;
  std::string printed;
};

template <std::size_t N>
void expectAll(const Case (&cases)[N]) {
  for (const Case& c : cases) EXPECT_EQ(c.printed, view(c.input)) << c.input.substr(0, 40);
}

TEST(Viewer, StringsBeforeOperators) {
  const Case cases[] = {
      {"(Hello) 100 200 TX\n", "Hello\n"},
      {"(one) 1 2 TX\r\n(two) 3 4 SB\r\n(three) fjt\r\n", "one\ntwo\nthree\n"},
      {"(Hello) 1.5 TX\n", ""},      // 1.5 is neither a number nor an operator
      {"(a) -1 TX\n", ""},           // nor is -1
      {"(a)   007   TX\n", "a\n"},   // runs of spaces, leading zeros
      {"(a)(b) TX\n", ""},           // the word after (a) is (b)
      {"(a) fjt(b) TX\n", ""},       // the word fjt(b) swallows the second string
      {"(Hello)\nTX\n", "Hello\n"},  // the empty word before TX is skipped like a number
      {"(Hello)\r\n\r\n5\r\nTX\r\n", "Hello\n"},
      {"(Hello) 1 2 tx\n", ""},  // operators are case-sensitive
      {"(a) TXT\n", ""},
      {"(a) \tTX\n", ""},                  // a tab belongs to the word
      {std::string("(a) TX\0\n", 8), ""},  // so does a zero byte
      {"(a) show) fjt\n", ""},             // the word is show)
      {"(a) show ) fjt\n", "\n"},          // the lone ')' ends an empty string
      {"(open TX\n", ""},                  // still open at the end of the file
      {"(old(new) TX\n", "new\n"},         // every '(' starts the string again
      {"(a\\(b) TX\n", "b\n"},             // escaped too: a backslash is an ordinary byte
      {"(a\\) TX\n", "a\\\n"},
      {"(line1\r\nline2\nline3\r) 5 5 SB\n", "line1\r\nline2\nline3\r\n"},
      {"(\xC8\xE9) TX\n", "Hi\n"},  // top bit cleared
      {"\xA8x\xA9 TX\n", "x\n"},    // 0xA8 and 0xA9 act as '(' and ')'
      {"(a\x80z) TX\n", "a\n"},     // 0x80 ends the printed text
      {"(a) \xD4\xD8\n", ""},       // words keep their top bit
  };
  expectAll(cases);
}

TEST(Viewer, EndOfFileInsideAWord) {
  const Case cases[] = {
      {"(Hi) TX", "Hi\n"},  // the word cut short is still compared
      {"(Hi) 10 20 SB", "Hi\n"}, {"(Hi) T", ""},   {"(Hi) 10 20", ""},  // while skipping numbers
      {"(Hi) 10 20 ", ""},       {"(Hi)\n\n", ""}, {"(Hi)", ""},       {"", ""},
  };
  expectAll(cases);
}

TEST(Viewer, LongStringsAndWordsAreCutShort) {
  const std::size_t kept = skimpo::kBufferBytes - 1;
  for (std::size_t length : {kept, kept + 1, kept + 2}) {
    const std::string text(length, 's');
    EXPECT_EQ(text.substr(0, kept) + "\n", view("(" + text + ") TX\n")) << length;
    const std::string digits(length, '7');
    EXPECT_EQ("a\n", view("(a) " + digits + " TX\n")) << length;
    // The rest of a long word is read and dropped: neither a word nor a string of its own.
    const std::string letters(length, 'x');
    EXPECT_EQ("", view("(a) " + letters + "TX\n")) << length;
    EXPECT_EQ("", view("(a) " + letters + "(b) TX\n")) << length;
  }
}

}  // namespace
