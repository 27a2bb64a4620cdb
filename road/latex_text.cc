// latex_text.cc - a plain text written as a LaTeX document for kotobun: the document around it,
// TeX's special characters set as themselves, break points where kotobun puts none, and short
// lines.
#include "road/latex_text.h"

namespace kototext {
namespace {

// ORDER PAPERS
constexpr const char* kPaperOptions[] = {"a4paper", "a5paper", "b5paper", "letterpaper"};

// The preamble after the class. \kb{n} is a break point followed by the glue n, where the glue
// is one of kotobun's: 0 none, 1 its \ee, 2 its \eee, 3 its \eeee, and 4 what \eeee lacks
// after an \eee; the glue goes with the break as kotobun's \hh\ee does. \kc{n} first takes away
// the glue that kotobun wrote after a stop, colon, middle dot or closing bracket, so that the
// break comes before the glue. \kt{n} is the typewriter font's character n, for the straight
// double quote, the circumflex and the tilde that OT1's roman lacks; \kl a blank line of the
// text. kotobun.sty, where TeX finds it, sets the kanji at LaTeX's sizes.
constexpr const char* kPreamble =
    "\\IfFileExists{kotobun.sty}{\\usepackage{kotobun}}{}\n"
    "\\setlength{\\parindent}{0pt}\n"
    "\\setlength{\\emergencystretch}{3em}\n"
    "\\sloppy\n"
    "\\newcommand{\\kb}[1]{\\discretionary{}{}{}\\nobreak\\hskip\\ifcase#1 0pt\\or0pt plus.1em"
    "\\or.3em plus.1em\\or.9em plus.1em minus.1em\\or.6em minus.1em\\fi\\relax}\n"
    "\\newcommand{\\kc}[1]{\\unskip\\unpenalty\\kb{#1}}\n"
    "\\newcommand{\\kt}[1]{\\texttt{\\char#1}}\n"
    "\\newcommand{\\kl}{\\par\\vspace{\\baselineskip}}\n"
    "\\begin{document}\n";

// How each ASCII character is written: TeX's special characters, and those that OT1's roman
// sets as something else, as macros that set them as they are; the rest as themselves (empty).
// LaTeX's \$ and \textasciicircum would take the dollar from TS1, whose fonts a minimal TeX
// Live lacks, and the circumflex from an accent.
constexpr std::string_view asciiText(char32_t c) {
  switch (c) {
    case '\\':
      return "\\textbackslash{}";
    case '{':
      return "\\{";
    case '}':
      return "\\}";
    case '$':
      return "{\\char36}";
    case '&':
      return "\\&";
    case '#':
      return "\\#";
    case '^':
      return "\\kt{94}";
    case '_':
      return "\\_";
    case '%':
      return "\\%";
    case '~':
      return "\\kt{126}";
    case '<':
      return "\\textless{}";
    case '>':
      return "\\textgreater{}";
    case '|':
      return "\\textbar{}";
    case '"':
      return "\\kt{34}";
    default:
      return "";
  }
}

constexpr int isAsciiAlnum(char32_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Characters after which a long word (a URL, a path) may break.
constexpr int isWordBreak(char32_t c) {
  return c == '/' || c == '.' || c == '-' || c == '_' || c == '?' || c == '&' || c == '=' ||
         c == '#' || c == ':' || c == ',' || c == ';';
}

// Pairs that OT1's roman joins into one sign: -- --- `` '' !` ?`.
constexpr int isLigature(char32_t first, char32_t second) {
  return (first == '-' && second == '-') || (first == '`' && second == '`') ||
         (first == '\'' && second == '\'') || ((first == '!' || first == '?') && second == '`');
}

// kotobun puts no break before these.
constexpr int isNoBreakBefore(CharClass c) {
  return c == CharClass::Stop || c == CharClass::Colon || c == CharClass::MiddleDot ||
         c == CharClass::Closing;
}

void put(std::FILE* out, TextWriter& writer, std::string_view text) {
  if (text.empty()) return;  // an empty view may hold no pointer, which fwrite must not get
  std::fwrite(text.data(), 1, text.size(), out);
  writer.column += text.size();
}

void endOutputLine(std::FILE* out, TextWriter& writer, std::string_view lineEnd) {
  std::fwrite(lineEnd.data(), 1, lineEnd.size(), out);
  writer.column = 0;
}

void putCharacter(std::FILE* out, TextWriter& writer, char32_t c) {
  char bytes[4];
  std::size_t size = 0;
  if (c < 0x80) {
    const std::string_view text = asciiText(c);
    if (!text.empty()) {
      put(out, writer, text);
      return;
    }
    bytes[size++] = static_cast<char>(c);
  } else if (c < 0x800) {
    bytes[size++] = static_cast<char>(0xC0 | c >> 6);
    bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    bytes[size++] = static_cast<char>(0xE0 | c >> 12);
    bytes[size++] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    bytes[size++] = static_cast<char>(0xF0 | c >> 18);
    bytes[size++] = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    bytes[size++] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
  }
  put(out, writer, std::string_view(bytes, size));
}

void endParagraph(std::FILE* out, TextWriter& writer) {
  if (writer.paragraphHasText) endOutputLine(out, writer, "\n\n");
  writer.previous = 0;
  writer.previousClass = CharClass::Outside;
  writer.spacePending = 0;
  writer.paragraphHasText = 0;
  writer.sinceBreak = 0;
  writer.wordLength = 0;
}

// An input line has ended. Inside a paragraph a line end reads as a space after ASCII and as
// nothing after a Japanese character, as in TeX's input where kotobun ends such a line with "%".
void endInputLine(std::FILE* out, TextWriter& writer) {
  if (writer.lineParagraphs) {
    if (writer.lineHasText) {
      endParagraph(out, writer);
    } else {
      put(out, writer, "\\kl");
      endOutputLine(out, writer, "\n");
    }
  } else if (!writer.lineHasText) {
    endParagraph(out, writer);
  } else if (writer.previous < 0x80) {
    writer.spacePending = 1;
  }
  writer.atLineStart = 1;
  writer.lineHasText = 0;
}

// Ends the output line before `c` where that changes nothing that TeX or kotobun make of the
// text: after a space; after a Japanese character (kotobun writes "%" there and keeps the
// spacing); after `between`, which ends in a brace; between ASCII characters with a "%". Past
// kHardLine anywhere, with a "%". Returns 1 if `between` has been written.
int wrapBefore(std::FILE* out, TextWriter& writer, std::string_view between, char32_t c) {
  if (writer.column < kSoftLine || writer.previous == 0) return 0;
  if (!between.empty()) {
    put(out, writer, between);
    endOutputLine(out, writer, "%\n");
    return 1;
  }
  if (writer.previous == ' ' ||
      (writer.previous >= 0x80 && writer.previousClass != CharClass::Outside)) {
    endOutputLine(out, writer, "\n");
  } else if ((writer.previous < 0x80 && c < 0x80) || writer.column >= kHardLine) {
    endOutputLine(out, writer, "%\n");
  }
  return 0;
}

void writeVisible(std::FILE* out, TextWriter& writer, char32_t c) {
  const CharClass cClass = classOf(*writer.classes, c);
  writer.atLineStart = 0;
  writer.lineHasText = 1;
  if (writer.spacePending) {
    put(out, writer, " ");
    writer.previous = ' ';
    writer.spacePending = 0;
  }
  int breaks = writer.previous == ' ';
  std::string_view between;
  if (writer.previous != 0 && writer.previous != ' ') {
    between = breakBetween(writer.previous, writer.previousClass, c, cClass, writer.sinceBreak,
                           writer.wordLength, breaks);
  }
  if (!wrapBefore(out, writer, between, c)) put(out, writer, between);
  putCharacter(out, writer, c);
  writer.sinceBreak = breaks ? 1 : writer.sinceBreak + 1;
  if (c >= 0x80) {
    writer.wordLength = 0;
  } else {
    writer.wordLength = writer.previous != 0 && writer.previous < 0x80 && writer.previous != ' '
                            ? writer.wordLength + 1
                            : 1;
  }
  writer.previous = c;
  writer.previousClass = cClass;
  writer.paragraphHasText = 1;
  writer.anyText = 1;
}

}  // namespace

void writeDocumentStart(std::FILE* out, const DocumentSettings& settings) {
  // The directive makes kotobun read UTF-8 and fixes the settings that the break points and
  // line ends below rely on: glue (/Space) and the "%" at a line end after a kanji (/Percent).
  std::fprintf(out, "%%KOTOBUN /UTF8 /LaTeX /Space /Percent /%d\n", settings.magnification);
  std::fprintf(out, "\\documentclass[%s,%dpt]{article}\n",
               kPaperOptions[static_cast<int>(settings.paper)], settings.pointSize);
  // Texts that end paragraphs at blank lines get a gap between them; texts with a paragraph a
  // line indent with an ideographic space of their own, and get none.
  std::fprintf(out, "\\setlength{\\parskip}{%s}\n",
               settings.lineParagraphs ? "0pt" : ".5\\baselineskip plus 2pt");
  std::fputs(kPreamble, out);
}

void startText(TextWriter& writer, const ClassTable& classes, int lineParagraphs) {
  writer = {};
  writer.classes = &classes;
  writer.lineParagraphs = lineParagraphs;
  writer.previousClass = CharClass::Outside;
  writer.atLineStart = 1;
}

void writeCharacter(std::FILE* out, TextWriter& writer, char32_t c) {
  if (c == '\n' && writer.lastWasCr) {
    writer.lastWasCr = 0;
    return;
  }
  writer.lastWasCr = c == '\r';
  if (c == '\n' || c == '\r') {
    endInputLine(out, writer);
  } else if (c == '\f') {
    endParagraph(out, writer);
    put(out, writer, "\\newpage");
    endOutputLine(out, writer, "\n");
  } else if (c == ' ' || c == '\t') {
    if (!writer.atLineStart && writer.paragraphHasText) writer.spacePending = 1;
  } else if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c == 0xFEFF && !writer.anyText)) {
    // Control characters (Ctrl-Z at the end of a DOS file among them) set nothing, and TeX
    // refuses most of them.
  } else {
    writeVisible(out, writer, c);
  }
}

