// `medium` makes a medium in one step: SETUP.EXE, the same SETUP.TMP that
// `create` makes with the same options, and AUTORUN.INF when asked. It
// copies only what looks like a Windows program, finds the preloader
// shipped with it, and writes nothing when anything is refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "commands/preloader_file.h"
#include "setuppack_runner.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint16_t kI386 = 0x014C;
constexpr std::uint16_t kAmd64 = 0x8664;
constexpr std::uint16_t kProgram = 0x0102;  // executable image, 32-bit words
constexpr std::uint16_t kDll = 0x2102;
constexpr std::uint16_t kPe32 = 0x010B;
constexpr std::uint16_t kPe32Plus = 0x020B;

void Put(Bytes& bytes, std::size_t at, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The headers of a Windows program: an MZ header whose new-header offset
// leads to "PE\0\0", the file header and the optional header's magic; then
// some bytes to tell one from another.
Bytes WindowsProgram(std::uint16_t machine = kI386, std::uint16_t characteristics = kProgram,
                     std::uint16_t magic = kPe32) {
  Bytes bytes(0x40 + 24 + 0xE0, 0);
  Put(bytes, 0, 0x5A4D, 2);
  Put(bytes, 0x3C, 0x40, 4);
  Put(bytes, 0x40, 0x00004550, 4);
  Put(bytes, 0x44, machine, 2);
  Put(bytes, 0x54, 0xE0, 2);
  Put(bytes, 0x56, characteristics, 2);
  Put(bytes, 0x58, magic, 2);
  Bytes tail = RandomBytes(5000, machine);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

class Medium : public ::testing::Test {
 protected:
  void SetUp() override {
    payload = dir.File("payload");
    fs::create_directories(payload);
    WriteWholeFile(payload + "/INSTALL.EXE", RandomBytes(30000, 1));
    WriteWholeFile(payload + "/README.TXT", BytesOf("read me\n"));
    preloader = dir.File("SETUP.EXE");
    WriteWholeFile(preloader, WindowsProgram());
    out = dir.File("medium");
  }

  // The fake preloader has no binding record: these runs copy it as it is
  // (bound_medium_test.cpp binds and brands).
  RunResult Run(std::vector<std::string> options, const std::vector<std::string>& inputs = {}) {
    std::vector<std::string> args{"medium", "--unbound"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(out);
    if (inputs.empty())
      args.push_back(payload);
    else
      args.insert(args.end(), inputs.begin(), inputs.end());
    return Setuppack(args);
  }

  // Refused with `reason`, and the scratch directory as it was.
  void ExpectRefused(const RunResult& run, const std::string& reason, int code = 1) {
    EXPECT_EQ(run.Code, code) << run.Err;
    EXPECT_NE(run.Err.find(reason), std::string::npos) << run.Err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"SETUP.EXE", "payload"}));
  }

  ScratchDir dir;
  std::string payload;
  std::string preloader;
  std::string out;
};

}  // namespace

TEST_F(Medium, PreloaderBesideTheContainerThatCreateMakes) {
  for (std::vector<std::string> options : {std::vector<std::string>{"-j", "1"}, {"-j", "2", "--best"}}) {
    options.insert(options.end(), {"--mtime", "2020-01-02 03:04:06"});
    std::vector<std::string> create{"create", "-q"};
    create.insert(create.end(), options.begin(), options.end());
    create.insert(create.end(), {dir.File("CREATED.TMP"), payload});
    ASSERT_EQ(Setuppack(create).Code, 0);

    options.insert(options.end(), {"--preloader", preloader});
    RunResult run = Run(options);
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Err.find("SETUP.EXE (not bound), SETUP.TMP"), std::string::npos) << run.Err;
    EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"SETUP.EXE", "SETUP.TMP"}));
    EXPECT_EQ(ReadWholeFile(out + "/SETUP.EXE"), ReadWholeFile(preloader));
    EXPECT_EQ(ReadWholeFile(out + "/SETUP.TMP"), ReadWholeFile(dir.File("CREATED.TMP")));
    fs::remove_all(out);
    fs::remove(dir.File("CREATED.TMP"));
  }
}

TEST_F(Medium, AutorunStartsSetupWithItsIcon) {
  RunResult run = Run({"-q", "--autorun", "--preloader", preloader});
  ASSERT_EQ(run.Code, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"AUTORUN.INF", "SETUP.EXE", "SETUP.TMP"}));
  EXPECT_EQ(ReadWholeFile(out + "/AUTORUN.INF"),
            BytesOf("[AutoRun]\r\nopen=SETUP.EXE\r\nicon=SETUP.EXE,0\r\n"));
  EXPECT_EQ(Setuppack({"test", "-q", out + "/SETUP.TMP"}).Code, 0);
}

