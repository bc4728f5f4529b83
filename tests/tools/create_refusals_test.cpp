// `create` refuses, naming the file and the reason, everything the preloader
// could not write back, and a refused run leaves no container behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "container/payload.h"
#include "setuppack_runner.h"

namespace fs = std::filesystem;

namespace {

class CreateRefusals : public ::testing::Test {
 protected:
  void SetUp() override {
    payload = dir.File("payload");
    fs::create_directories(payload);
    WriteWholeFile(payload + "/INSTALL.EXE", BytesOf("MZ stand-in"));
    container = dir.File("SETUP.TMP");
  }

  void Add(const std::string& name, const Bytes& bytes = BytesOf("x")) {
    WriteWholeFile(payload + "/" + name, bytes);
  }

  // Refused with a message naming `file` and containing `reason`, and
  // nothing written: no container, no temporary file.
  void ExpectRefused(const std::string& file, const std::string& reason) {
    RunResult run = Setuppack({"create", "-q", container, payload});
    EXPECT_EQ(run.Code, 1) << run.Err;
    EXPECT_NE(run.Err.find("setuppack: " + file + ": "), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find(reason), std::string::npos) << run.Err;
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"payload"});
  }

  ScratchDir dir;
  std::string payload;
  std::string container;
};

}  // namespace

#ifndef _WIN32  // Windows itself cannot hold these names
TEST_F(CreateRefusals, NamesWithCharactersWindowsRefuses) {
  for (const char* name : {"a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b"}) {
    Add(name);
    ExpectRefused(payload + "/" + name, "cannot hold");
    fs::remove(payload + "/" + name);
  }
  Add("a\\b");
  ExpectRefused(payload + "/a\\b", "never paths");
}

TEST_F(CreateRefusals, ControlCharactersAndTrailingDots) {
  Add("bell\x07");
  ExpectRefused(payload + "/bell\\x07", "control character 0x07");  // shown escaped
  fs::remove(payload + "/bell\x07");
  Add("README.");
  ExpectRefused(payload + "/README.", "ends with a dot");
}

TEST_F(CreateRefusals, NamesEqualApartFromCase) {
  Add("readme.txt");
  Add("README.TXT");
  ExpectRefused(payload + "/readme.txt", "apart from case");
}

TEST_F(CreateRefusals, ReservedDeviceNames) {
  fs::create_directories(dir.File("other"));
  for (const char* name : {"nul.txt", "COM3", "lpt1.dat", "Con"}) {
    std::string file = dir.File("other") + "/" + name;
    WriteWholeFile(file, BytesOf("x"));
    RunResult run = Setuppack({"create", container, payload, file});
    EXPECT_EQ(run.Code, 1);
    EXPECT_NE(run.Err.find("device name"), std::string::npos) << name;
    EXPECT_FALSE(fs::exists(container));
    fs::remove(file);
  }
}
#endif

TEST_F(CreateRefusals, TheSameNameFromTwoPlaces) {
  fs::create_directories(dir.File("other"));
  WriteWholeFile(dir.File("other") + "/INSTALL.EXE", BytesOf("y"));
  RunResult run = Setuppack({"create", container, payload, dir.File("other")});
  EXPECT_EQ(run.Code, 1);
  EXPECT_NE(run.Err.find("setuppack: " + dir.File("other") + "/INSTALL.EXE: stored as INSTALL.EXE"),
            std::string::npos)
      << run.Err;
  EXPECT_FALSE(fs::exists(container));
}

TEST_F(CreateRefusals, DirectoryInsideADirectory) {
  fs::create_directories(payload + "/SUB");
  ExpectRefused(payload + "/SUB", "creates no subdirectories");
}

TEST_F(CreateRefusals, NameTooLongForThePreloadersPathBuffer) {
  Add(std::string(192, 'n'));
  ExpectRefused(payload + "/" + std::string(192, 'n'), "at most 191 bytes");
}