void writeUtf8(std::FILE* out, TextWriter& writer, std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 1;
    char32_t c = lead;
    if (lead >= 0xF0) {
      length = 4;
      c = lead & 0x07;
    } else if (lead >= 0xE0) {
      length = 3;
      c = lead & 0x0F;
    } else if (lead >= 0xC0) {
      length = 2;
      c = lead & 0x1F;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) return;
    for (std::size_t k = 1; k < static_cast<std::size_t>(length); ++k) {
      c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    writeCharacter(out, writer, c);
    i += static_cast<std::size_t>(length);
  }
}

void endDocument(std::FILE* out, TextWriter& writer) {
  endParagraph(out, writer);
  // A document without a character still makes a page, so that the road gets a PDF.
  if (!writer.anyText) put(out, writer, "\\null\n");
  std::fputs("\\end{document}\n", out);
}

std::string_view breakBetween(char32_t previous, CharClass previousClass, char32_t c,
                              CharClass cClass, int sinceBreak, int wordLength, int& breaks) {
  breaks = 0;
  if (previous < 0x80 && c < 0x80) {
    if ((wordLength >= kLongWord && isWordBreak(previous)) || sinceBreak >= kLongRun) {
      breaks = 1;
      return "\\kb{0}";
    }
    return isLigature(previous, c) ? "{}" : "";
  }
  if (previous >= 0x80 && c >= 0x80) {
    // kotobun sets a character without a class of its own as a glyph of none, or as it is.
    const CharClass p = previousClass == CharClass::Outside ? CharClass::Other : previousClass;
    const CharClass q = cClass == CharClass::Outside ? CharClass::Other : cClass;
    if (isNoBreakBefore(q) || p == CharClass::Opening) return "";
    breaks = 1;
    // Between these kotobun writes its own break; before an opening bracket it writes \eee
    // after whatever stands between; after a stop it has written \eeee, after a colon, middle
    // dot or closing bracket \eee.
    if (p == CharClass::Letter || q == CharClass::Letter) return "";
    if (p == CharClass::Other) return q == CharClass::Opening ? "\\kb{0}" : "\\kb{1}";
    if (p == CharClass::Stop) return q == CharClass::Opening ? "\\kc{4}" : "\\kc{3}";
    return q == CharClass::Opening ? "\\kc{0}" : "\\kc{2}";
  }
  // Between ASCII and Japanese kotobun puts no break either; a long run gets one here, with the
  // glue kotobun writes there: \eee beside a letter or digit, \eeee after a stop.
  if (sinceBreak < kLongRun) return "";
  if (previous >= 0x80) {
    if (previousClass == CharClass::Outside || previousClass == CharClass::Opening) return "";
    breaks = 1;
    if (previousClass == CharClass::Stop) return "\\kc{3}";
    if (previousClass != CharClass::Other && previousClass != CharClass::Letter) return "\\kc{2}";
    return isAsciiAlnum(c) ? "\\kb{2}" : "\\kb{0}";
  }
  if (cClass == CharClass::Outside || isNoBreakBefore(cClass)) return "";
  breaks = 1;
  return cClass != CharClass::Opening && isAsciiAlnum(previous) ? "\\kb{2}" : "\\kb{0}";
}

}  // namespace kototext
