// Prints the whole-program counts for PICK BASIC sources: corpus_counts [-v] FILE...
// The same checks the corpus test asserts, for a before-and-after look at any programs.

#include <iostream>
#include <string>
#include <vector>

#include "program_check.h"
#include "source_files.h"

int main(int argc, char** argv) {
  using namespace orvik::massage;
  bool verbose = false;
  corpus::ProgramCounts total;
  std::cout << "labels-lost comments-as-code unbalanced-blocks untranslated file\n";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-v") {
      verbose = true;
      continue;
    }
    std::string bytes;
    std::string error;
    if (!ReadWholeFile(arg, bytes, error)) {
      std::cerr << arg << ": " << error << "\n";
      return 1;
    }
    corpus::ProgramCounts c = corpus::ConvertAndCheck(SplitLines(bytes));
    std::cout << c.labelsLost << " " << c.commentsAsCode << " " << c.unbalancedBlocks << " "
              << c.untranslated << " " << arg << "\n";
    if (verbose) {
      for (const std::string& note : c.notes) std::cout << "    " << note << "\n";
    }
    total += c;
  }
  std::cout << total.labelsLost << " " << total.commentsAsCode << " " << total.unbalancedBlocks
            << " " << total.untranslated << " total\n";
  return 0;
}
