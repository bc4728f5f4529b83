// All end-to-end runs of SETUP.EXE, started together before the first test
// (each run needs real seconds of waiting) and looked up by name.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "preloader_run.h"
#include "test_files.h"

struct PreloaderCase {
  std::unique_ptr<ScratchDir> Dir;
  Scenario Setup;
  std::map<std::string, Bytes> Members;  // plain contents by member name
  std::map<std::string, LocalTime> Times;
  PreloaderRun Run;
  std::string Failure;  // set when the run itself could not be carried out
};

// "Übersicht für Benutzer.txt" in code page 1252, a member of the protocol
// runs.
constexpr char UMLAUT_NAME_1252[] =
    "\xDC"
    "bersicht f\xFC"
    "r Benutzer.txt";

class PreloaderRuns : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  static const PreloaderCase& Get(const std::string& name);
};