// Mended: what an earlier run left of setuppack's goes (the AUTORUN.INF of
// a run with --autorun, the temporary files of a killed run), and what else
// would go onto the medium is named; the publisher's own files stay.
TEST_F(Medium, ReplacesAnOldMediumRemovesOurLeftoversAndNamesOtherFiles) {
  ASSERT_EQ(Run({"-q", "--autorun", "--preloader", preloader}).Code, 0);
  WriteWholeFile(out + "/SETUP.EXE", BytesOf("old"));
  WriteWholeFile(out + "/SETUP.TMP", BytesOf("old"));
  WriteWholeFile(out + "/LICENSE.TXT", BytesOf("mine"));
  WriteWholeFile(out + "/.setuppack-0123456789abcdef", RandomBytes(3000, 2));
  WriteWholeFile(out + "/.setuppack-notours", BytesOf("mine"));
  RunResult run = Run({"--preloader", preloader});
  ASSERT_EQ(run.Code, 0) << run.Err;
  EXPECT_EQ(FilesIn(out),
            (std::vector<std::string>{".setuppack-notours", "LICENSE.TXT", "SETUP.EXE", "SETUP.TMP"}));
  EXPECT_EQ(ReadWholeFile(out + "/SETUP.EXE"), ReadWholeFile(preloader));
  EXPECT_EQ(ReadWholeFile(out + "/LICENSE.TXT"), BytesOf("mine"));
  EXPECT_NE(run.Err.find("AUTORUN.INF: removed, written by an earlier run with --autorun"), std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find(".setuppack-0123456789abcdef: removed, left by an earlier run"), std::string::npos);
  EXPECT_NE(run.Err.find("2 other entries would go onto the medium with it: .setuppack-notours, LICENSE.TXT"),
            std::string::npos);

  WriteWholeFile(out + "/AUTORUN.INF", BytesOf("[AutoRun]\r\nopen=MENU.EXE\r\n"));  // the publisher's own
  run = Run({"--preloader", preloader});
  ASSERT_EQ(run.Code, 0) << run.Err;
  EXPECT_EQ(ReadWholeFile(out + "/AUTORUN.INF"), BytesOf("[AutoRun]\r\nopen=MENU.EXE\r\n"));
  EXPECT_NE(run.Err.find("3 other entries would go onto the medium with it: .setuppack-notours, AUTORUN.INF, "
                         "LICENSE.TXT"),
            std::string::npos)
      << run.Err;
}

#ifndef _WIN32  // links, as a user makes them on Linux
// Mended: a link inside a payload directory is refused by its name unless
// asked for; a FILE named on the command line is read through its link.
TEST_F(Medium, ALinkInThePayloadIsRefusedUnlessFollowed) {
  ScratchDir elsewhere;
  std::string secret = elsewhere.File("secret");
  WriteWholeFile(secret, BytesOf("outside the payload"));
  fs::create_symlink(secret, payload + "/NOTES.TXT");
  ExpectRefused(Run({"--preloader", preloader}), "NOTES.TXT: a symbolic link to " + secret +
                                                     ": pass --follow-links to pack what it points to");
  fs::create_symlink(secret, dir.File("named"));
  ASSERT_EQ(Run({"-q", "--preloader", preloader}, {payload + "/INSTALL.EXE", dir.File("named")}).Code, 0);
  ASSERT_EQ(Run({"-q", "--follow-links", "--preloader", preloader}).Code, 0);
  ASSERT_EQ(Setuppack({"extract", "-q", "-C", dir.File("x"), out + "/SETUP.TMP"}).Code, 0);
  EXPECT_EQ(ReadWholeFile(dir.File("x/NOTES.TXT")), BytesOf("outside the payload"));
}
#endif

TEST_F(Medium, RefusesWhatIsNoWindowsProgram) {
  const Bytes program = WindowsProgram();
  struct {
    Bytes File;
    const char* Reason;
  } const cases[] = {
      {BytesOf("#!/bin/sh\necho not a program\n"), "does not begin with an MZ header"},
      {{}, "does not begin with an MZ header"},
      {BytesOf("MZ an MS-DOS program and nothing else"), "leads to no PE header"},
      {Bytes(program.begin(), program.begin() + 0x50), "cut short"},
      {WindowsProgram(kI386, kProgram, 0x0107), "cut short or damaged"},
      {WindowsProgram(kI386, kDll), "a DLL"},
      {WindowsProgram(kI386, 0x0100), "no executable image"},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.Reason);
    WriteWholeFile(dir.File("NOTEXE"), bad.File);
    RunResult run = Run({"--preloader", dir.File("NOTEXE")});
    fs::remove(dir.File("NOTEXE"));
    ExpectRefused(run, bad.Reason);
  }
  ExpectRefused(Run({"--preloader", dir.File("MISSING.EXE")}), "cannot open the preloader");
  // Checked before a byte is copied: a sparse file costs nothing here.
  WriteWholeFile(dir.File("NOTEXE"), program);
  fs::resize_file(dir.File("NOTEXE"), (16 << 20) + 1);
  RunResult huge = Run({"--preloader", dir.File("NOTEXE")});
  fs::remove(dir.File("NOTEXE"));
  ExpectRefused(huge, "more than the 16 MiB a preloader may have");
  ExpectRefused(Run({"--preloader", payload}), "not a regular file");
}

