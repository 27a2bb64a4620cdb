// font_tables.cc - the font tables file: its head, one table per font, and the program's run.
#include "fonttables/font_tables.h"

#include "platform/program_end.h"
#include "platform/text_file.h"
#include "platform/write_check.h"

namespace fonttables {
namespace {

constexpr int kLastPosition = 7806;  // row 84, cell 4: the last character of the last font
constexpr int kCodesPerFont = 128;
constexpr int kCellsPerRow = 16;

static_assert(kLastPosition / kCodesPerFont == 60);  // 61 fonts, kanjiaa to kanjihe

// The directive carries every setting the converter needs for this file: EUC, LaTeX, no glue or
// added "%", bitmaps outside the standard set accepted, fonts at 1728. The text height stays
// 9.4in, a little short of what its own comment works out.
constexpr const char* kHead =
    "%KOTOBUN /NoSpace /NoPercent /LaTeX /EUC /Extended /3.0\n"
    "%\n"
    "\\documentstyle[12pt]{article}\n"
    "\\pagestyle{plain}\n"
    "\\setlength{\\oddsidemargin}{-0.5in} %0.5in margin left-right\n"
    "\\setlength{\\textwidth}{7.5in} %8.5in-2*0.5in\n"
    "\\setlength{\\topmargin}{-0.25in} %0.75in margin top-bottom\n"
    "\\setlength{\\textheight}{9.4in} %11.0in-2*0.75in\n"
    "\\setlength{\\footskip}{0.1in}\n"
    "\\setlength{\\footheight}{0.1in}\n"
    "\\setlength{\\headheight}{0pt}\n"
    "\\setlength{\\headsep}{0pt}\n"
    "\\setlength{\\topskip}{0pt}\n"
    "\\setlength{\\parindent}{0pt}\n"
    "\\setlength{\\tabcolsep}{4pt}\n"
    "\\renewcommand{\\baselinestretch}{0.85}\n"
    "\\begin{document}\n"
    "\\begin{Large}\n"
    "\n"
    "\\vspace*{\\fill}\n"
    "\n";

constexpr const char* kTableHead =
    "\\begin{table}[h]\n"
    " \\centering\n"
    " \\begin{tabular}{r|cccccccccccccccc|l}\n"
    "  Code & \\multicolumn{16}{c|}{Characters} & EUC \\\\ \\hline\n";

// Each page opens and closes with this glue, so its tables stand centred between the two.
constexpr const char* kFill = "\\vspace*{\\fill}\n\n";
constexpr const char* kPageBreak = "\\vspace*{\\fill}\n\n\\clearpage\n\n\\vspace*{\\fill}\n\n";
constexpr const char* kClosing = "\\end{Large}\n\\end{document}\n";

// A row of sixteen cells takes four lines: the label or an indent of seven characters, then five,
// five, five and one cells.
void writeRowStart(std::FILE* out, int code) {
  const int column = code % kCellsPerRow;
  if (column == 0) {
    std::fprintf(out, "%6d ", code);
  } else if (column == 5 || column == 10 || column == 15) {
    std::fputs("       ", out);
  } else {
    return;
  }
  platform::checkWrites(out);
}

// The cell of position `p` >= 1, and the line end or the EUC column that follows it.
void writeCell(std::FILE* out, int p) {
  const int code = p % kCodesPerFont;
  const int column = code % kCellsPerRow;
  const int lead = leadByte(p);
  const int trail = trailByte(p);
  std::fprintf(out, "&%c%c", lead, trail);
  platform::checkWrites(out);
  if (column == 4 || column == 9 || column == 14) {
    std::fputc('\n', out);
    platform::checkWrites(out);
  } else if (column == 15) {
    // The EUC column shows the row's sixteenth character; the table's last row has no row end.
    std::fprintf(out, "& %d,%d%s\n", lead, trail, code == kCodesPerFont - 1 ? "" : " \\\\");
    platform::checkWrites(out);
  }
}

// The tail of the table that ends at position `p`, then the glue or page break after it.
void writeTableTail(std::FILE* out, int p) {
  const int block = p / kCodesPerFont;
  std::fprintf(out, " \\end{tabular}\n\\caption{Font {\\tt kanji%c%c} (%d--%d).}\n\\end{table}\n\n",
               'a' + block / 8, 'a' + block % 8, p - p % kCodesPerFont, p);
  platform::checkWrites(out);
  if (p == kLastPosition) {
    std::fputs(kFill, out);
  } else if (block % 3 == 2) {
    std::fputs(kPageBreak, out);
  } else {
    return;
  }
  platform::checkWrites(out);
}

}  // namespace

void writeFontTables(std::FILE* out) {
  std::fputs(kHead, out);
  platform::checkWrites(out);
  for (int p = 0; p <= kLastPosition; ++p) {
    const int code = p % kCodesPerFont;
    if (code == 0) {
      std::fputs(kTableHead, out);
      platform::checkWrites(out);
    }
    writeRowStart(out, code);
    if (p == 0) {
      // Position 0 is no character: the first font's first cell stays empty.
      std::fputs("&  ", out);
      platform::checkWrites(out);
    } else {
      writeCell(out, p);
    }
    if (code == kCodesPerFont - 1 || p == kLastPosition) writeTableTail(out, p);
  }
  std::fputs(kClosing, out);
  platform::checkWrites(out);
}

int runFontTables(std::FILE* console) {
  std::fputs("\nJapanese Font Tables Generation Program.\nVersion 2.0\n\n", console);
  platform::checkConsole(console);

  std::fprintf(console, "Creating Japanese file %s", kFileName);
  std::FILE* out = platform::openTextFile(kFileName, "w");
  if (out == nullptr) platform::endProgram(1);
  std::fputs(".\n", console);
  platform::checkConsole(console);

  std::fputs("Generating font tables\n", console);
  writeFontTables(out);
  std::fputs(".\n", console);
  platform::checkConsole(console);

  std::fprintf(console, "Closing Japanese file %s", kFileName);
  platform::closeOutput(out);
  std::fputs(".\n\n", console);
  platform::checkConsole(console);

  std::fputs("Japanese font tables generation completed.\n\n", console);
  platform::checkConsole(console);
  return 0;
}

}  // namespace fonttables
