#include "damage_fixture.h"

#include <algorithm>
#include <filesystem>

#include "extract.h"
#include "paths.h"
#include "staging_dir.h"

namespace fs = std::filesystem;

const char STAGING[] = "c:\\windows\\temp\\_Orvane3d1\\";

namespace {

HWND const WINDOW = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(692));
const char INSTALL_INI[] = "[STANDARD]\r\nINST_PATH=d:\\\r\n";

std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(root)) paths.insert(entry.path().string());
  return paths;
}

bool Below(const std::string& path, const std::string& directory) {
  return path.compare(0, directory.size(), directory) == 0;
}

// Paths in `after` but not in `before` that do not lie below `allowed`.
std::vector<std::string> Appeared(const std::set<std::string>& before, const std::set<std::string>& after,
                                  const std::string& allowed) {
  std::vector<std::string> outside;
  for (const std::string& path : after)
    if (!before.count(path) && !Below(path + "/", allowed)) outside.push_back(path);
  return outside;
}

}  // namespace

Expected Expected::Whole(const std::vector<std::string>& names) {
  Expected expected;
  for (const std::string& name : names) expected.Files[name] = SampleContainer::Get().Entry(name).Data;
  return expected;
}

Expected& Expected::With(const std::string& name, const Bytes& content) {
  Files[name] = content;
  return *this;
}

Expected& Expected::FailsAt(const std::string& caption) {
  Message = true;
  Caption = caption;
  return *this;
}

Expected& Expected::LooseFile(const std::string& name, Kind kind, const Bytes& reference) {
  Loose = name;
  LooseKind = kind;
  Reference = reference;
  return *this;
}

PreloaderRun DamageTest::RunPreloader(const Bytes& container, const std::string& tempDirectory) {
  Restart();
  MakeDir(tempDirectory);
  Standin().TempPath = tempDirectory;
  MakeFile("d:\\SETUP.TMP", container);
  std::set<std::string> before = Tree(scratch_.Path());
  ChooseStagingDir();
  PreloaderRun run;
  run.Result = ExtractArchive(WINDOW);
  run.Messages = Standin().Messages;
  run.Started = Standin().Started;

  std::string staging = HostPath(tempDirectory + "_Orvane3d1\\");
  run.Outside = Appeared(before, Tree(scratch_.Path()), staging);
  if (fs::is_directory(staging)) {
    for (const auto& entry : fs::directory_iterator(staging)) {
      std::string name = entry.path().filename().string();
      Bytes content =
          entry.is_regular_file() ? ReadWholeFile(entry.path().string()) : BytesOf("<not a file>");
      if (name == "Install.ini")
        run.InstallIni.assign(content.begin(), content.end());
      else
        run.Staged[name] = content;
    }
  }
  return run;
}

ToolRuns DamageTest::RunTools(const Bytes& container) {
  std::string path = scratch_.File("tools/SETUP.TMP");
  std::string target = scratch_.File("tools/out");
  fs::remove_all(scratch_.File("tools"));
  fs::create_directories(scratch_.File("tools"));
  WriteWholeFile(path, container);
  std::set<std::string> before = Tree(scratch_.Path());

  ToolRuns runs;
  runs.Test = Setuppack({"test", "-q", path});
  runs.List = Setuppack({"list", path});
  runs.Extract = Setuppack({"extract", "-q", "-C", target, path});
  runs.Outside = Appeared(before, Tree(scratch_.Path()), target + "/");
  if (fs::is_directory(target))
    for (const auto& entry : fs::recursive_directory_iterator(target))
      if (entry.is_regular_file())
        runs.Extracted[entry.path().lexically_relative(target).string()] =
            ReadWholeFile(entry.path().string());
  return runs;
}

void DamageTest::CheckPreloader(const PreloaderRun& run, const Expected& expected) {
  // SETUP.TMP was there: the hand-off runs whatever the members held.
  EXPECT_TRUE(run.Result == ExtractResult::InstallerStarted ||
              run.Result == ExtractResult::InstallerNotStarted);
  ASSERT_EQ(run.Started.size(), 1u);
  EXPECT_EQ(run.Started[0].CommandLine, std::string(InstallerPath.c_str()) + " 692");
  EXPECT_EQ(run.InstallIni, INSTALL_INI);
  EXPECT_EQ(run.Outside, std::vector<std::string>{});

  ASSERT_EQ(run.Messages.size(), expected.Message ? 1u : 0u);
  if (expected.Message) {
    EXPECT_EQ(run.Messages[0].Text, "Fehler beim Decodieren!");
    EXPECT_EQ(run.Messages[0].Caption, AnsiAsShown(expected.Caption));
    EXPECT_EQ(run.Messages[0].Owner, nullptr);
  }

  std::map<std::string, Bytes> staged = run.Staged;
  if (!expected.Loose.empty()) {
    ASSERT_EQ(staged.count(expected.Loose), 1u) << expected.Loose;
    const Bytes& got = staged[expected.Loose];
    const Bytes& ref = expected.Reference;
    if (expected.LooseKind == Expected::PREFIX) {
      EXPECT_LT(got.size(), ref.size());
      EXPECT_TRUE(std::equal(got.begin(), got.end(), ref.begin())) << "not a prefix of the member's bytes";
    } else {
      EXPECT_GT(got.size(), ref.size());
      EXPECT_TRUE(got.size() >= ref.size() && std::equal(ref.begin(), ref.end(), got.begin()))
          << "does not begin with the member's bytes";
    }
    staged.erase(expected.Loose);
  }
  EXPECT_EQ(staged, expected.Files);
}

void DamageTest::CheckTools(const ToolRuns& runs, const ToolsExpected& expected, bool extractWhole) {
  EXPECT_EQ(runs.Outside, std::vector<std::string>{});
  const std::pair<const RunResult*, int> checks[] = {
      {&runs.Test, expected.Test}, {&runs.List, expected.List}, {&runs.Extract, expected.Extract}};
  for (const auto& [run, code] : checks) {
    if (code != DONT_CARE) {
      EXPECT_EQ(run->Code, code) << run->Err;
    }
    EXPECT_TRUE(run->Code == 0 || run->Code == 1) << run->Code;
    // A failure says so on stderr, about a named file; -q success says nothing.
    if (run->Code == 1) {
      EXPECT_EQ(run->Err.compare(0, 11, "setuppack: "), 0) << run->Err;
    }
  }
  if (runs.Test.Code == 1 && !expected.Says.empty()) {
    EXPECT_NE(runs.Test.Err.find(expected.Says), std::string::npos) << runs.Test.Err;
  }
  if (runs.Test.Code == 0) {
    EXPECT_EQ(runs.Test.Err, "");
  }
  for (const auto& [name, bytes] : runs.Extracted) {
    EXPECT_EQ(name.find(".setuppack-"), std::string::npos) << "a temporary file stayed: " << name;
    if (extractWhole) {
      EXPECT_EQ(bytes, sample_.Entry(name).Data) << name;
    }
  }
}

void DamageTest::Check(const Bytes& container, const Expected& preloader, const ToolsExpected& tools,
                       bool extractWhole) {
  {
    SCOPED_TRACE("ExtractArchive");
    CheckPreloader(RunPreloader(container), preloader);
  }
  {
    SCOPED_TRACE("setuppack");
    CheckTools(RunTools(container), tools, extractWhole);
  }
}