TEST_F(CreateRefusals, FileOf4GiBOrMore) {
  std::string big = payload + "/BIG.DAT";
  WriteWholeFile(big, {});
  fs::resize_file(big, 0x100000000ull);  // sparse: costs no disk
  ExpectRefused(big, "smaller than 4 GiB");
}

TEST_F(CreateRefusals, MoreThan32767Entries) {
  std::vector<PayloadFile> files;
  for (int i = 0; i < 32768; ++i)
    files.push_back({"f" + std::to_string(i), "F" + std::to_string(i), {}, 1, {}});
  std::vector<Problem> problems;
  CheckPayload(files, "SETUP.TMP", problems);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].File, "SETUP.TMP");
  EXPECT_NE(problems[0].What.find("at most 32767"), std::string::npos);
  files.pop_back();
  problems.clear();
  CheckPayload(files, "SETUP.TMP", problems);
  EXPECT_TRUE(problems.empty());
}

TEST_F(CreateRefusals, MissingInputsEmptyDirectoriesAndTheContainerItself) {
  RunResult missing = Setuppack({"create", container, dir.File("nothing-here")});
  EXPECT_EQ(missing.Code, 1);
  EXPECT_NE(missing.Err.find("nothing-here: no such file"), std::string::npos);

  fs::create_directories(dir.File("empty"));
  RunResult empty = Setuppack({"create", container, dir.File("empty")});
  EXPECT_EQ(empty.Code, 1);
  EXPECT_NE(empty.Err.find("no files to pack"), std::string::npos);

  WriteWholeFile(container, BytesOf("old"));
  RunResult itself = Setuppack({"create", container, payload, container});
  EXPECT_EQ(itself.Code, 1);
  EXPECT_NE(itself.Err.find("is the container being written"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(container), BytesOf("old")) << "a refused run leaves an existing container alone";
}

TEST_F(CreateRefusals, EveryProblemIsReportedNotJustTheFirst) {
  fs::create_directories(payload + "/SUB");
  Add(std::string(200, 'n'));
  RunResult run = Setuppack({"create", container, payload});
  EXPECT_NE(run.Err.find("SUB"), std::string::npos);
  EXPECT_NE(run.Err.find("at most 191"), std::string::npos);
  EXPECT_NE(run.Err.find("refused; nothing was written"), std::string::npos);
}

TEST_F(CreateRefusals, WarnsButPacksWithoutAnInstaller) {
  fs::remove(payload + "/INSTALL.EXE");
  Add("Install.ini");
  RunResult run = Setuppack({"create", container, payload});
  EXPECT_EQ(run.Code, 0) << run.Err;
  EXPECT_NE(run.Err.find("no member is named INSTALL.EXE"), std::string::npos);
  EXPECT_NE(run.Err.find("writes its own Install.ini"), std::string::npos);
  EXPECT_TRUE(fs::exists(container));
  EXPECT_EQ(Setuppack({"create", "-q", container, payload}).Err, "") << "-q silences warnings";
}

TEST(CommandLine, UsageErrorsExitWith2AndHelpWith0) {
  EXPECT_EQ(Setuppack({}).Code, 2);
  EXPECT_EQ(Setuppack({"frobnicate"}).Code, 2);
  EXPECT_EQ(Setuppack({"create", "SETUP.TMP"}).Code, 2) << "no input";
  EXPECT_EQ(Setuppack({"create", "-j", "0", "SETUP.TMP", "x"}).Code, 2);
  EXPECT_EQ(Setuppack({"list"}).Code, 2);
  for (const char* command : {"create", "list", "test", "extract"}) {
    RunResult help = Setuppack({command, "--help"});
    EXPECT_EQ(help.Code, 0) << command;
    EXPECT_NE(help.Out.find("Usage"), std::string::npos) << command;
  }
  RunResult version = Setuppack({"--version"});
  EXPECT_EQ(version.Code, 0);
  EXPECT_NE(version.Out.find("setuppack "), std::string::npos);
}
