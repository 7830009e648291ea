# Writes a C++ source that holds a text file as a character array, so that the engine
# carries the file and never reads it from disk at run time.
#   cmake -DIN=file -DOUT=source.cpp -DNAME=kName [-DSKIP_FIRST_LINE=ON] -P embed_text.cmake
file(READ "${IN}" text)
if(SKIP_FIRST_LINE)
  string(FIND "${text}" "\n" eol)
  math(EXPR start "${eol} + 1")
  string(SUBSTRING "${text}" ${start} -1 text)
endif()
string(FIND "${text}" ")EMBEDDED\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} holds the raw string's closing delimiter")
endif()
file(WRITE "${OUT}.tmp"
  "// Made by the build from ${IN}: edit that file, not this one.\n"
  "namespace orvik {\n"
  "extern const char ${NAME}[];\n"
  "const char ${NAME}[] = R\"EMBEDDED(${text})EMBEDDED\";\n"
  "}  // namespace orvik\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
