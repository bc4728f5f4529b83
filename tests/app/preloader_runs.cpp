#include "preloader_runs.h"

#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include "container.h"
#include "image/preloader_image.h"

namespace {

std::map<std::string, PreloaderCase> cases;

const LocalTime TIME_INSTALLER{2019, 11, 4, 8, 15, 30};
const LocalTime TIME_CONFIG{2020, 2, 29, 23, 59, 58};
const LocalTime TIME_DATA{2003, 7, 1, 12, 0, 0};
const LocalTime TIME_EMPTY{1999, 12, 31, 18, 30, 2};

class CaseBuilder {
 public:
  CaseBuilder(const std::string& name, Driving drive) {
    c_.Dir = std::make_unique<ScratchDir>();
    c_.Setup.Name = name;
    c_.Setup.Drive = drive;
  }

  CaseBuilder& Member(const std::string& name, const Bytes& data, const LocalTime& time) {
    c_.Members[name] = data;
    c_.Times[name] = time;
    entries_.push_back({name, EncodeBytes(*c_.Dir, data, &time)});
    return *this;
  }
  CaseBuilder& Installer(const std::string& mode) {
    Member("INSTALL.EXE", ReadWholeFile(StandinExePath()), TIME_INSTALLER);
    std::string config =
        "[standin]\r\nmode=" + mode + "\r\nreport=" + c_.Dir->Path() + "installer-report.txt\r\n";
    return Member("STANDIN.CFG", BytesOf(config), TIME_CONFIG);
  }
  CaseBuilder& Raw(const std::string& name, const Bytes& member) {
    entries_.push_back({name, member});
    return *this;
  }
  CaseBuilder& Count(std::uint16_t count) {
    count_ = count;
    countSet_ = true;
    return *this;
  }
  CaseBuilder& NoArchive() {
    c_.Setup.WithArchive = false;
    return *this;
  }
  CaseBuilder& Arguments(const std::string& arguments) {
    c_.Setup.Arguments = arguments;
    return *this;
  }
  CaseBuilder& Staging(const std::string& name) {
    c_.Setup.StagingName = name;
    return *this;
  }
  CaseBuilder& Program(const std::string& setupExe) {
    c_.Setup.Program = setupExe;
    return *this;
  }
  // A plain file named and filled with `name`.
  CaseBuilder& PresetTempFile(const std::string& name) {
    c_.Setup.PresetTemp[name] = BytesOf(name);
    return *this;
  }
  // Someone else's staging directory, with their installer (it would write
  // <case>/their-report.txt if anything started it) and a file of theirs.
  CaseBuilder& PresetTheirStaging(const std::string& name) {
    std::map<std::string, Bytes>& temp = c_.Setup.PresetTemp;
    temp[name + "\\"] = {};
    temp[name + "\\INSTALL.EXE"] = ReadWholeFile(StandinExePath());
    std::string report = c_.Dir->Path() + "their-report.txt";
    temp[name + "\\STANDIN.CFG"] = BytesOf("[standin]\r\nmode=once\r\nreport=" + report + "\r\n");
    temp[name + "\\THEIRS.DAT"] = RandomBytes(3000, 9);
    return *this;
  }
  CaseBuilder& NonInteractive() {
    c_.Setup.NonInteractive = true;
    return *this;
  }
  CaseBuilder& TempDir(const std::string& dir) {
    c_.Setup.TempDir = dir;
    return *this;
  }
  // The container ends this many bytes early: a medium that gives out.
  CaseBuilder& CutShort(std::size_t bytes) {
    cut_ = bytes;
    return *this;
  }
  CaseBuilder& UnicodeTemp(const std::wstring& name) {
    c_.Setup.UnicodeTempName = name;
    return *this;
  }
  // The disc is taken out this many bytes before the container's end.
  CaseBuilder& TakenOut(std::size_t bytesBeforeEnd) { return Plan("gone", bytesBeforeEnd); }
  // One read that reaches this many bytes before the container's end fails.
  CaseBuilder& FlakyRead(std::size_t bytesBeforeEnd) { return Plan("once", bytesBeforeEnd); }
  // c:\temp\ is a link to a directory of the case's (and, with the
  // temporary directory unusable, the staging root SETUP.EXE is offered),
  // which a read this many bytes before the container's end points at
  // another directory of the case's, where someone else's staging directory
  // with their installer waits.
  CaseBuilder& CTempRepointed(std::size_t bytesBeforeEnd) {
    c_.Setup.CTempLinkTo = c_.Dir->Path() + "first-target\\";
    std::string theirs = c_.Dir->Path() + "second-target\\_Orvane3d1\\";
    CreateDirectoryA((c_.Dir->Path() + "second-target").c_str(), nullptr);
    CreateDirectoryA(theirs.c_str(), nullptr);
    WriteWholeFile(theirs + "INSTALL.EXE", ReadWholeFile(StandinExePath()));
    WriteWholeFile(theirs + "STANDIN.CFG",
                   BytesOf("[standin]\r\nmode=once\r\nreport=" + c_.Dir->Path() + "their-report.txt\r\n"));
    planExtra_ = " c:\\temp " + c_.Dir->Path() + "second-target";
    return Plan("swap", bytesBeforeEnd);
  }
  // SETUP.EXE bound to the container, as setuppack medium binds it; with
  // `other`, to that container instead.
  CaseBuilder& Bound(const Bytes& other = {}) {
    bound_ = true;
    boundTo_ = other;
    return *this;
  }
  // And before, branded with an icon and version strings of a publisher.
  CaseBuilder& Branded() {
    branded_ = true;
    return Bound();
  }
  // And before, given the built-in texts of `language`.
  CaseBuilder& Language(const std::string& language) {
    language_ = language;
    return Bound();
  }
  // The container changed after the binding: one byte flipped, or appended.
  CaseBuilder& ChangedAfterBinding(bool append) {
    (append ? appended_ : flipped_) = true;
    return *this;
  }
  // SETUP.EXE, SETUP.TMP and the members of a medium made beforehand.
  CaseBuilder& FromMedium(const std::string& dir, const LocalTime& time) {
    medium_ = dir;
    for (const char* name : {"INSTALL.EXE", "STANDIN.CFG"}) {
      c_.Members[name] = ReadWholeFile(dir + "payload\\" + name);
      c_.Times[name] = time;
    }
    return Program(dir + "SETUP.EXE");
  }
  void Add() {
    c_.Setup.Archive = countSet_ ? MakeContainer(count_, entries_) : MakeContainer(entries_);
    c_.Setup.Archive.resize(c_.Setup.Archive.size() - cut_);
    if (!medium_.empty()) c_.Setup.Archive = ReadWholeFile(medium_ + "SETUP.TMP");
    if (c_.Setup.Archive.empty())
      c_.Failure = "no " + medium_ + "SETUP.TMP: a fixture makes it before the runs";
    if (bound_) BindProgram();
    if (flipped_) c_.Setup.Archive[c_.Setup.Archive.size() / 2] ^= 0x01;
    if (appended_) c_.Setup.Archive.push_back(0);
    if (!planWord_.empty()) {
      c_.Setup.MediumPlan =
          planWord_ + " " + std::to_string(c_.Setup.Archive.size() - planBeforeEnd_) + planExtra_;
      c_.Setup.Alone = true;  // one run at a time on the failing medium
    }
    if (!c_.Setup.CTempLinkTo.empty()) c_.Setup.Alone = true;
    std::string name = c_.Setup.Name;
    cases[name] = std::move(c_);
  }

