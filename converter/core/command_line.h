// OrvikMassage FILE...: each file converted by its kind, without a window. The program reads
// its options itself; this is what it does with the files named.

#ifndef ORVIK_CONVERTER_CORE_COMMAND_LINE_H_
#define ORVIK_CONVERTER_CORE_COMMAND_LINE_H_

#include <ostream>
#include <string>
#include <vector>

namespace orvik::massage {

// Converts every file of `files` (names, never options): pages (.htm, .html) into ASP text,
// anything else as PICK BASIC into Visual Basic. Says on `out` where each result went and on
// `err` why a file failed. Returns 0 when every file converted, else 1.
int ConvertFiles(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

}  // namespace orvik::massage

#endif  // ORVIK_CONVERTER_CORE_COMMAND_LINE_H_
