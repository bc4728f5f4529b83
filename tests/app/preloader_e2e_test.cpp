// SETUP.EXE run end to end: a medium with SETUP.EXE and SETUP.TMP, a stand-in
// INSTALL.EXE inside the container, and a driver for the preloader's windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "preloader_runs.h"

namespace {

constexpr char WAITING_TITLE[] = "Bitte warten. Installation wird vorbereitet...";
// The title of a run that failed, and the sentences of its boxes, as the
// window driver reports them (UTF-8).
constexpr char FAILED_TITLE[] = "Installation nicht m\xC3\xB6glich";
constexpr char ARCHIVE_MISSING[] = "Die Installationsdaten wurden nicht gefunden:";
constexpr char NOT_BOUND_CONTAINER[] =
    "Die Installationsdaten geh\xC3\xB6ren nicht zu diesem Setup-Programm:";
constexpr char NO_STAGING_DIRECTORY[] =
    "F\xC3\xBCr die Installation konnte kein sicheres Verzeichnis angelegt werden:";
constexpr char INSTALLER_NOT_STARTED[] = "Das Installationsprogramm konnte nicht gestartet werden:";
// The exit codes of runs that started nothing.
constexpr DWORD EXIT_NO_CONTAINER = 2, EXIT_NOT_BOUND_CONTAINER = 3, EXIT_NO_STAGING_DIRECTORY = 4,
                EXIT_INSTALLER_NOT_STARTED = 5, EXIT_MEMBER_FAILED = 6;
constexpr std::uint64_t MS = 10000;  // FILETIME ticks per millisecond

std::string TimeText(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                t.Second);
  return text;
}

// "NAME|size|time" as the stand-in lists it. An empty member carries no
// data to decode, and its file keeps the time of its creation.
std::string Expected(const PreloaderCase& c, const std::string& name) {
  std::size_t size = c.Members.at(name).size();
  return name + "|" + std::to_string(size) + "|" + (size ? TimeText(c.Times.at(name)) : "");
}

// An entry without the times the run itself makes: Install.ini's and an
// empty member's file take the time of their creation, which differs from
// run to run.
std::string Listed(const std::string& entry) {
  if (entry.rfind("Install.ini|", 0) == 0) return "Install.ini";
  return entry.find("|0|") != std::string::npos ? entry.substr(0, entry.rfind('|') + 1) : entry;
}

std::set<std::string> ListedFiles(const Report& installer) {
  std::set<std::string> files;
  for (const std::string& f : installer.All("file")) files.insert(Listed(f));
  return files;
}

// A run that ended by itself or after its window was closed, with the exit
// code of its cause: 0 when the installer was started.
const PreloaderCase& Ended(const std::string& name, DWORD exitCode = 0) {
  const PreloaderCase& c = PreloaderRuns::Get(name);
  EXPECT_EQ(c.Failure, "") << name;
  EXPECT_TRUE(c.Run.Ended) << name << ": SETUP.EXE did not end";
  EXPECT_EQ(c.Run.ExitCode, exitCode) << name;
  return c;
}

// The installer's view of the staging directory: every member complete, with
// its time, and Install.ini.
void ExpectMembersHandedOver(const PreloaderCase& c) {
  std::set<std::string> expected = {"Install.ini"};
  for (const auto& m : c.Members) expected.insert(Expected(c, m.first));
  EXPECT_EQ(ListedFiles(c.Run.Installer), expected) << c.Setup.Name;
}

// The tree with Install.ini checked for being there and then left out: its
// bytes are the profile writer's business.
Tree WithoutIni(const Tree& tree, const std::string& staging) {
  Tree rest = tree;
  auto ini = rest.find(staging + "Install.ini");
  EXPECT_TRUE(ini != rest.end() && ini->second > 0) << "Install.ini missing or empty";
  if (ini != rest.end()) rest.erase(ini);
  return rest;
}

void ExpectLeftAfterCleanUp(const PreloaderCase& c, const std::string& staging) {
  Tree expected = {{staging, -1}};
  for (const auto& m : c.Members) {
    if (m.first == "INSTALL.EXE") continue;
    expected[staging + m.first] = static_cast<long long>(m.second.size());
    EXPECT_EQ(ReadWholeFile(c.Run.TempDir + staging + m.first), m.second) << m.first;
  }
  EXPECT_EQ(WithoutIni(c.Run.TempTree, staging), expected) << c.Setup.Name;
}