 private:
  PreloaderCase c_;
  std::vector<ContainerEntry> entries_;
  std::uint16_t count_ = 0;
  bool countSet_ = false;
  std::size_t cut_ = 0;
  std::string planWord_, planExtra_;
  std::size_t planBeforeEnd_ = 0;

  CaseBuilder& Plan(const char* word, std::size_t bytesBeforeEnd) {
    planWord_ = word;
    planBeforeEnd_ = bytesBeforeEnd;
    return *this;
  }
  bool bound_ = false, branded_ = false, flipped_ = false, appended_ = false;
  std::string language_;
  Bytes boundTo_;
  std::string medium_;

  void BindProgram() {
    ImageBytes image = ReadWholeFile(SetupExePath());
    std::string why;
    Branding branding;
    branding.Version = {{"CompanyName", u"Beispiel GmbH"}, {"ProductName", u"Beispiel"}};
    if (branded_ && (!ReadIconFile(ReadWholeFile(PublisherIconPath()), branding.Icon, why) ||
                     !Brand(image, branding, why)))
      c_.Failure = "branding SETUP.EXE failed: " + why;
    Branding texts;
    if (!language_.empty() &&
        (ParseTexts(language_, {}, texts.Texts, why) != VersionFault::None || !Brand(image, texts, why)))
      c_.Failure = "giving SETUP.EXE the texts of " + language_ + " failed: " + why;
    const Bytes& container = boundTo_.empty() ? c_.Setup.Archive : boundTo_;
    Sha256 hash;
    hash.Update(container.data(), container.size());
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    hash.Final(digest);
    if (!Bind(image, digest, why)) c_.Failure = "binding SETUP.EXE failed: " + why;
    SetChecksum(image);
    c_.Setup.Program = c_.Dir->Path() + "bound-SETUP.EXE";
    WriteWholeFile(c_.Setup.Program, image);
  }
};

Bytes Text(const std::string& s) { return BytesOf(s); }

void BuildCases() {
  auto protocol = [](const std::string& name, const std::string& arguments, const std::string& program) {
    CaseBuilder(name, Driving::WaitForExit)
        .Installer("once")
        .Member("DATA.BIN", RandomBytes(70000, 7), TIME_DATA)
        .Member("EMPTY.TXT", Bytes(), TIME_EMPTY)
        .Member("LIESMICH.TXT", Text("Viel Spass!\r\n"), TIME_CONFIG)
        .Member(UMLAUT_NAME_1252, Text("Hallo"), TIME_CONFIG)
        .Arguments(arguments)
        .Program(program)
        .Add();
  };
  protocol("protocol", "", "");
  protocol("protocol-with-arguments", "/S -q \"C:\\Programme\\Anders\" 12345 SETUP.TMP /INST_PATH=X:\\", "");
  CaseBuilder("bound", Driving::WaitForExit)
      .Installer("once")
      .Member("DATA.BIN", RandomBytes(70000, 7), TIME_DATA)
      .Member(UMLAUT_NAME_1252, Text("Hallo"), TIME_CONFIG)
      .Bound()
      .Add();
  CaseBuilder("branded", Driving::WaitForExit)
      .Installer("once")
      .Member("DATA.BIN", RandomBytes(3000, 8), TIME_DATA)
      .Branded()
      .Add();
  // A medium made by setuppack, its SETUP.EXE signed afterwards.
  CaseBuilder("signed", Driving::WaitForExit).FromMedium(SignedMediumDir(), {2020, 1, 2, 3, 4, 6}).Add();

  // A bound SETUP.EXE beside a container that is not its own: another
  // valid one, one with a byte changed in the middle, one with a byte
  // appended.
  auto boundElsewhere = [](const std::string& name, bool other, bool append) {
    CaseBuilder builder(name, Driving::AnswerBoxThenCloseWhenIdle);
    builder.Installer("once").Member("DATA.BIN", RandomBytes(40000, 21), TIME_DATA);
    if (other)
      builder.Bound(MakeContainer({{"INSTALL.EXE", EncodeBytes(ScratchDir(), Text("MZ other"))}}));
    else
      builder.Bound().ChangedAfterBinding(append);
    builder.Add();
  };
  boundElsewhere("bound-other", true, false);
  boundElsewhere("bound-changed", false, false);
  boundElsewhere("bound-appended", false, true);

  CaseBuilder("emptied", Driving::WaitForExit)
      .Installer("empty-dir")
      .Member("DATA.BIN", RandomBytes(5000, 3), TIME_DATA)
      .PresetTempFile("_Orvane3d1")
      .Staging("_Orvane3d2\\")
      .Add();

  CaseBuilder("twice", Driving::WaitForExit).Installer("twice").Add();

  CaseBuilder("missing-archive", Driving::AnswerBoxThenCloseWhenIdle).NoArchive().Add();
  // The same from media whose publishers gave SETUP.EXE English and
  // Japanese texts; and a whole run in English.
  CaseBuilder("english-missing-archive", Driving::AnswerBoxThenCloseWhenIdle)
      .NoArchive()
      .Language("en")
      .Add();
  CaseBuilder("japanese-missing-archive", Driving::AnswerBoxThenCloseWhenIdle)
      .NoArchive()
      .Language("ja")
      .Add();
  CaseBuilder("english-protocol", Driving::WaitForExit).Installer("once").Language("en").Add();

  // The same failures where nobody can answer a box: a deployment's run.
  CaseBuilder("unattended-missing-archive", Driving::Unattended).NoArchive().NonInteractive().Add();
  CaseBuilder("unattended-bound-other", Driving::Unattended)
      .Installer("once")
      .Bound(MakeContainer({{"INSTALL.EXE", EncodeBytes(ScratchDir(), Text("MZ other"))}}))
      .NonInteractive()
      .Add();
  CaseBuilder("unattended-not-a-program", Driving::Unattended)
      .Member("INSTALL.EXE", Text("no program"), TIME_INSTALLER)
      .NonInteractive()
      .Add();

  HeaderFields wrongMagic;
  wrongMagic.Magic = 0x00137458;
  wrongMagic.UnpackedSize = 4;
  wrongMagic.PackedSize = 5;
  CaseBuilder("failing-member", Driving::AnswerBox)
      .Installer("once")
      .Member("GOOD.BIN", RandomBytes(20000, 11), TIME_DATA)
      .Raw("BAD.BIN", MakeMember(wrongMagic, Bytes{0xFF, 'a', 'b', 'c', 'd'}))
      .Member("LATER.BIN", RandomBytes(300, 5), TIME_DATA)
      .Add();

  CaseBuilder("count-0x8000", Driving::AnswerBoxThenCloseWhenIdle).Installer("once").Count(0x8000).Add();

  CaseBuilder("not-a-program", Driving::AnswerBoxThenCloseWhenIdle)
      .Member("INSTALL.EXE", Text("no program"), TIME_INSTALLER)
      .Member("DATA.BIN", RandomBytes(5000, 3), TIME_DATA)
      .Add();

  CaseBuilder("dot-dot", Driving::AnswerBox)
      .Installer("once")
      .Member("..\\ESCAPED.BIN", RandomBytes(100, 1), TIME_DATA)
      .Member("AFTER.BIN", RandomBytes(100, 2), TIME_DATA)
      .Add();

  CaseBuilder("device-name", Driving::AnswerBox)
      .Installer("once")
      .Raw("NUL", MakeMember(Bytes{}, 0))
      .Member("AFTER.BIN", RandomBytes(100, 2), TIME_DATA)
      .Add();

  CaseBuilder("taken-before", Driving::WaitForExit)
      .Installer("once")
      .Member("DATA.BIN", RandomBytes(5000, 3), TIME_DATA)
      .PresetTheirStaging("_Orvane3d1")
      .PresetTempFile("_Orvane3d2")
      .Staging("_Orvane3d3\\")
      .Add();

  // A medium that gives out in the middle of the last member.
  CaseBuilder("cut-short", Driving::AnswerBox)
      .Installer("once")
      .Member("GOOD.BIN", RandomBytes(20000, 11), TIME_DATA)
      .Member("CUT.BIN", RandomBytes(50000, 12), TIME_DATA)
      .CutShort(1000)
      .Add();

  // A temporary location on a file system of its own that holds the
  // installer and the first member, not the second: the disk fills up.
  CaseBuilder("disk-full", Driving::AnswerBox)
      .Installer("once")
      .Member("FIRST.BIN", RandomBytes(20000, 13), TIME_DATA)
      .Member("BIG.BIN", RandomBytes(4 << 20, 14), TIME_DATA)
      .Member("LATER.BIN", RandomBytes(300, 15), TIME_DATA)
      .TempDir(SmallTempDir())
      .Add();

  // The disc is taken out while the middle of a member is read (where a
  // FUSE file system can be mounted).
  if (FailingMediumUnavailable().empty())
    CaseBuilder("taken-out", Driving::AnswerBox)
        .Installer("once")
        .Member("GOOD.BIN", RandomBytes(20000, 11), TIME_DATA)
        .Member("READ.BIN", RandomBytes(200000, 16), TIME_DATA)
        .Member("LATER.BIN", RandomBytes(300, 17), TIME_DATA)
        .TakenOut(100000)
        .Add();

  // A bound medium on which one read fails in the middle of a member, and
  // the rest of the file reads (a flaky drive or share).
  if (FailingMediumUnavailable().empty())
    CaseBuilder("bound-flaky-read", Driving::AnswerBoxThenCloseWhenIdle)
        .Installer("once")
        .Member("GOOD.BIN", RandomBytes(20000, 11), TIME_DATA)
        .Member("READ.BIN", RandomBytes(400000, 16), TIME_DATA)
        .Member("LATER.BIN", RandomBytes(300, 17), TIME_DATA)
        .Bound()
        .FlakyRead(200000)
        .Add();

  // The temporary directory cannot be used, so c:\temp\ is the next root
  // offered; it is a link, which is pointed elsewhere in the middle of a
  // member, where someone else's _Orvane3d1 waits.
  if (FailingMediumUnavailable().empty())
    CaseBuilder("c-temp-repointed", Driving::WaitForExit)
        .Installer("once")
        .Member("DATA.BIN", RandomBytes(400000, 5), TIME_DATA)
        .UnicodeTemp(L"\u0412\u0440\u0435\u043C\u0435\u043D\u043D\u044B\u0435")
        .CTempRepointed(200000)
        .Add();

  // Temporary locations where nothing can be staged: one that takes no file,
  // one whose name the ANSI code page cannot hold (Cyrillic).
  if (ImmutableTempUnavailable().empty())
    CaseBuilder("immutable-temp", Driving::WaitForExit)
        .Installer("empty-dir")
        .Member("DATA.BIN", RandomBytes(5000, 3), TIME_DATA)
        .TempDir(ImmutableTempDir())
        .Add();
  CaseBuilder("cyrillic-temp", Driving::WaitForExit)
      .Installer("empty-dir")
      .Member("DATA.BIN", RandomBytes(5000, 3), TIME_DATA)
      .UnicodeTemp(L"\u0412\u0440\u0435\u043C\u0435\u043D\u043D\u044B\u0435")  // Временные
      .Add();

  CaseBuilder("all-taken", Driving::AnswerBoxThenCloseWhenIdle)
      .Installer("once")
      .Member("DATA.BIN", RandomBytes(5000, 3), TIME_DATA)
      .TempDir(AllTakenDir() + "temp\\")
      .Staging("_Orvane3d32000\\")
      .Add();
}

const char* DrivingText(Driving drive) {
  switch (drive) {
    case Driving::WaitForExit:
      return "find the waiting window, wait for the end";
    case Driving::AnswerBox:
      return "read the message box, answer it, wait for the end";
    case Driving::CloseWhenIdle:
      return "find the waiting window, wait until idle, close it from its system menu";
    case Driving::AnswerBoxThenCloseWhenIdle:
      return "read the message box, answer it, find the waiting window, wait until idle, close it";
    case Driving::Unattended:
      return "in a window station nobody sees: look at nothing, wait for the end";
  }
  return "";
}

void PrintReport(const char* who, const Report& report) {
  std::printf("  %s (%s):%s\n", who, report.Path().c_str(), report.Exists() ? "" : " none");
  for (const std::string& line : report.Lines()) std::printf("    %s\n", line.c_str());
}

// A tree of thousands of names is shown by its count and its last few.
void PrintTree(const char* when, const Tree& tree) {
  constexpr std::size_t MOST = 40;
  std::printf("  the temporary directory %s:%s\n", when, tree.empty() ? " empty" : "");
  std::size_t skip = tree.size() > MOST ? tree.size() - MOST : 0;
  if (skip) std::printf("    (%zu entries, the last %zu of them:)\n", tree.size(), MOST);
  for (const auto& entry : tree) {
    if (skip && skip--) continue;
    std::printf("    %s%s\n", entry.first.c_str(),
                entry.second < 0 ? "" : (" (" + std::to_string(entry.second) + " bytes)").c_str());
  }
}

// Everything one run recorded, for the log of a test that failed on it.
void PrintCase(const std::string& name, const PreloaderCase& c) {
  std::printf("\n== end-to-end run \"%s\": %s\n", name.c_str(), DrivingText(c.Setup.Drive));
  if (!c.Failure.empty()) std::printf("  the run could not be carried out: %s\n", c.Failure.c_str());
  std::printf("  medium %s, temporary directory %s\n", c.Run.MediumDir.c_str(), c.Run.TempDir.c_str());
  std::printf("  the test's side:\n");
  for (const std::string& step : c.Run.Steps) std::printf("    %s\n", step.c_str());
  std::printf("  SETUP.EXE: %s\n", c.Run.Ended
                                       ? ("ended with exit code " + std::to_string(c.Run.ExitCode)).c_str()
                                       : "did not end");
  bool box = c.Setup.Drive == Driving::AnswerBox || c.Setup.Drive == Driving::AnswerBoxThenCloseWhenIdle;
  bool idle = c.Setup.Drive == Driving::CloseWhenIdle || c.Setup.Drive == Driving::AnswerBoxThenCloseWhenIdle;
  if (box) {
    PrintReport("the window driver on the message box", c.Run.Box);
    PrintTree("while the box was open", c.Run.TempTreeWhileBox);
  }
  if (c.Setup.Drive != Driving::AnswerBox)
    PrintReport("the window driver on the waiting window", c.Run.Window);
  if (idle) PrintTree("while idle", c.Run.TempTreeWhileIdle);
  PrintReport("the stand-in installer", c.Run.Installer);
  PrintTree("after the end", c.Run.TempTree);
  std::fflush(stdout);
}

std::set<std::string> casesOfThisTest;

// A test that fails prints the runs it looked at, so that its log alone
// tells what happened.
class RunRecords : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { casesOfThisTest.clear(); }
  void OnTestEnd(const ::testing::TestInfo& test) override {
    if (!test.result()->Failed()) return;
    for (const std::string& name : casesOfThisTest) PrintCase(name, cases.at(name));
  }
};

}  // namespace

void PreloaderRuns::SetUp() {
  ::testing::UnitTest::GetInstance()->listeners().Append(new RunRecords);
  BuildCases();
  auto run = [](PreloaderCase* c) {
    try {
      c->Run = RunPreloader(c->Setup, c->Dir->Path());
    } catch (const std::exception& e) {
      c->Failure = e.what();
    }
  };
  std::vector<std::thread> threads;
  for (auto& entry : cases)
    if (!entry.second.Setup.Alone) threads.emplace_back(run, &entry.second);
  for (std::thread& t : threads) t.join();
  // Then those that use what every run shares, one after the other.
  for (auto& entry : cases)
    if (entry.second.Setup.Alone) run(&entry.second);
}

void PreloaderRuns::TearDown() { cases.clear(); }

const PreloaderCase& PreloaderRuns::Get(const std::string& name) {
  casesOfThisTest.insert(name);
  return cases.at(name);
}

static ::testing::Environment* const runs = ::testing::AddGlobalTestEnvironment(new PreloaderRuns);
