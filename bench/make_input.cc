// make_input.cc - writes large inputs for the benchmarks: Japanese prose or PostScript.
//
// The Japanese text is made from a fixed seed, so every run measures the same bytes: mostly kana
// and kanji, punctuation and brackets of every class, Latin words, digits and LaTeX markup, comment
// lines, a few option directives and empty lines, in lines of 60 to 100 bytes. The same text can be
// written in EUC or Shift-JIS, with LF or CR LF line ends.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A small generator with a fixed seed: the same bytes on every machine and library.
struct Random {
  std::uint64_t state;
};

std::uint32_t next(Random& random) {
  random.state = random.state * 6364136223846793005ULL + 1442695040888963407ULL;
  return static_cast<std::uint32_t>(random.state >> 33);
}

int below(Random& random, int limit) {
  return static_cast<int>(next(random) % static_cast<std::uint32_t>(limit));
}

struct Output {
  std::string text;
  int euc;  // 1 = EUC, 0 = Shift-JIS
};

// A JIS X 0208 character by row and cell (both from 1) in the output's encoding.
void putKanji(Output& out, int row, int cell) {
  if (out.euc) {
    out.text += static_cast<char>(row + 0xA0);
    out.text += static_cast<char>(cell + 0xA0);
    return;
  }
  const int lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
  int trail = 0;
  if (row % 2 == 1) {
    trail = cell + 0x3F + (cell >= 64 ? 1 : 0);  // 0x7F is never a second byte
  } else {
    trail = cell + 0x9E;
  }
  out.text += static_cast<char>(lead);
  out.text += static_cast<char>(trail);
}

// Row 1 signs by cell: stops, colons, the middle dot, brackets and a few signs of no class.
constexpr int kComma = 2, kFullStop = 3, kQuestion = 9, kColon = 7, kMiddleDot = 6;
constexpr int kRepeat = 25, kLongVowel = 28;
constexpr int kBracketPairs[][2] = {{54, 55}, {56, 57}, {42, 43}, {58, 59}, {52, 53}, {40, 41}};

// Common kanji first: most of the text uses a few hundred of them.
int kanjiBitmap(Random& random) {
  if (below(random, 10) < 8) return 1411 + below(random, 592) * 5;  // rows 16 to 47
  if (below(random, 4) < 3) return 1411 + below(random, 2965);      // all of the first level
  return 4419 + below(random, 3388);                                // the second level
}

void putBitmap(Output& out, int bitmap) {
  putKanji(out, (bitmap - 1) / 94 + 1, (bitmap - 1) % 94 + 1);
}

void putHiragana(Output& out, Random& random, int count) {
  for (int i = 0; i < count; ++i) putKanji(out, 4, 1 + below(random, 83));
}

void putKatakanaWord(Output& out, Random& random) {
  const int count = 2 + below(random, 4);
  for (int i = 0; i < count; ++i) {
    putKanji(out, 5, 1 + below(random, 86));
    if (below(random, 8) == 0) putKanji(out, 1, kLongVowel);
  }
}

void putKanjiWord(Output& out, Random& random) {
  const int count = 1 + below(random, 3);
  for (int i = 0; i < count; ++i) putBitmap(out, kanjiBitmap(random));
  if (below(random, 30) == 0) putKanji(out, 1, kRepeat);
}

constexpr const char* kWords[] = {"TeX", "LaTeX", "PDF", "Unix", "ISO", "font", "DVI", "JIS"};
constexpr const char* kMarkup[] = {"\\textbf{", "\\emph{", "$x^2$", "\\ref{sec:intro}",
                                   "~\\cite{knuth84}"};

