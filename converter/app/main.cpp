// OrvikMassage: the window without arguments, the command line with files.

#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "massage_window.h"
#include "program_command_line.h"

int main(int argc, char* argv[]) {
  orvik::program::CommandLine commandLine(
      "OrvikMassage",
      "Converts PICK BASIC source to Visual Basic and HTML pages to ASP Response.Write code.\n"
      "Without files, opens the window. With files, converts each one beside itself.");
  QCommandLineParser& parser = commandLine.Parser();
  parser.addPositionalArgument("FILE",
                               "*.htm, *.html: a page, written to NAME.txt; anything else: PICK "
                               "BASIC, written to NAME_VBconv.txt.",
                               "[FILE...]");
  commandLine.SetHelpNotes(
      "A result never replaces a file named here, another result of the same run, or a file\n"
      "that is no earlier result: it then goes to NAME_asp.txt or a numbered name, as printed.\n"
      "After -- every argument is a file, even one that begins with a dash.");
  if (const auto status = commandLine.Read(argc, argv)) return *status;

  const QStringList files = parser.positionalArguments();
  if (files.isEmpty() && argc > 1) return commandLine.UsageError("No file named.");
  if (!files.isEmpty()) {
    std::vector<std::string> names;
    for (const QString& file : files) names.push_back(file.toLocal8Bit().toStdString());
    return orvik::massage::ConvertFiles(names, std::cout, std::cerr);
  }
  int appArgc = 1;
  QApplication app(appArgc, argv);
  orvik::massage::frmOrvikMassage window;
  window.show();
  return app.exec();
}
