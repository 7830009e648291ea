#include "command_line.h"

#include <filesystem>

#include "html_massage.h"
#include "statement_translator.h"
#include "translation_driver.h"

namespace orvik::massage {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "Usage: OrvikMassage [FILE...]\n"
    "Without files, opens the window. With files, converts each one beside itself:\n"
    "  *.htm, *.html  HTML page to ASP Response.Write code, written to NAME.txt\n"
    "  anything else  PICK BASIC source to Visual Basic, written to NAME_VBconv.txt\n"
    "A result never replaces a file named here, another result of the same run, or a file\n"
    "that is no earlier result: it then goes to NAME_asp.txt or a numbered name, as printed.\n";

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> files;
  bool optionsDone = false;
  for (const std::string& arg : args) {
    if (!optionsDone && (arg == "-h" || arg == "--help")) {
      out << kUsage;
      return 0;
    }
    if (!optionsDone && arg == "--") {
      optionsDone = true;
      continue;
    }
    if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
      err << "OrvikMassage: unknown option " << arg << "\n" << kUsage;
      return 2;
    }
    files.push_back(arg);
  }
  if (files.empty()) {
    err << kUsage;
    return 2;
  }

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
