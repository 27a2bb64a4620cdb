// kototext.cc - kototext: a plain Japanese text into a LaTeX document for kotobun /UTF8.
#include "road/text_run.h"

int main(int argc, char** argv) { return kototext::runKototext(argc, argv); }
