# Writes INPUT into OUTPUT as the C++ array NAME and its size NAME Size, in
# namespace jasokit::cli. Run with cmake -P.
file(READ "${INPUT}" content HEX)
string(LENGTH "${content}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
string(REGEX REPLACE "((('\\\\x[0-9a-f][0-9a-f]',){16}))" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n\nnamespace jasokit::cli {\n\n"
     "extern const char ${NAME}[] = {\n${bytes}'\\0'};\nextern const std::size_t ${NAME}Size = ${size};\n\n}  // namespace jasokit::cli\n")