TEST_F(Medium, A64BitPreloaderIsCopiedWithAWarning) {
  WriteWholeFile(preloader, WindowsProgram(kAmd64, kProgram, kPe32Plus));
  RunResult run = Run({"--preloader", preloader});
  ASSERT_EQ(run.Code, 0) << run.Err;
  EXPECT_NE(run.Err.find("warning: not a 32-bit x86 program"), std::string::npos) << run.Err;
  EXPECT_EQ(ReadWholeFile(out + "/SETUP.EXE"), ReadWholeFile(preloader));
}

TEST_F(Medium, RefusedPayloadWritesNothing) {
  fs::create_directories(payload + "/SUB");
  ExpectRefused(Run({"--preloader", preloader}), "creates no subdirectories");
  fs::remove(payload + "/SUB");

  // A medium starts its installer: a payload without one is refused.
  fs::rename(payload + "/INSTALL.EXE", payload + "/INSTALL.BAK");
  ExpectRefused(Run({"--preloader", preloader}), "so the medium would start nothing");
  fs::rename(payload + "/INSTALL.BAK", payload + "/INSTALL.EXE");

  // Nor is a directory made for the medium, or a level above it.
  out = dir.File("new/deeper/medium");
  RunResult run = Run({"--preloader", preloader}, {payload, dir.File("nothing-here")});
  EXPECT_EQ(run.Code, 1);
  EXPECT_FALSE(fs::exists(dir.File("new")));
}

TEST_F(Medium, RefusesToPackWhatItWrites) {
  fs::create_directories(out);
  WriteWholeFile(out + "/INSTALL.EXE", BytesOf("MZ"));
  WriteWholeFile(out + "/SETUP.EXE", WindowsProgram());
  WriteWholeFile(out + "/AUTORUN.INF", BytesOf("[AutoRun]\r\n"));
  RunResult run = Run({"--autorun", "--preloader", preloader}, {out});
  EXPECT_EQ(run.Code, 1);
  EXPECT_NE(run.Err.find("SETUP.EXE: is the file"), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("AUTORUN.INF: is the file"), std::string::npos) << run.Err;
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"AUTORUN.INF", "INSTALL.EXE", "SETUP.EXE"}));

  WriteWholeFile(dir.File("PLAIN"), BytesOf("x"));
  out = dir.File("PLAIN");
  run = Run({"--preloader", preloader});
  EXPECT_EQ(run.Code, 1);
  EXPECT_NE(run.Err.find("not a directory"), std::string::npos) << run.Err;
}

TEST_F(Medium, WithoutAShippedPreloaderItAsksForOne) {
  // The test program's directory holds no SETUP.EXE, nor does a share/
  // beside it.
  RunResult run = Run({});
  ExpectRefused(run, "--preloader FILE");
  EXPECT_NE(run.Err.find("no preloader shipped with this setuppack"), std::string::npos) << run.Err;
}

TEST_F(Medium, FindsThePreloaderBesideItOrInItsInstallationTree) {
  fs::create_directories(dir.File("tree/bin"));
  fs::create_directories(dir.File("tree/share/preloader"));
  std::string bin = dir.File("tree/bin");
  EXPECT_EQ(FindPreloader(bin), "");
  WriteWholeFile(dir.File("tree/share/preloader/SETUP.EXE"), WindowsProgram());
#ifdef _WIN32
  // An installed Windows tree is one flat folder: only beside it.
  EXPECT_EQ(FindPreloader(bin), "");
#else
  EXPECT_TRUE(fs::equivalent(FindPreloader(bin), dir.File("tree/share/preloader/SETUP.EXE")));
#endif
  WriteWholeFile(dir.File("tree/bin/SETUP.EXE"), WindowsProgram());
  EXPECT_TRUE(fs::equivalent(FindPreloader(bin), dir.File("tree/bin/SETUP.EXE"))) << "beside it comes first";
  EXPECT_EQ(FindPreloader(""), "");
}

TEST_F(Medium, UsageErrors) {
  EXPECT_EQ(Setuppack({"medium", out}).Code, 2);
  EXPECT_EQ(Setuppack({"medium", "--mtime", "yesterday", out, payload}).Code, 2);
  EXPECT_FALSE(fs::exists(out));
}
