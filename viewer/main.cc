// main.cc - skimpo: prints the strings that a PostScript file shows.
#include <cstdio>

#include "viewer/viewer.h"

int main(int argc, char** argv) { return skimpo::runViewer(argc, argv, stdout); }
