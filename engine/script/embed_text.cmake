# Writes a C++ source that holds a text file as a character array, so that the engine
# carries the file and never reads it from disk at run time.
#   cmake -DIN=file -DOUT=source.cpp -DNAME=kName -P embed_text.cmake
file(READ "${IN}" text)
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
