// main.cc - kanjikit: writes the kanji font family for TeX and dvipdfmx into a TeX tree.
#include <cstdio>

#include "fontkit/kit.h"

int main(int argc, char** argv) { return fontkit::runKit(argc, argv, stdout); }
