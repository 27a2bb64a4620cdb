// skimpo_fuzz.cc - runs the viewer over arbitrary bytes as a PostScript file.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "viewer/viewer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::FILE* sink = std::fopen("/dev/null", "w");
  if (sink == nullptr) return 0;
  // Read-only: fmemopen never writes through the pointer in mode "rb".
  std::FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (in == nullptr) return 0;
  skimpo::ViewerBuffers buffers;
  skimpo::obtainBuffers(buffers, stdout);
  skimpo::showStrings(in, sink, buffers);
  skimpo::releaseBuffers(buffers);
  std::fclose(in);
  return 0;
}