// One piece of a sentence: words, punctuation, brackets, Latin text or markup.
void putPhrase(Output& out, Random& random) {
  const int kind = below(random, 100);
  if (kind < 30) {
    putKanjiWord(out, random);
    putHiragana(out, random, 1 + below(random, 4));
  } else if (kind < 50) {
    putHiragana(out, random, 2 + below(random, 5));
  } else if (kind < 60) {
    putKatakanaWord(out, random);
  } else if (kind < 66) {
    const auto& pair = kBracketPairs[below(random, 6)];
    putKanji(out, 1, pair[0]);
    putKanjiWord(out, random);
    putHiragana(out, random, below(random, 3));
    putKanji(out, 1, pair[1]);
  } else if (kind < 72) {
    out.text += below(random, 2) ? " " : "";
    out.text += kWords[below(random, 8)];
    out.text += below(random, 2) ? " " : "";
  } else if (kind < 76) {
    out.text += std::to_string(below(random, 3000));
    if (below(random, 2)) putKanji(out, 3, 0x10 + below(random, 10));  // a full-width digit
  } else if (kind < 79) {
    const char* markup = kMarkup[below(random, 5)];
    out.text += markup;
    if (markup[std::strlen(markup) - 1] == '{') {
      putKanjiWord(out, random);
      out.text += "}";
    }
  } else if (kind < 83) {
    putKatakanaWord(out, random);
    putKanji(out, 1, kMiddleDot);
    putKatakanaWord(out, random);
  } else if (kind < 86) {
    putKanjiWord(out, random);
    putKanji(out, 1, kColon);
  } else if (kind < 95) {
    putKanji(out, 1, kComma);
  } else {
    putKanji(out, 1, below(random, 4) ? kFullStop : kQuestion);
  }
}

void putLineEnd(Output& out, int crlf) { out.text += crlf ? "\r\n" : "\n"; }

void putLine(Output& out, Random& random, int crlf, long lineNumber) {
  if (lineNumber % 2000 == 1999) {
    // Directives that leave the encoding alone: the same file reads the same in every pass.
    constexpr const char* kDirectives[] = {"%KOTOBUN /NoSpace", "%KOTOBUN /Space /Percent",
                                           "%KOTOBUN /1.0", "%KOTOBUN /3.0"};
    out.text += kDirectives[lineNumber / 2000 % 4];
    putLineEnd(out, crlf);
    return;
  }
  const int kind = below(random, 100);
  if (kind < 5) {  // paragraph end
    putLineEnd(out, crlf);
    return;
  }
  const std::size_t start = out.text.size();
  const std::size_t length = static_cast<std::size_t>(60 + below(random, 41));
  if (kind < 8) {
    out.text += "% ";
  } else if (kind < 11) {
    constexpr const char* kCommands[] = {"\\section{", "\\subsection{", "\\item ", "\\footnote{"};
    const char* command = kCommands[below(random, 4)];
    out.text += command;
  }
  // Phrases that would overrun the line are dropped; the full stop may still follow.
  for (int tries = 0; out.text.size() - start < length - 8 && tries < 40; ++tries) {
    const std::size_t before = out.text.size();
    putPhrase(out, random);
    if (out.text.size() - start > length - 2) out.text.resize(before);
  }
  if (below(random, 3) != 0) putKanji(out, 1, kFullStop);
  putLineEnd(out, crlf);
}

int writeJapanese(int euc, int crlf, long target, const char* name) {
  std::FILE* file = std::fopen(name, "wb");
  if (file == nullptr) return 1;
  Random random{20261208};
  Output out{std::string(), euc};
  long written = 0;
  for (long line = 0; written < target; ++line) {
    putLine(out, random, crlf, line);
    if (out.text.size() >= (1 << 16) || written + static_cast<long>(out.text.size()) >= target) {
      std::fwrite(out.text.data(), 1, out.text.size(), file);
      written += static_cast<long>(out.text.size());
      out.text.clear();
    }
  }
  return std::fclose(file) == 0 ? 0 : 1;
}

int writePostScript(long target, const char* name) {
  constexpr const char* kLine = "(The quick brown fox) 72 700 TX 100 200 moveto (x) SB\n";
  std::FILE* file = std::fopen(name, "wb");
  if (file == nullptr) return 1;
  const long length = static_cast<long>(std::strlen(kLine));
  for (long written = 0; written < target; written += length) std::fputs(kLine, file);
  return std::fclose(file) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* kUsage = "usage: make_input euc|euc-crlf|sjis-crlf|ps MEBIBYTES FILE\n";
  if (argc != 4) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string kind = argv[1];
  const long target = std::atol(argv[2]) * (1L << 20);
  if (kind == "ps") return writePostScript(target, argv[3]);
  if (kind == "euc") return writeJapanese(1, 0, target, argv[3]);
  if (kind == "euc-crlf") return writeJapanese(1, 1, target, argv[3]);
  if (kind == "sjis-crlf") return writeJapanese(0, 1, target, argv[3]);
  std::fputs(kUsage, stderr);
  return 2;
}