// The installer's file goes with the clean-up, never before 3 s after the
// message (the watch polls every 20 ms). How much later depends on how busy
// the machine is: the message, the timer and the watch can each come late,
// so the upper limit is only far below the run's own time limit.
void ExpectCleanUpDelayedFrom(const PreloaderCase& c, std::uint64_t posted) {
  ASSERT_NE(c.Run.InstallerGoneTime, 0u) << "INSTALL.EXE was not seen to go";
  ASSERT_GT(c.Run.InstallerGoneTime, posted);
  EXPECT_GE(c.Run.InstallerGoneTime - posted, 2950 * MS);
  EXPECT_LE(c.Run.InstallerGoneTime - posted, 15000 * MS);
}

std::string InstallerPathOf(const PreloaderCase& c, const std::string& staging) {
  return c.Run.TempDir + staging + "INSTALL.EXE";
}

// The entries of an SDDL DACL ("D:P(A;OICI;FA;;;SY)(...)"), each split at
// its semicolons: type, flags, rights, object, inherited object, trustee.
std::vector<std::vector<std::string>> DaclEntries(const std::string& sddl) {
  std::vector<std::vector<std::string>> entries;
  for (std::size_t open = sddl.find('('); open != std::string::npos; open = sddl.find('(', open + 1)) {
    std::string entry = sddl.substr(open + 1, sddl.find(')', open) - open - 1);
    std::vector<std::string> fields;
    for (std::size_t at = 0;; at = entry.find(';', at) + 1) {
      fields.push_back(entry.substr(at, entry.find(';', at) - at));
      if (entry.find(';', at) == std::string::npos) break;
    }
    entries.push_back(fields);
  }
  return entries;
}

// A box for a run that started nothing: no owner, the failed title, the
// cause's sentence and the path, OK only.
void ExpectFailureBox(const Report& box, const std::string& sentence, const std::string& path) {
  ASSERT_EQ(box.Get("found"), "1") << "no message box";
  EXPECT_EQ(box.Get("window.title"), FAILED_TITLE);
  EXPECT_EQ(box.Get("window.owner"), "0");
  EXPECT_EQ(box.All("box.text"), std::vector<std::string>{sentence + "\\n" + path});
  EXPECT_EQ(box.All("box.button"), std::vector<std::string>{"OK|1"});
}

// A box of the definition's own: no owner, the decode-error text, OK only.
void ExpectDecodeErrorBox(const Report& box, const std::string& caption) {
  ASSERT_EQ(box.Get("found"), "1") << "no message box";
  EXPECT_EQ(box.Get("window.title"), caption);
  EXPECT_EQ(box.Get("window.owner"), "0");
  EXPECT_EQ(box.All("box.text"), std::vector<std::string>{"Fehler beim Decodieren!"});
  EXPECT_EQ(box.All("box.button"), std::vector<std::string>{"OK|1"});
}

}  // namespace

class FullProtocol : public ::testing::TestWithParam<const char*> {};

TEST_P(FullProtocol, HandsTheInstallerItsFilesIniAndCommandLine) {
  const PreloaderCase& c = Ended(GetParam());
  const Report& seen = c.Run.Installer;
  ASSERT_TRUE(seen.Exists()) << "the installer did not run";
  EXPECT_EQ(seen.Get("done"), "1");

  ExpectMembersHandedOver(c);
  EXPECT_EQ(seen.Get("ini.sections"), "STANDARD");
  EXPECT_EQ(seen.Get("ini.standard"), "INST_PATH=" + c.Run.MediumDir);
  EXPECT_EQ(seen.Get("ini.inst_path"), c.Run.MediumDir);

  // The DLL search a program started by the user gets: SETUP.EXE's own
  // narrowing does not pass on. The current directory is SETUP.EXE's, where
  // the user started it.
  EXPECT_EQ(seen.Get("dll_directory"), "");
  EXPECT_EQ(seen.Get("current_directory") + "\\", c.Dir->Path());

  // The handle on the command line is the waiting window the driver found.
  std::string handle = c.Run.Window.Get("window.handle");
  ASSERT_FALSE(handle.empty());
  EXPECT_EQ(seen.Get("command_line"), InstallerPathOf(c, "_Orvane3d1\\") + " " + handle);
}

