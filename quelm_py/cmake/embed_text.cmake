# Turns a text file into a C++ source defining `extern const char SYMBOL[]`, the file's
# bytes followed by a terminating NUL. Hex bytes keep any character of the input
# (quotes, backslashes, non-ASCII) out of the C++ lexer's way.
#
# Usage: cmake -DINPUT=in.py -DOUTPUT=out.cpp -DSYMBOL=name -P embed_text.cmake

file(READ "${INPUT}" content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
string(REGEX REPLACE "(([^,]*,){16})" "\\1\n    " bytes "${bytes}")
get_filename_component(source_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
     "// Generated from ${source_name} by embed_text.cmake; do not edit.\n"
     "namespace quelm {\n"
     "extern const char ${SYMBOL}[];\n"
     "const char ${SYMBOL}[] = {\n    ${bytes}'\\0'};\n"
     "} // namespace quelm\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
