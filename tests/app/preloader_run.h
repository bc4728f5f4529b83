// One run of SETUP.EXE from a medium of its own: the copy of the program,
// its SETUP.TMP, a temporary location of its own (through TMP and TEMP), and
// what the stand-in installer and the window driver saw along the way.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "members.h"
#include "report.h"

enum class Driving {
  WaitForExit,                 // the installer's message ends the run
  AnswerBox,                   // a message box has to be answered first
  CloseWhenIdle,               // nothing comes back; the window is closed from its system menu
  AnswerBoxThenCloseWhenIdle,  // the box first, then nothing comes back
  Unattended,                  // nothing is looked at or answered: the run has to end by itself
};

struct Scenario {
  std::string Name;
  bool WithArchive = true;
  Bytes Archive;
  std::string Arguments;  // behind the program's name
  // What others put in the temporary location beforehand: relative paths,
  // a directory's with its trailing backslash, and the files' bytes.
  std::map<std::string, Bytes> PresetTemp;
  // A temporary location made before the run (a Windows path with its
  // trailing backslash; without it the run does not start); the run's own
  // fresh one when empty.
  std::string TempDir;
  Driving Drive = Driving::WaitForExit;
  DWORD IdleMs = 4000;  // how long an unanswered window is watched
  std::string StagingName = "_Orvane3d1\\";
  std::string Program;  // the SETUP.EXE put on the medium; the build's when empty
  // Not empty: the medium is the failing one of FailingMediumDir(), and
  // SETUP.TMP follows this plan of failing_medium.py: "gone N" (the disc
  // was taken out), "once N" (one read fails), "delay MS", "swap N LINK
  // TARGET" (LINK and TARGET as Windows paths).
  std::string MediumPlan;
  // Not empty: while the run lasts, c:\temp\ is a symbolic link to this
  // directory (a Windows path), made on the host before SETUP.EXE starts;
  // what was there is put back afterwards.
  std::string CTempLinkTo;
  // Runs after the others, one at a time: it uses the failing medium, or
  // changes c:\temp\, which other runs share.
  bool Alone = false;
  // SETUP.EXE runs in a window station of its own that is not visible, as
  // in a service's or a deployment's session: no user can answer a box.
  bool NonInteractive = false;
  // Not empty: TMP and TEMP name the directory of this name in the case's
  // directory, a name that the ANSI code page cannot hold.
  std::wstring UnicodeTempName;
};

// Relative path (directories end with '\') -> size, -1 for directories.
using Tree = std::map<std::string, long long>;

struct PreloaderRun {
  // What the test's side did and saw, in order, each line with the seconds
  // since the run began: the programs it started (and why one did not
  // start), what each driver found, how the preloader ended.
  std::vector<std::string> Steps;
  std::string MediumDir;  // with trailing backslash
  std::string TempDir;    // with trailing backslash; see UnicodeTempName
  std::string ReportPath;
  bool Ended = false;
  DWORD ExitCode = 0xFFFFFFFF;
  std::uint64_t InstallerGoneTime = 0;  // FILETIME, UTC; 0 while it was never seen go
  Report Installer;
  Report Window;
  Report Box;
  bool InstallerRanBeforeBoxAnswered = false;
  Tree TempTreeWhileBox;
  bool StillRunningWhenIdle = false;
  Tree TempTreeWhileIdle;
  Tree TempTree;               // after the end
  Tree MediumTree;             // after the end
  std::string CTempLinkAtEnd;  // where c:\temp\ led when the run ended (CTempLinkTo)
};

// Windows form of the helper programs' paths from the build.
std::string SetupExePath();
// Made by make_signed_medium.sh before the runs (Windows path, with trailing
// backslash): the signed SETUP.EXE and its SETUP.TMP, unsigned\ with the
// medium as setuppack made it, payload\ with what it packed.
std::string SignedMediumDir();
// An .ico file of the project, for the branded case.
std::string PublisherIconPath();
std::string StandinExePath();
// Made by make_all_taken.py before the runs (Windows path, with trailing
// backslash): temp\ holds _Orvane3d1 to _Orvane3d31999 as empty files and
// _Orvane3d32000\ with someone else's INSTALL.EXE (a stand-in installer)
// and its STANDIN.CFG, which would have it write their-report.txt here.
std::string AllTakenDir();
// A directory on a small file system of its own (tmpfs), mounted by
// mount_small_temp.sh before the runs: room for the stand-in installer and
// a little more (Windows path, with trailing backslash).
std::string SmallTempDir();
// A medium served by failing_medium.py, mounted before the runs: it shows
// what the run writes to FailingMediumSource() (Windows paths, with
// trailing backslash). One run at a time may use it.
std::string FailingMediumDir();
// Made by make_immutable_temp.sh before the runs: a directory that takes no
// file (Windows path, with trailing backslash).
std::string ImmutableTempDir();
// Why no such directory could be made; "" when it is there.
std::string ImmutableTempUnavailable();
std::string FailingMediumSource();
// Why the failing medium could not be mounted; "" when it is there.
std::string FailingMediumUnavailable();

// Runs the scenario in caseDir (with trailing backslash). Safe to call from
// several threads at once.
PreloaderRun RunPreloader(const Scenario& scenario, const std::string& caseDir);

Tree ListTree(const std::string& dir);
std::uint64_t FileTimeToNumber(const FILETIME& time);
