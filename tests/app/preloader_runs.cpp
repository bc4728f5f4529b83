#include "preloader_runs.h"

#include <thread>
#include <vector>

#include "container.h"

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
    std::string config = "[standin]\r\nmode=" + mode + "\r\nreport=" + c_.Dir->Path() +
                         "installer-report.txt\r\n";
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
  CaseBuilder& PresetTempFile(const std::string& name) {
    c_.Setup.PresetTempFiles.push_back(name);
    return *this;
  }
  void Add() {
    c_.Setup.Archive = countSet_ ? MakeContainer(count_, entries_) : MakeContainer(entries_);
    std::string name = c_.Setup.Name;
    cases[name] = std::move(c_);
  }

 private:
  PreloaderCase c_;
  std::vector<RawEntry> entries_;
  std::uint16_t count_ = 0;
  bool countSet_ = false;
};

Bytes Text(const std::string& s) { return BytesOf(s); }

void BuildCases() {
  auto protocol = [](const std::string& name, const std::string& arguments) {
    CaseBuilder(name, Driving::WaitForExit)
        .Installer("once")
        .Member("DATA.BIN", RandomBytes(70000, 7), TIME_DATA)
        .Member("EMPTY.TXT", Bytes(), TIME_EMPTY)
        .Member("LIESMICH.TXT", Text("Viel Spass!\r\n"), TIME_CONFIG)
        .Arguments(arguments)
        .Add();
  };
  protocol("protocol", "");
  protocol("protocol-with-arguments", "/S -q \"C:\\Programme\\Anders\" 12345 SETUP.TMP /INST_PATH=X:\\");

  CaseBuilder("emptied", Driving::WaitForExit)
      .Installer("empty-dir")
      .Member("DATA.BIN", RandomBytes(5000, 3), TIME_DATA)
      .PresetTempFile("_Orvane3d1")
      .Staging("_Orvane3d2\\")
      .Add();

  CaseBuilder("twice", Driving::WaitForExit).Installer("twice").Add();

  CaseBuilder("missing-archive", Driving::CloseWhenIdle).NoArchive().Add();

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

  CaseBuilder("count-0x8000", Driving::CloseWhenIdle).Installer("once").Count(0x8000).Add();

  CaseBuilder("dot-dot", Driving::AnswerBox)
      .Installer("once")
      .Member("..\\ESCAPED.BIN", RandomBytes(100, 1), TIME_DATA)
      .Member("AFTER.BIN", RandomBytes(100, 2), TIME_DATA)
      .Add();
}

}  // namespace

void PreloaderRuns::SetUp() {
  BuildCases();
  std::vector<std::thread> threads;
  for (auto& entry : cases) {
    PreloaderCase* c = &entry.second;
    threads.emplace_back([c] {
      try {
        c->Run = RunPreloader(c->Setup, c->Dir->Path());
      } catch (const std::exception& e) {
        c->Failure = e.what();
      }
    });
  }
  for (std::thread& t : threads) t.join();
}

void PreloaderRuns::TearDown() { cases.clear(); }

const PreloaderCase& PreloaderRuns::Get(const std::string& name) { return cases.at(name); }

static ::testing::Environment* const runs = ::testing::AddGlobalTestEnvironment(new PreloaderRuns);
