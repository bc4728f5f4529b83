// The command line: setuppack COMMAND [OPTIONS] ARGUMENTS.
#pragma once

#include <string>
#include <vector>

#include "base/console.h"

// args excludes the program's name. Console.Quiet is set from -q here.
int RunSetuppack(const std::vector<std::string>& args, Console console);
