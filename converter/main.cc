// main.cc - kotobun: converts a Japanese text file to LaTeX or plain TeX.
#include <cstdio>

#include "converter/driver.h"

int main(int argc, char** argv) { return kotobun::runConverter(argc, argv, stdin, stdout); }
