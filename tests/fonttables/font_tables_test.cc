// font_tables_test.cc - the font tables file: its size, its edges and every character once.
#include "fonttables/font_tables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The whole file content as written to a stream with plain LF line ends.
std::string tablesText() {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  fonttables::writeFontTables(out);
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

// The lines without their line ends; a text ending in a line end has no empty last line.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

int countLines(const std::vector<std::string>& lines, const std::string& prefix) {
  int count = 0;
  for (const std::string& line : lines) count += line.compare(0, prefix.size(), prefix) == 0;
  return count;
}

TEST(FontTables, SizeAndCounts) {
  const std::string text = tablesText();
  const std::vector<std::string> lines = splitLines(text);
  EXPECT_EQ(58258u, text.size());
  EXPECT_EQ(2584u, lines.size());
  EXPECT_EQ('\n', text.back());
  EXPECT_EQ(61, countLines(lines, "\\begin{table}[h]"));
  EXPECT_EQ(61, countLines(lines, "\\caption{"));
  EXPECT_EQ(20, countLines(lines, "\\clearpage"));
}

TEST(FontTables, LinesAtTheEdges) {
  struct Case {
    std::size_t number;  // 1-based
    const char* text;
  };
  const Case cases[] = {
      {1, "%KOTOBUN /NoSpace /NoPercent /LaTeX /EUC /Extended /3.0"},
      {8, "\\setlength{\\textheight}{9.4in} %11.0in-2*0.75in"},
      {20, "\\vspace*{\\fill}"},
      {21, ""},
      {25, "  Code & \\multicolumn{16}{c|}{Characters} & EUC \\\\ \\hline"},
      // First row: the empty cell of position 0, then 0xA1 0xA1 on.
      {26, "     0 &  &\xa1\xa1&\xa1\xa2&\xa1\xa3&\xa1\xa4"},
      {27, "       &\xa1\xa5&\xa1\xa6&\xa1\xa7&\xa1\xa8&\xa1\xa9"},
      {29, "       &\xa1\xaf& 161,175 \\\\"},
      // Positions 94 and 95 cross from JIS row 1 to row 2.
      {48, "       &\xa1\xfa&\xa1\xfb&\xa1\xfc&\xa1\xfd&\xa1\xfe"},
      {49, "       &\xa2\xa1& 162,161 \\\\"},
      // The first table's last row has no row end.
      {54, "   112 &\xa2\xb2&\xa2\xb3&\xa2\xb4&\xa2\xb5&\xa2\xb6"},
      {57, "       &\xa2\xc1& 162,193"},
      {58, " \\end{tabular}"},
      {59, "\\caption{Font {\\tt kanjiaa} (0--127).}"},
      {61, ""},
      {62, "\\begin{table}[h]"},
      // kanjiab begins with position 128.
      {66, "     0 &\xa2\xc2&\xa2\xc3&\xa2\xc4&\xa2\xc5&\xa2\xc6"},
      {69, "       &\xa2\xd1& 162,209 \\\\"},
  };
  const std::vector<std::string> lines = splitLines(tablesText());
  for (const Case& c : cases) EXPECT_EQ(c.text, lines.at(c.number - 1)) << "line " << c.number;
}

TEST(FontTables, LastTableEndsWithoutSixteenthCell) {
  const std::vector<std::string> expected = {
      "   112 &\xf3\xf4&\xf3\xf5&\xf3\xf6&\xf3\xf7&\xf3\xf8",
      "       &\xf3\xf9&\xf3\xfa&\xf3\xfb&\xf3\xfc&\xf3\xfd",
      "       &\xf3\xfe&\xf4\xa1&\xf4\xa2&\xf4\xa3&\xf4\xa4",
      " \\end{tabular}",
      "\\caption{Font {\\tt kanjihe} (7680--7806).}",
      "\\end{table}",
      "",
      "\\vspace*{\\fill}",
      "",
      "\\end{Large}",
      "\\end{document}",
  };
  const std::vector<std::string> lines = splitLines(tablesText());
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(expected, std::vector<std::string>(lines.end() - static_cast<long>(expected.size()),
                                               lines.end()));
}

// Decodes every cell "&" lead trail in order; each EUC column must repeat the cell before it.
TEST(FontTables, EveryPositionOnceInOrder) {
  const std::string text = tablesText();
  std::vector<int> positions;
  int lead = 0;
  int trail = 0;
  for (std::size_t i = text.find('&'); i != std::string::npos; i = text.find('&', i + 1)) {
    const auto first = static_cast<unsigned char>(text[i + 1]);
    const auto second = static_cast<unsigned char>(text[i + 2]);
    if (first >= 0xA1) {
      lead = first;
      trail = second;
      positions.push_back((lead - 0xA1) * 94 + (trail - 0xA1) + 1);
    } else if (first == ' ' && second >= '0' && second <= '9') {
      const std::string column = " " + std::to_string(lead) + "," + std::to_string(trail);
      EXPECT_EQ(column, text.substr(i + 1, column.size())) << "after " << positions.back();
    }
  }
  ASSERT_EQ(7806u, positions.size());
  for (int p = 1; p <= 7806; ++p) ASSERT_EQ(p, positions[static_cast<std::size_t>(p - 1)]);
}

// Captions give each font its range; every third table (blocks 2, 5 ... 59) ends a page.
TEST(FontTables, CaptionsAndPageBreaks) {
  const std::vector<std::string> lines = splitLines(tablesText());
  int block = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].compare(0, 9, "\\caption{") != 0) continue;
    const int first = block * 128;
    const int last = block == 60 ? 7806 : first + 127;
    const std::string caption = std::string("\\caption{Font {\\tt kanji") +
                                static_cast<char>('a' + block / 8) +
                                static_cast<char>('a' + block % 8) + "} (" + std::to_string(first) +
                                "--" + std::to_string(last) + ").}";
    EXPECT_EQ(caption, lines[i]);
    const int endsPage = block == 60 || block % 3 == 2;
    EXPECT_EQ(endsPage ? "\\vspace*{\\fill}" : "\\begin{table}[h]", lines.at(i + 3))
        << "after block " << block;
    if (block % 3 == 2) {
      EXPECT_EQ("\\clearpage", lines.at(i + 5)) << "after block " << block;
    }
    ++block;
  }
  EXPECT_EQ(61, block);
}

TEST(FontTablesDeathTest, FailedWriteEndsTheRun) {
  // Room for the head and about two tables: the failure comes in the middle.
  static char buffer[2000];
  EXPECT_EXIT(
      {
        std::FILE* out = fmemopen(buffer, sizeof buffer, "w");
        fonttables::writeFontTables(out);
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
