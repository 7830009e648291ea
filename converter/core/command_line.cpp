#include "command_line.h"

#include <filesystem>

#include "html_massage.h"
#include "statement_translator.h"
#include "translation_driver.h"

namespace orvik::massage {

namespace fs = std::filesystem;

int ConvertFiles(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
  // No result may be written over a file named here, even one converted later in the run.
  OutputNames names;
  for (const std::string& file : files) names.AddInput(file);

  int status = 0;
  for (const std::string& file : files) {
    fs::path input(file);
    fs::path output;
    std::string passedOver;
    std::string error;
    if (IsHtmlPage(input)) {
      MassageResult r = MassageHtmlFile(input, names);
      output = r.output;
      passedOver = r.passedOver;
      error = r.error;
    } else {
      // Every file starts from a fresh translator: nothing of one file leaks into the next.
      StatementTranslator translator;
      TranslationMonitor monitor;
      ConversionResult r = PBtoVB(input, translator, monitor, names);
      output = r.output;
      passedOver = r.passedOver;
      error = r.error;
    }
    if (error.empty()) {
      out << file << " -> " << output.native();
      if (!passedOver.empty()) out << " (" << passedOver << ": not written over)";
      out << "\n";
    } else {
      err << "OrvikMassage: " << file << ": " << error << "\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace orvik::massage
