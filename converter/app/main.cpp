// OrvikMassage: the window without arguments, the command line with files.

#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "massage_window.h"

int main(int argc, char* argv[]) {
  if (argc > 1) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return orvik::massage::RunCommandLine(args, std::cout, std::cerr);
  }
  QApplication app(argc, argv);
  orvik::massage::frmOrvikMassage window;
  window.show();
  return app.exec();
}
