// main.cc - fonttables: writes fontable.kjx, the catalogue of the kanji fonts.
#include <cstdio>

#include "fonttables/font_tables.h"

int main() { return fonttables::runFontTables(stdout); }
