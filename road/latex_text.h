// latex_text.h - a plain text written as a LaTeX document for kotobun: the document around it,
// TeX's special characters set as themselves, break points where kotobun puts none, and short
// lines.
#ifndef KOTOTEXT_LATEX_TEXT_H_
#define KOTOTEXT_LATEX_TEXT_H_

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "road/char_class.h"

namespace kototext {

// ORDER PAPERS: the class options in latex_text.cc follow this order.
enum class Paper { A4, A5, B5, Letter };

/// The document around the text.
struct DocumentSettings {
  Paper paper;
  int pointSize;       // the class's font size: 10, 11 or 12
  int magnification;   // the kanji fonts': 1000, 1095, 1200, 1440, 1728, 2074 or 2488
  int lineParagraphs;  // every line of the text is a paragraph; else blank lines end them
};

/// An output line is ended at the first place where that is harmless once it holds kSoftLine
/// bytes, and at any place once it holds kHardLine. kotobun writes about 20 bytes for each
/// Japanese character (three bytes here), and TeX reads lines of up to about 200,000 bytes.
constexpr std::size_t kSoftLine = 100;
constexpr std::size_t kHardLine = 200;

/// A run of this many characters without a break point gets one at the next place that allows
/// it; an ASCII word of kLongWord characters gets one after each / . - _ ? & = # : , ; in it.
constexpr int kLongRun = 20;
constexpr int kLongWord = 10;

/// The state of the text being written: the character before, the output line, the paragraph.
struct TextWriter {
  const ClassTable* classes;
  int lineParagraphs;  // as in DocumentSettings
  char32_t previous;   // the last character written in this paragraph; 0 if none, ' ' a space
  CharClass previousClass;
  int spacePending;      // a space (or a line end that reads as one) is due before the next
  int atLineStart;       // no character of the current input line taken yet
  int lineHasText;       // the current input line holds a character that is not a space
  int paragraphHasText;  // the current paragraph holds a character
  int anyText;           // the document holds a character
  int lastWasCr;         // the last character was a CR: an LF next ends no further line
  std::size_t column;    // bytes on the current output line
  int sinceBreak;        // characters since the last place where a line may break
  int wordLength;        // characters of the current ASCII word
};

/// Writes kotobun's directive line and the preamble up to \begin{document}. Ends the program on
/// nothing: write errors show in the stream's error state.
void writeDocumentStart(std::FILE* out, const DocumentSettings& settings);

/// Sets `writer` up for a text, at the start of the document's body.
void startText(TextWriter& writer, const ClassTable& classes, int lineParagraphs);

/// Writes the character `c` of the text (LF, CR LF and CR end a line; a form feed starts a new
/// page; a tab is a space; other control characters and a byte order mark at the start are
/// dropped), changing `writer`.
void writeCharacter(std::FILE* out, TextWriter& writer, char32_t c);

/// Writes the characters of the UTF-8 text `text`, which must be whole and valid.
void writeUtf8(std::FILE* out, TextWriter& writer, std::string_view text);

/// Ends the last paragraph and the document.
void endDocument(std::FILE* out, TextWriter& writer);

/// The text written between the characters `previous` and `c` so that a line may break there
/// where kotobun puts no break point, with the spacing that kotobun would write between them;
/// empty where no break is wanted. `sinceBreak` and `wordLength` are as in TextWriter, counted
/// up to `previous`. Sets `breaks` to 1 if a line may break between the two once it is written.
std::string_view breakBetween(char32_t previous, CharClass previousClass, char32_t c,
                              CharClass cClass, int sinceBreak, int wordLength, int& breaks);

}  // namespace kototext

#endif  // KOTOTEXT_LATEX_TEXT_H_
