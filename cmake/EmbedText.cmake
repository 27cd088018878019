# Writes a text file into a C++ header as a character array, for a program to carry it inside
# itself:
#   cmake -DINPUT=<file> -DOUTPUT=<header> -DNAME=<identifier> -P EmbedText.cmake
# The header defines `inline constexpr char NAME[]`: the file's bytes, one character literal each,
# carriage returns left out (so that a checkout with Windows line ends gives the same text), then
# a terminating zero. An array of single characters rather than one string literal, so that no
# text of the file can end the literal early and no compiler's limit on a literal's length
# applies, whatever the target.
foreach(variable INPUT OUTPUT NAME)
  if(NOT ${variable})
    message(FATAL_ERROR "EmbedText.cmake: ${variable} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REPLACE "'\\x0d'," "" bytes "${bytes}")
# Sixteen characters a line (CMake's expressions have no counted repetition).
string(REPEAT "'\\\\x[0-9a-f][0-9a-f]'," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
get_filename_component(source "${INPUT}" NAME)

file(WRITE "${OUTPUT}.tmp"
  "// Generated at build time by cmake/EmbedText.cmake from ${source}: do not edit.\n"
  "#pragma once\n\n"
  "inline constexpr char ${NAME}[] = {\n    ${bytes}'\\0'};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
