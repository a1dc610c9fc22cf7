# Turns one code-generation template source into a C++ file holding its bytes.
#
#   cmake -DINPUT=<template> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P embed_template.cmake
#
# Template sources are plain text with four readable escapes for the marker
# bytes of the template format (the bytes themselves are not valid UTF-8):
#
#   @[   DAH  start of a section
#   @]   D9H  end of a section
#   @P   85H  port-line slot: full "@Px.x", port only or two hex digits "@Px"
#   @C   84H  constant slot ("@Cxx" two hexadecimal digits, "@Cxxxx" four)
#
# Line ends become CR LF. Any other "@" stays as it is.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPLACE "0x0d,0x0a," "0x0a," bytes "${bytes}")
string(REPLACE "0x0a," "0x0d,0x0a," bytes "${bytes}")
string(REPLACE "0x40,0x5b," "0xda," bytes "${bytes}")
string(REPLACE "0x40,0x5d," "0xd9," bytes "${bytes}")
string(REPLACE "0x40,0x50," "0x85," bytes "${bytes}")
string(REPLACE "0x40,0x43," "0x84," bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${SYMBOL} by embed_template.cmake; do not edit.\n"
"#include <cstddef>\n\n"
"namespace quorvel::templates {\n"
"extern const unsigned char ${SYMBOL}[] = {\n    ${bytes}0x00};\n"
"extern const std::size_t ${SYMBOL}_size = sizeof(${SYMBOL}) - 1;\n"
"} // namespace quorvel::templates\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
