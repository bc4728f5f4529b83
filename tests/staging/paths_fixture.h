// The path helpers' results as strings, for the tests of paths_test.cpp and
// paths_steered_test.cpp.
#pragma once

#include <cstring>
#include <string>

#include "staging_fixture.h"

class PathsTest : public StagingTest {
 protected:
  // MakeTempFileName into a buffer full of 'x', so that a name left
  // unterminated would show.
  static std::string TempName(const char* prefix = "INS") {
    char out[PATH_BUFFER_SIZE];
    std::memset(out, 'x', sizeof out);
    MakeTempFileName(out, prefix);
    return out;
  }
  static std::string Directory() {
    char buffer[PATH_BUFFER_SIZE];
    return ModuleDirectory(buffer);
  }
  static std::string StagingRoot() { return FindStagingRoot().c_str(); }
};
