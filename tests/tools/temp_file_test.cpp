// Temporary files: fresh unguessable names beside their target, put in
// place by a rename, and gone on every failure and on an interrupt.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <set>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "container.h"
#include "members.h"
#include "setuppack_runner.h"
#include "files/temp_file.h"

namespace fs = std::filesystem;

namespace {

bool IsTemporaryName(const std::string& name) {
  const std::string prefix = ".setuppack-";
  if (name.size() != prefix.size() + 16 || name.compare(0, prefix.size(), prefix) != 0) return false;
  return name.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos;
}

// Makes three temporary files beside `target` (and, where `churn`, a thread
// that makes and removes more), then raises `signal`.
[[noreturn]] void MakeTempFilesAndRaise(const std::string& target, int signal, bool churn) {
#ifndef _WIN32
  struct rlimit noCore = {0, 0};  // SIGQUIT would dump one
  setrlimit(RLIMIT_CORE, &noCore);
#endif
  InstallInterruptCleanup();
  std::vector<std::unique_ptr<TempFile>> files;
  std::string why;
  for (int i = 0; i < 3; ++i) {
    files.push_back(std::make_unique<TempFile>(target));
    if (!files.back()->Create(why)) std::exit(2);
    std::fputs("partial", files.back()->Stream());
  }
  if (churn) {
    std::atomic<bool> churning{false};
    std::thread([&] {
      for (;;) {
        TempFile file(target + ".OTHER");
        std::string ignored;
        file.Create(ignored);
        churning = true;
      }
    }).detach();
    while (!churning) std::this_thread::yield();
  }
  std::raise(signal);
  std::exit(9);  // not reached: the handler ends the process by the signal
}

}  // namespace

TEST(TempFile, FreshNamesBesideTheTargetAndGoneWithTheObject) {
  ScratchDir dir;
  std::set<std::string> names;
  {
    std::vector<std::unique_ptr<TempFile>> files;
    for (int i = 0; i < 64; ++i) {
      files.push_back(std::make_unique<TempFile>(dir.File("TARGET.BIN")));
      std::string why;
      ASSERT_TRUE(files.back()->Create(why)) << why;
      const std::string& path = files.back()->Path();
      ASSERT_EQ(path.compare(0, dir.Path().size(), dir.Path()), 0) << path;
      std::string name = path.substr(dir.Path().size());
      EXPECT_TRUE(IsTemporaryName(name)) << path;
      names.insert(name);
    }
    EXPECT_EQ(names.size(), 64u);
    EXPECT_EQ(FilesIn(dir.Path()).size(), 64u);
  }
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{});
}

TEST(TempFile, CommitReplacesTheTargetAndDiscardLeavesNothing) {
  ScratchDir dir;
  WriteWholeFile(dir.File("TARGET.BIN"), BytesOf("old"));
  std::string why;
  TempFile committed(dir.File("TARGET.BIN"));
  ASSERT_TRUE(committed.Create(why)) << why;
  std::fputs("new", committed.Stream());
  ASSERT_TRUE(committed.Commit(why)) << why;
  EXPECT_EQ(ReadWholeFile(dir.File("TARGET.BIN")), BytesOf("new"));

  TempFile discarded(dir.File("TARGET.BIN"));
  ASSERT_TRUE(discarded.Create(why)) << why;
  std::fputs("never", discarded.Stream());
  discarded.Discard();
  EXPECT_EQ(ReadWholeFile(dir.File("TARGET.BIN")), BytesOf("new"));
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"TARGET.BIN"});
}

TEST(TempFile, NoDirectoryNoFile) {
  ScratchDir dir;
  TempFile file(dir.File("missing/TARGET.BIN"));
  std::string why;
  EXPECT_FALSE(file.Create(why));
  EXPECT_NE(why.find("cannot create a temporary file"), std::string::npos) << why;
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{});
}

#ifdef _WIN32

// The handler removes files that are still open, which only works because
// they are open for deletion too.
TEST(TempFile, CtrlCRemovesThem) {
  // The death test's child runs this test again in a process of its own:
  // the directory needs a name that both know.
  std::string dir = (fs::temp_directory_path() / "setuppack-interrupt-test").string();
  fs::remove_all(dir);
  fs::create_directories(dir);
  EXPECT_EXIT(MakeTempFilesAndRaise(dir + "\\TARGET.BIN", SIGINT, false), ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{});
  fs::remove_all(dir);
}

#else

TEST(TempFile, AnInterruptRemovesThemAndEndsTheProcessByTheSignal) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    ScratchDir dir;
    EXPECT_EXIT(MakeTempFilesAndRaise(dir.File("TARGET.BIN"), signal, true),
                ::testing::KilledBySignal(signal), "");
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{}) << signal;
  }
}

TEST(TempFile, ASignalTheCallerIgnoresStaysIgnored) {
  ScratchDir dir;
  EXPECT_EXIT(
      {
        std::signal(SIGHUP, SIG_IGN);  // as nohup leaves it
        InstallInterruptCleanup();
        TempFile file(dir.File("TARGET.BIN"));
        std::string why;
        if (!file.Create(why)) std::exit(2);
        std::raise(SIGHUP);
        file.Discard();
        std::exit(7);
      },
      ::testing::ExitedWithCode(7), "");
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{});
}

// The real command, two workers at it, ended by SIGTERM as soon as a
// temporary file shows: it leaves no temporary file, and its targets are
// whole members put in place in their order, the first few or none. On a
// machine fast enough to finish first, the run must simply have succeeded.
TEST(TempFile, AnExtractEndedBySigtermLeavesNoTemporaryFile) {
  ScratchDir dir;
  const std::vector<std::string> names = {"A.BIN", "B.BIN", "C.BIN", "D.BIN"};
  std::vector<ContainerEntry> entries;
  std::vector<Bytes> data;
  for (std::size_t i = 0; i < names.size(); ++i) {
    data.push_back(Bytes(12 << 20, static_cast<std::uint8_t>('w' + i)));
    entries.push_back({names[i], EncodeBytes(dir, data.back())});
  }
  WriteWholeFile(dir.File("S.TMP"), MakeContainer(entries));
  std::string out = dir.File("out");
  fs::create_directories(out);
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) _exit(Setuppack({"extract", "-q", "-j", "2", "-C", out, dir.File("S.TMP")}).Code);
  ASSERT_GT(child, 0);
  int status = 0;
  bool ended = false;
  for (int wait = 0; wait < 60000 && !ended; ++wait) {  // a minute at most
    std::vector<std::string> files = FilesIn(out);
    if (std::any_of(files.begin(), files.end(), IsTemporaryName)) {
      kill(child, SIGTERM);
      break;
    }
    ended = waitpid(child, &status, WNOHANG) == child;
    if (!ended) usleep(1000);
  }
  if (!ended) {
    ASSERT_EQ(waitpid(child, &status, 0), child);
  }
  std::vector<std::string> files = FilesIn(out);
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    ASSERT_LE(files.size(), names.size());
    EXPECT_EQ(files,
              std::vector<std::string>(names.begin(), names.begin() + static_cast<long>(files.size())));
  } else {
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(files, names);
  }
  for (std::size_t i = 0; i < files.size() && i < names.size(); ++i)
    EXPECT_EQ(ReadWholeFile(out + "/" + names[i]), data[i]) << names[i];
}

#endif
