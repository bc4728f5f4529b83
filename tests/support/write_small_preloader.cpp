// Writes the tests' small preloader (pe_file.h) to the file named: a
// Windows program that setuppack binds and brands like the real SETUP.EXE,
// for the script tests of the host build, which has none.
#include <cstdio>

#include "pe_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_small_preloader FILE\n");
    return 2;
  }
  WriteWholeFile(argv[1], SmallPreloader());
  return 0;
}
