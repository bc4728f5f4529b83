#include <iostream>

#include "commands/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  Console console{std::cout, std::cerr, StderrIsTerminal(), false};
  return RunSetuppack(args, console);
}