TEST_P(FullProtocol, ShowsTheWaitingWindowCentred) {
  const PreloaderCase& c = Ended(GetParam());
  const Report& seen = c.Run.Installer;
  ASSERT_TRUE(seen.Exists());
  EXPECT_EQ(seen.Get("window.class"), "Orvane 3D-Preloader");
  EXPECT_EQ(seen.Get("window.title"), WAITING_TITLE);
  EXPECT_EQ(seen.Get("window.visible"), "1");
  unsigned long style = static_cast<unsigned long>(seen.Number("window.style"));
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), static_cast<unsigned long>(WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(seen.Number("window.exstyle") & ~static_cast<unsigned long long>(WS_EX_WINDOWEDGE), 0u);
  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 175, y = GetSystemMetrics(SM_CYSCREEN) / 2 - 25;
  EXPECT_EQ(seen.Get("window.rect"), std::to_string(x) + " " + std::to_string(y) + " 350 50");

  EXPECT_EQ(seen.Get("class.style"), std::to_string(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(seen.Number("class.extra"), sizeof(void*));
}

TEST_P(FullProtocol, DeletesOnlyTheInstallerThreeSecondsAfterItsMessage) {
  const PreloaderCase& c = Ended(GetParam());
  ASSERT_EQ(c.Run.Installer.All("posted").size(), 1u);
  std::uint64_t posted = c.Run.Installer.Number("posted");
  ExpectCleanUpDelayedFrom(c, posted);
  ExpectLeftAfterCleanUp(c, "_Orvane3d1\\");
  EXPECT_EQ(c.Run.MediumTree, (Tree{{"SETUP.EXE", c.Run.MediumTree.at("SETUP.EXE")},
                                    {"SETUP.TMP", static_cast<long long>(c.Setup.Archive.size())}}));
}

std::string ProtocolName(const ::testing::TestParamInfo<const char*>& param) {
  const char* names[] = {"NoArguments", "WithArguments", "Bound", "BoundAndBranded",
                         "BoundAndSignedAfterMedium"};
  return names[param.index];
}

INSTANTIATE_TEST_SUITE_P(Preloader, FullProtocol,
                         ::testing::Values("protocol", "protocol-with-arguments", "bound", "branded",
                                           "signed"),
                         ProtocolName);

// A bound SETUP.EXE beside another container: the box names SETUP.TMP, what
// the run unpacked is gone before it, nothing starts, and the window waits
// until it is closed.
class BoundElsewhere : public ::testing::TestWithParam<const char*> {};

TEST_P(BoundElsewhere, TheBoxNamesSetupTmpAndNothingOfTheRunStays) {
  const PreloaderCase& c = Ended(GetParam(), EXIT_NOT_BOUND_CONTAINER);
  ExpectFailureBox(c.Run.Box, NOT_BOUND_CONTAINER, c.Run.MediumDir + "SETUP.TMP");
  EXPECT_EQ(c.Run.TempTreeWhileBox, Tree{});
  EXPECT_FALSE(c.Run.InstallerRanBeforeBoxAnswered);
  EXPECT_EQ(c.Run.Window.Get("window.title"), FAILED_TITLE);
  EXPECT_TRUE(c.Run.StillRunningWhenIdle);
  EXPECT_EQ(c.Run.TempTree, Tree{});
  EXPECT_FALSE(c.Run.Installer.Exists());
}

std::string ElsewhereName(const ::testing::TestParamInfo<const char*>& param) {
  const char* names[] = {"AnotherContainer", "OneByteChanged", "OneByteAppended"};
  return names[param.index];
}

INSTANTIATE_TEST_SUITE_P(Preloader, BoundElsewhere,
                         ::testing::Values("bound-other", "bound-changed", "bound-appended"), ElsewhereName);

// A name in code page 1252 is written as the ANSI calls take it: under a
// Windows of that code page (the tests' Wine), the file carries the Unicode
// name, which is also the name Linux shows.
TEST(Preloader, ANameInTheUsersCodePageIsTheFileOfThatName) {
  const PreloaderCase& c = Ended("protocol");
  ASSERT_EQ(GetACP(), 1252u) << "the tests' Wine runs in another code page";
  std::wstring staged(c.Run.TempDir.begin(), c.Run.TempDir.end());
  staged += L"_Orvane3d1\\\u00DCbersicht f\u00FCr Benutzer.txt";
  EXPECT_NE(GetFileAttributesW(staged.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadWholeFile(c.Run.TempDir + "_Orvane3d1\\" + UMLAUT_NAME_1252), BytesOf("Hallo"));
}

// Mended: a temporary directory that exists but takes no file, and one that
// the ANSI calls cannot name, are treated as missing: staging goes to
// c:\temp\, and the run ends as any other.
class UnusableTemp : public ::testing::TestWithParam<const char*> {};

TEST_P(UnusableTemp, StagesInTheFallbackAndEndsClean) {
  if (std::string(GetParam()) == "immutable-temp" && !ImmutableTempUnavailable().empty())
    GTEST_SKIP() << ImmutableTempUnavailable();
  const PreloaderCase& c = Ended(GetParam());
  const Report& seen = c.Run.Installer;
  ASSERT_TRUE(seen.Exists()) << "the installer did not run";
  std::string staged = seen.Get("command_line");
  EXPECT_EQ(staged.rfind("c:\\temp\\_Orvane3d", 0), 0u) << staged;
  ExpectMembersHandedOver(c);
  std::string directory = staged.substr(0, staged.find("INSTALL.EXE"));
  EXPECT_EQ(GetFileAttributesA(directory.c_str()), INVALID_FILE_ATTRIBUTES)
      << "the emptied " << directory << " stays";
  EXPECT_EQ(c.Run.TempTree, Tree{});
}

INSTANTIATE_TEST_SUITE_P(Preloader, UnusableTemp, ::testing::Values("immutable-temp", "cyrillic-temp"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.index == 0 ? "TakesNoFile" : "NamedOutsideTheCodePage");
                         });

TEST(Preloader, ArgumentsChangeNothing) {
  const Report& plain = Ended("protocol").Run.Installer;
  const Report& with = Ended("protocol-with-arguments").Run.Installer;
  // Files the run itself makes carry the second of their making; the two
  // runs need not share it.
  EXPECT_EQ(ListedFiles(plain), ListedFiles(with));
  EXPECT_EQ(plain.Get("window.rect"), with.Get("window.rect"));
  EXPECT_EQ(plain.Get("window.style"), with.Get("window.style"));
}

TEST(Preloader, RemovesTheStagingDirectoryTheInstallerEmptied) {
  const PreloaderCase& c = Ended("emptied");
  // The plain file _Orvane3d1 is taken for a used name.
  EXPECT_EQ(c.Run.Installer.Get("command_line").rfind(InstallerPathOf(c, "_Orvane3d2\\") + " ", 0), 0u)
      << c.Run.Installer.Get("command_line");
  ExpectCleanUpDelayedFrom(c, c.Run.Installer.Number("posted"));
  EXPECT_EQ(c.Run.TempTree, (Tree{{"_Orvane3d1", 10}}));
  EXPECT_EQ(ReadWholeFile(c.Run.TempDir + "_Orvane3d1"), BytesOf("_Orvane3d1"));
}

TEST(Preloader, ASecondMessageStartsTheDelayAnew) {
  const PreloaderCase& c = Ended("twice");
  ASSERT_EQ(c.Run.Installer.All("posted").size(), 2u);
  std::uint64_t first = c.Run.Installer.Number("posted", 0), second = c.Run.Installer.Number("posted", 1);
  EXPECT_GE(second - first, 1900 * MS);
  ExpectCleanUpDelayedFrom(c, second);
  ExpectLeftAfterCleanUp(c, "_Orvane3d1\\");
}

// Mended: without SETUP.TMP the box says so and names the file; the window
// then waits until it is closed, the empty directory stays, and the exit
// code tells a deployment that nothing was started.
TEST(Preloader, WithoutArchiveTheBoxNamesItAndTheWindowWaits) {
  const PreloaderCase& c = Ended("missing-archive", EXIT_NO_CONTAINER);
  ExpectFailureBox(c.Run.Box, ARCHIVE_MISSING, c.Run.MediumDir + "SETUP.TMP");
  EXPECT_EQ(c.Run.Window.Get("window.title"), FAILED_TITLE);
  EXPECT_TRUE(c.Run.StillRunningWhenIdle);
  EXPECT_EQ(c.Run.TempTreeWhileIdle, (Tree{{"_Orvane3d1\\", -1}}));
  EXPECT_EQ(c.Run.TempTree, (Tree{{"_Orvane3d1\\", -1}}));
  EXPECT_FALSE(c.Run.Installer.Exists());
}

TEST(Preloader, AFailingMemberIsReportedAndEndsExtraction) {
  const PreloaderCase& c = Ended("failing-member");
  ExpectDecodeErrorBox(c.Run.Box, c.Run.TempDir + "_Orvane3d1\\BAD.BIN");

  // While the box is open nothing has been started and LATER.BIN is not read.
  EXPECT_FALSE(c.Run.InstallerRanBeforeBoxAnswered);
  EXPECT_EQ(c.Run.TempTreeWhileBox.count("_Orvane3d1\\LATER.BIN"), 0u);
  EXPECT_EQ(c.Run.TempTreeWhileBox.count("_Orvane3d1\\Install.ini"), 0u);

  // After OK the installer runs all the same.
  ASSERT_TRUE(c.Run.Installer.Exists());
  EXPECT_EQ(c.Run.TempTree.count("_Orvane3d1\\LATER.BIN"), 0u);
  EXPECT_EQ(c.Run.TempTree.count("_Orvane3d1\\INSTALL.EXE"), 0u);
  EXPECT_EQ(ReadWholeFile(c.Run.TempDir + "_Orvane3d1\\GOOD.BIN"), c.Members.at("GOOD.BIN"));
}

// Mended: an installer that cannot be started (an entry count with its top
// bit set means no entries, so none was unpacked; or its file is no program)
// gets the box with its path; what the run unpacked is gone before the box,
// and the window then waits until it is closed.
class InstallerNotStarted : public ::testing::TestWithParam<const char*> {};

TEST_P(InstallerNotStarted, TheBoxNamesItAndNothingOfTheRunStays) {
  const PreloaderCase& c = Ended(GetParam(), EXIT_INSTALLER_NOT_STARTED);
  ExpectFailureBox(c.Run.Box, INSTALLER_NOT_STARTED, InstallerPathOf(c, "_Orvane3d1\\"));
  EXPECT_EQ(c.Run.TempTreeWhileBox, Tree{});
  EXPECT_EQ(c.Run.Window.Get("window.title"), FAILED_TITLE);
  EXPECT_TRUE(c.Run.StillRunningWhenIdle);
  EXPECT_EQ(c.Run.TempTree, Tree{});
  EXPECT_FALSE(c.Run.Installer.Exists());
}

INSTANTIATE_TEST_SUITE_P(Preloader, InstallerNotStarted, ::testing::Values("count-0x8000", "not-a-program"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.index == 0 ? "CountWithTheTopBitSet" : "NotAProgram");
                         });

TEST(Preloader, AMemberNameWithDotDotIsRefused) {
  const PreloaderCase& c = Ended("dot-dot");
  ASSERT_EQ(c.Run.Box.Get("found"), "1") << "no message box";
  EXPECT_EQ(c.Run.Box.Get("window.title"), c.Run.TempDir + "_Orvane3d1\\..\\ESCAPED.BIN");
  EXPECT_EQ(c.Run.Box.All("box.text"), std::vector<std::string>{"Fehler beim Decodieren!"});
  ASSERT_TRUE(c.Run.Installer.Exists());
  // Nothing beside the staging directory, nothing after the refused member.
  Tree expected = {{"_Orvane3d1\\", -1},
                   {"_Orvane3d1\\STANDIN.CFG", static_cast<long long>(c.Members.at("STANDIN.CFG").size())}};
  EXPECT_EQ(WithoutIni(c.Run.TempTree, "_Orvane3d1\\"), expected);
  EXPECT_EQ(GetFileAttributesA((c.Dir->Path() + "ESCAPED.BIN").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Mended: a member named like a device is refused like one with "..".
TEST(Preloader, AnEmptyMemberNamedNulGetsTheBox) {
  const PreloaderCase& c = Ended("device-name");
  ExpectDecodeErrorBox(c.Run.Box, c.Run.TempDir + "_Orvane3d1\\NUL");
  ASSERT_TRUE(c.Run.Installer.Exists());
  Tree expected = {{"_Orvane3d1\\", -1},
                   {"_Orvane3d1\\STANDIN.CFG", static_cast<long long>(c.Members.at("STANDIN.CFG").size())}};
  EXPECT_EQ(WithoutIni(c.Run.TempTree, "_Orvane3d1\\"), expected);
}

// Mended: the staging directory is private. Wine keeps no more of a DACL
// than the Unix permissions say (the user's entry and SYSTEM's, no
// protection flag), but it shows whether anyone else may read: before,
// Everyone could.
TEST(Preloader, TheStagingDirectoryGivesNothingToOtherUsers) {
  const Report& seen = Ended("protocol").Run.Installer;
  ASSERT_TRUE(seen.Exists());
  std::string dacl = seen.Get("dir.dacl"), user = seen.Get("user.sid");
  ASSERT_EQ(dacl.rfind("D:", 0), 0u) << dacl;
  ASSERT_FALSE(user.empty());
  bool userFound = false;
  for (const std::vector<std::string>& entry : DaclEntries(dacl)) {
    ASSERT_EQ(entry.size(), 6u) << dacl;
    const std::string& trustee = entry[5];
    EXPECT_TRUE(trustee == user || trustee == "SY" || trustee == "BA") << dacl;
    for (const char* others : {"WD", "BU", "AU", "IU", "S-1-1-0", "S-1-5-32-545", "S-1-5-11", "S-1-5-4"})
      EXPECT_NE(trustee, others) << dacl;
    userFound = userFound || (trustee == user && entry[0] == "A" && entry[2] == "FA");
  }
  EXPECT_TRUE(userFound) << dacl;
}

// Mended: directories and files that others made at staging names are
// passed over and left exactly as they were; their installer never runs.
TEST(Preloader, StagingNamesTakenBeforehandAreSkippedAndUntouched) {
  const PreloaderCase& c = Ended("taken-before");
  ASSERT_TRUE(c.Run.Installer.Exists()) << "the installer did not run";
  EXPECT_EQ(c.Run.Installer.Get("command_line").rfind(InstallerPathOf(c, "_Orvane3d3\\") + " ", 0), 0u)
      << c.Run.Installer.Get("command_line");
  ExpectMembersHandedOver(c);
  ExpectCleanUpDelayedFrom(c, c.Run.Installer.Number("posted"));

  Tree expected = {{"_Orvane3d3\\", -1}};
  for (const auto& m : c.Members)
    if (m.first != "INSTALL.EXE")
      expected["_Orvane3d3\\" + m.first] = static_cast<long long>(m.second.size());
  for (const auto& theirs : c.Setup.PresetTemp) {
    bool directory = theirs.first.back() == '\\';
    expected[theirs.first] = directory ? -1 : static_cast<long long>(theirs.second.size());
    if (!directory) {
      EXPECT_EQ(ReadWholeFile(c.Run.TempDir + theirs.first), theirs.second) << theirs.first;
    }
  }
  EXPECT_EQ(WithoutIni(c.Run.TempTree, "_Orvane3d3\\"), expected);
  EXPECT_FALSE(Report::Read(c.Dir->Path() + "their-report.txt").Exists());
}

// Mended: with every name taken, the last by someone else's directory with
// their installer, nothing is written there and nothing started; the box
// tells the user, and the window then waits until it is closed.
TEST(Preloader, AllStagingNamesTakenGetTheBoxAndNothingIsWrittenOrStarted) {
  const PreloaderCase& c = Ended("all-taken", EXIT_NO_STAGING_DIRECTORY);
  std::string theirs = "_Orvane3d32000\\";
  ExpectFailureBox(c.Run.Box, NO_STAGING_DIRECTORY, c.Run.TempDir + theirs);
  EXPECT_FALSE(c.Run.InstallerRanBeforeBoxAnswered);
  EXPECT_EQ(c.Run.Window.Get("window.title"), FAILED_TITLE);
  EXPECT_TRUE(c.Run.StillRunningWhenIdle);

  // 31,999 empty files and their directory, as they were made.
  EXPECT_EQ(c.Run.TempTree.size(), 32002u);
  EXPECT_EQ(c.Run.TempTree.count("_Orvane3d31999"), 1u);
  Tree theirDirectory;
  for (const auto& entry : c.Run.TempTree)
    if (entry.first.rfind(theirs, 0) == 0) theirDirectory.insert(entry);
  Bytes installer = ReadWholeFile(StandinExePath());
  EXPECT_EQ(theirDirectory, (Tree{{theirs, -1},
                                  {theirs + "INSTALL.EXE", static_cast<long long>(installer.size())},
                                  {theirs + "STANDIN.CFG", theirDirectory[theirs + "STANDIN.CFG"]}}));
  EXPECT_EQ(ReadWholeFile(c.Run.TempDir + theirs + "INSTALL.EXE"), installer);
  EXPECT_EQ(c.Run.InstallerGoneTime, 0u);
  EXPECT_FALSE(Report::Read(AllTakenDir() + "their-report.txt").Exists());
  EXPECT_FALSE(c.Run.Installer.Exists());
}

// Faults of the machine, as the definition has them: the member that did
// not fit or could not be read gets the box, the members before it are
// complete, the installer starts with what was unpacked, and its message
// ends the run.
class MachineFault : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(MachineFault, TheBoxNamesTheMemberAndTheInstallerRunsAllTheSame) {
  if (std::string(GetParam().first) == "taken-out" && !FailingMediumUnavailable().empty())
    GTEST_SKIP() << FailingMediumUnavailable();
  const PreloaderCase& c = Ended(GetParam().first);
  const std::string failing = GetParam().second;
  ExpectDecodeErrorBox(c.Run.Box, c.Run.TempDir + "_Orvane3d1\\" + failing);
  EXPECT_FALSE(c.Run.InstallerRanBeforeBoxAnswered);

  ASSERT_TRUE(c.Run.Installer.Exists()) << "the installer did not run";
  ASSERT_EQ(c.Run.Installer.All("posted").size(), 1u);
  ExpectCleanUpDelayedFrom(c, c.Run.Installer.Number("posted"));
  // Every case puts the failing member just before LATER.BIN.
  for (const auto& m : c.Members) {
    if (m.first == failing || m.first == "LATER.BIN" || m.first == "INSTALL.EXE") continue;
    EXPECT_EQ(ReadWholeFile(c.Run.TempDir + "_Orvane3d1\\" + m.first), m.second) << m.first;
  }
  EXPECT_EQ(c.Run.TempTree.count("_Orvane3d1\\LATER.BIN"), 0u);
  EXPECT_EQ(c.Run.TempTree.count("_Orvane3d1\\INSTALL.EXE"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Preloader, MachineFault,
                         ::testing::Values(std::make_pair("disk-full", "BIG.BIN"),
                                           std::make_pair("cut-short", "CUT.BIN"),
                                           std::make_pair("taken-out", "READ.BIN")),
                         [](const ::testing::TestParamInfo<std::pair<const char*, const char*>>& param) {
                           return std::string(param.index == 0   ? "DiskFull"
                                              : param.index == 1 ? "ContainerCutShort"
                                                                 : "MediumTakenOut");
                         });

// Mended: on a bound medium the container is the publisher's, so a member
// that failed to unpack failed for a fault of the machine (here one read of
// a flaky drive); the installer would start without the members behind it.
// What the run unpacked is gone before the member's box, nothing starts, and
// the window waits until it is closed.
TEST(Preloader, ABoundMediumWithOneFailingReadStartsNothing) {
  if (!FailingMediumUnavailable().empty()) GTEST_SKIP() << FailingMediumUnavailable();
  const PreloaderCase& c = Ended("bound-flaky-read", EXIT_MEMBER_FAILED);
  ExpectDecodeErrorBox(c.Run.Box, c.Run.TempDir + "_Orvane3d1\\READ.BIN");
  EXPECT_EQ(c.Run.TempTreeWhileBox, Tree{});
  EXPECT_FALSE(c.Run.InstallerRanBeforeBoxAnswered);
  EXPECT_TRUE(c.Run.StillRunningWhenIdle);
  EXPECT_EQ(c.Run.TempTree, Tree{});
  EXPECT_FALSE(c.Run.Installer.Exists());
}

// Mended: c:\temp\ that is a symbolic link (anyone may make one before the
// first run) is no staging root, so re-pointing it during the extraction,
// to a directory where someone else's _Orvane3d1\INSTALL.EXE waits, starts
// nothing of theirs: the run stages in the last resort, the current
// directory, and hands its own installer over from there.
TEST(Preloader, ACTempThatIsALinkIsPassedOverAndItsNewTargetNeverRuns) {
  if (!FailingMediumUnavailable().empty()) GTEST_SKIP() << FailingMediumUnavailable();
  const PreloaderCase& c = Ended("c-temp-repointed");
  EXPECT_NE(c.Run.CTempLinkAtEnd.find("second-target"), std::string::npos)
      << "c:\\temp was not re-pointed: " << c.Run.CTempLinkAtEnd;
  const Report& seen = c.Run.Installer;
  ASSERT_TRUE(seen.Exists()) << "the installer did not run";
  EXPECT_EQ(seen.Get("command_line").rfind("_Orvane3d1\\INSTALL.EXE ", 0), 0u) << seen.Get("command_line");
  ExpectMembersHandedOver(c);
  EXPECT_FALSE(Report::Read(c.Dir->Path() + "their-report.txt").Exists());
  const std::string theirs = "_Orvane3d1\\";
  EXPECT_EQ(ListTree(c.Dir->Path() + "second-target\\"),
            (Tree{{theirs, -1},
                  {theirs + "INSTALL.EXE", static_cast<long long>(ReadWholeFile(StandinExePath()).size())},
                  {theirs + "STANDIN.CFG",
                   ListTree(c.Dir->Path() + "second-target\\").at(theirs + "STANDIN.CFG")}}));
  EXPECT_EQ(ListTree(c.Dir->Path() + "first-target\\"), Tree{});
}

// Mended: where nobody can answer a box (a window station that is not
// visible, as a deployment's or a service's session has), a run that
// starts nothing shows none, ends by itself and says why in its exit code,
// instead of waiting for ever; what it unpacked is gone as after the box.
class Unattended : public ::testing::TestWithParam<std::pair<const char*, DWORD>> {};

TEST_P(Unattended, EndsByItselfWithTheCodeOfItsCause) {
  const PreloaderCase& c = Ended(GetParam().first, GetParam().second);
  EXPECT_FALSE(c.Run.Installer.Exists());
  for (const auto& entry : c.Run.TempTree) EXPECT_EQ(entry.first, "_Orvane3d1\\") << "left behind";
}

INSTANTIATE_TEST_SUITE_P(Preloader, Unattended,
                         ::testing::Values(std::make_pair("unattended-missing-archive", EXIT_NO_CONTAINER),
                                           std::make_pair("unattended-bound-other", EXIT_NOT_BOUND_CONTAINER),
                                           std::make_pair("unattended-not-a-program",
                                                          EXIT_INSTALLER_NOT_STARTED)),
                         [](const ::testing::TestParamInfo<std::pair<const char*, DWORD>>& param) {
                           return std::string(param.index == 0   ? "ArchiveMissing"
                                              : param.index == 1 ? "NotTheBoundContainer"
                                                                 : "InstallerNotAProgram");
                         });

// The publisher's texts: a medium made with English or Japanese ones shows
// them as written, in its window's title and its boxes; the run is as
// any other.
TEST(Preloader, TheWindowAndTheBoxesSpeakThePublishersLanguage) {
  const struct {
    const char* Case;
    std::string Title, Sentence;
  } media[] = {
      {"english-missing-archive", "Installation not possible", "The installation data was not found:"},
      {"japanese-missing-archive",
       "\xE3\x82\xA4\xE3\x83\xB3\xE3\x82\xB9\xE3\x83\x88\xE3\x83\xBC\xE3\x83\xAB\xE3\x81\xA7\xE3\x81\x8D\xE3"
       "\x81\xBE"
       "\xE3\x81\x9B\xE3\x82\x93",  // インストールできません
       "\xE3\x82\xA4\xE3\x83\xB3\xE3\x82\xB9\xE3\x83\x88\xE3\x83\xBC\xE3\x83\xAB "
       "\xE3\x83\x87\xE3\x83\xBC\xE3\x82"
       "\xBF\xE3\x81\x8C\xE8\xA6\x8B\xE3\x81\xA4\xE3\x81\x8B\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93"
       ":"},
  };
  for (const auto& medium : media) {
    SCOPED_TRACE(medium.Case);
    const PreloaderCase& c = Ended(medium.Case, EXIT_NO_CONTAINER);
    ASSERT_EQ(c.Run.Box.Get("found"), "1") << "no message box";
    EXPECT_EQ(c.Run.Box.Get("window.title"), medium.Title);
    EXPECT_EQ(c.Run.Box.All("box.text"),
              std::vector<std::string>{medium.Sentence + "\\n" + c.Run.MediumDir + "SETUP.TMP"});
    EXPECT_EQ(c.Run.Window.Get("window.title"), medium.Title);
  }
  const Report& seen = Ended("english-protocol").Run.Installer;
  ASSERT_TRUE(seen.Exists()) << "the installer did not run";
  EXPECT_EQ(seen.Get("window.title"), "Please wait. Preparing the installation...");
}
