# embed_package.cmake - writes the LaTeX package kotobun.sty into a C++ header as one string, so
# that kanjikit installs it without any file beside the program.
# Usage: cmake -DINPUT=kotobun.sty -DOUTPUT=package_text.h -P embed_package.cmake
file(READ "${INPUT}" text)
set(delimiter "kotobun")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds )${delimiter}\", which ends the raw string")
endif()
string(LENGTH "${text}" length)
file(WRITE "${OUTPUT}"
     "// package_text.h - written by embed_package.cmake from fontkit/kotobun.sty; do not edit.\n"
     "#ifndef FONTKIT_PACKAGE_TEXT_H_\n"
     "#define FONTKIT_PACKAGE_TEXT_H_\n\n"
     "#include <string_view>\n\n"
     "namespace fontkit {\n\n"
     "/// The bytes of kotobun.sty, the LaTeX package that the kit installs (${length} bytes).\n"
     "constexpr std::string_view kPackageText = R\"${delimiter}(${text})${delimiter}\";\n\n"
     "}  // namespace fontkit\n\n"
     "#endif  // FONTKIT_PACKAGE_TEXT_H_\n")
