// One damaged SETUP.TMP, read twice: by ExtractArchive on the Win32
// stand-in (module d:\SETUP.EXE, staging below c:\windows\temp\), and by
// setuppack's `test`, `list` and `extract` in-process. Both runs record what
// they did and what appeared on the disk outside the place they may write.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "extract.h"
#include "setuppack_runner.h"
#include "sample_container.h"
#include "standin_fixture.h"

extern const char STAGING[];  // c:\windows\temp\_Orvane3d1\ .

struct PreloaderRun {
  ExtractResult Result = ExtractResult::StagingRefused;
  std::vector<ShownMessage> Messages;
  std::vector<StartedProgram> Started;
  std::map<std::string, Bytes> Staged;  // the staging directory, Install.ini aside
  std::string InstallIni;               // "" when there is none
  std::vector<std::string> Outside;     // host paths that appeared elsewhere
};

// What ExtractArchive must have done: written exactly `Files` (Install.ini
// aside) and, when `Loose` is set, a failing member's file whose bytes are a
// prefix of `Reference` (the decoding stopped early) or extend it (the
// decoding read on behind the member); shown the message when `Message`.
struct Expected {
  enum Kind { PREFIX, EXTENSION };
  std::map<std::string, Bytes> Files;
  std::string Loose;
  Kind LooseKind = PREFIX;
  Bytes Reference;
  bool Message = false;
  std::string Caption;

  // The sample's members with these names, whole.
  static Expected Whole(const std::vector<std::string>& names);
  Expected& With(const std::string& name, const Bytes& content);
  Expected& FailsAt(const std::string& caption);  // the message, this caption
  Expected& LooseFile(const std::string& name, Kind kind, const Bytes& reference);
};

struct ToolRuns {
  RunResult Test, List, Extract;
  std::map<std::string, Bytes> Extracted;  // below the target directory
  std::vector<std::string> Outside;        // host paths that appeared elsewhere
};

// Exit codes expected from setuppack; DONT_CARE where the outcome hangs on
// bytes that damage made meaningless (reading on inside a token stream).
constexpr int DONT_CARE = -1;
struct ToolsExpected {
  int Test;
  int List;
  int Extract;
  std::string Says = "";  // what `test`'s message must hold when it fails
};

class DamageTest : public StandinTest {
 protected:
  // `tempDirectory`: the temporary path the system reports, made first.
  PreloaderRun RunPreloader(const Bytes& container, const std::string& tempDirectory = "c:\\windows\\temp\\");
  ToolRuns RunTools(const Bytes& container);

  // Both runs, held to their expectations. `extractWhole`: every file that
  // `extract` wrote is a sample member with its original bytes.
  void Check(const Bytes& container, const Expected& preloader, const ToolsExpected& tools,
             bool extractWhole = true);
  void CheckPreloader(const PreloaderRun& run, const Expected& expected);
  void CheckTools(const ToolRuns& runs, const ToolsExpected& expected, bool extractWhole);

  const SampleContainer& sample_ = SampleContainer::Get();
};
