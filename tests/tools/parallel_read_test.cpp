// `test -j` and `extract -j`: whatever the number of workers, the same
// files with the same bytes and times, the same messages, and on a damaged
// container the same first fault, with no member behind it written. The
// workers' second streams on the container lead to the file the walk read,
// or to nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "container.h"
#include "files/input_file.h"
#include "members.h"
#include "jobs/ordered_jobs.h"
#include "setuppack_runner.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kJobs = {"1", "2", "3", "8"};

struct Member {
  std::string Name;
  Bytes Data;
  LocalTime Time;
};

// Members from empty to 1 MiB, of text-like and random bytes, each with a
// time of its own.
std::vector<Member> VariedMembers() {
  std::vector<Member> members;
  const std::size_t sizes[] = {300000, 0, 1, 70000, 5000, 1 << 20, 12, 200000, 4096};
  int k = 0;
  for (std::size_t size : sizes) {
    Bytes data = RandomBytes(size, static_cast<std::uint32_t>(k + 1));
    if (k % 2 == 0)
      for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>("INSTALL DATA "[(i / 7 + data[i] % 3) % 13]);
    members.push_back({k == 0 ? "INSTALL.EXE" : "FILE" + std::to_string(k) + ".DAT", data,
                       LocalTime{2001 + k, 1 + k, 2 + k, 3 + k, 4 + k, 2 * k}});
    ++k;
  }
  return members;
}

class ParallelRead : public ::testing::Test {
 protected:
  void SetUp() override {
    members = VariedMembers();
    for (const Member& member : members) encoded.push_back(EncodeBytes(dir, member.Data, &member.Time));
  }

  std::vector<ContainerEntry> Entries() const {
    std::vector<ContainerEntry> entries;
    for (std::size_t i = 0; i < members.size(); ++i) entries.push_back({members[i].Name, encoded[i]});
    return entries;
  }

  // extract -j into a fresh directory; `before` is put there first.
  RunResult Extract(const Bytes& container, const std::string& jobs, const std::string& out,
                    const std::vector<std::pair<std::string, Bytes>>& before = {}) {
    WriteWholeFile(dir.File("S.TMP"), container);
    fs::remove_all(out);
    fs::create_directories(out);
    for (const auto& [name, bytes] : before) WriteWholeFile(out + "/" + name, bytes);
    return Setuppack({"extract", "-q", "-j", jobs, "-C", out, dir.File("S.TMP")});
  }

  RunResult Test(const Bytes& container, const std::string& jobs) {
    WriteWholeFile(dir.File("S.TMP"), container);
    return Setuppack({"test", "-j", jobs, dir.File("S.TMP")});
  }

  ScratchDir dir;
  std::vector<Member> members;
  std::vector<Bytes> encoded;
};

// A member that keeps its PackedSize consistent but has lost its last token.
Bytes LostLastToken(Bytes member) {
  member.pop_back();
  member[32] = static_cast<std::uint8_t>(member[32] - 1);
  return member;
}

// A member whose header announces fewer bytes than its tokens make.
Bytes AnnouncesTooFew(Bytes member) {
  for (int i = 0; i < 4; ++i) member[28 + i] = static_cast<std::uint8_t>(i == 0 ? 10 : 0);
  return member;
}

}  // namespace

TEST_F(ParallelRead, EveryNumberOfWorkersWritesTheSameFilesTimesAndMessages) {
  const Bytes container = MakeContainer(Entries());
  const std::string first = dir.File("out1");
  RunResult one = Extract(container, "1", first);
  ASSERT_EQ(one.Code, 0) << one.Err;
  RunResult tested = Test(container, "1");
  ASSERT_EQ(tested.Code, 0) << tested.Err;
  for (const std::string& jobs : kJobs) {
    const std::string out = dir.File("out-j" + jobs);
    RunResult run = Extract(container, jobs, out);
    EXPECT_EQ(run.Code, 0) << jobs << ": " << run.Err;
    EXPECT_EQ(run.Out + run.Err, one.Out + one.Err) << jobs;
    EXPECT_EQ(FilesIn(out), FilesIn(first)) << jobs;
    for (const Member& member : members) {
      EXPECT_EQ(ReadWholeFile(out + "/" + member.Name), member.Data) << jobs << ": " << member.Name;
      LocalTime time;
      ASSERT_TRUE(GetLocalWriteTime(out + "/" + member.Name, time)) << member.Name;
      EXPECT_EQ(time, member.Time) << jobs << ": " << member.Name;
    }
    RunResult checked = Test(container, jobs);
    EXPECT_EQ(checked.Code, 0) << jobs;
    EXPECT_EQ(checked.Out + checked.Err, tested.Out + tested.Err) << jobs;
  }
}

TEST_F(ParallelRead, TheFirstFaultInTheContainersOrderIsReportedAndNothingBehindItAppears) {
  struct Case {
    std::string What;
    std::size_t At;
    Bytes (*Damage)(Bytes);
    std::string Says;
  };
  const std::size_t last = members.size() - 1;
  const Case cases[] = {
      {"lost token, first", 0, LostLastToken, "decodes to"},
      {"lost token, middle", 3, LostLastToken, "decodes to"},
      {"lost token, last", last, LostLastToken, "decodes to"},
      {"too many bytes, middle", 5, AnnouncesTooFew, "more than the 10 bytes"},
  };
  for (const Case& c : cases) {
    std::vector<ContainerEntry> entries = Entries();
    entries[c.At].Member = c.Damage(entries[c.At].Member);
    // A later member damaged too: never the one reported.
    if (c.At + 2 <= last) entries[c.At + 2].Member = LostLastToken(entries[c.At + 2].Member);
    const Bytes container = MakeContainer(entries);
    // Files of the same names from before: those at and behind the fault stay.
    std::vector<std::pair<std::string, Bytes>> before;
    for (std::size_t i = c.At; i < members.size(); i += 2)
      before.push_back({members[i].Name, BytesOf("old")});

    std::vector<std::string> expected;
    for (std::size_t i = 0; i < members.size(); ++i)
      if (i < c.At || (i - c.At) % 2 == 0) expected.push_back(members[i].Name);
    std::sort(expected.begin(), expected.end());
    const std::string entry = "entry " + std::to_string(c.At) + " (" + members[c.At].Name + ")";

    RunResult one = Extract(container, "1", dir.File("out1"), before);
    EXPECT_EQ(one.Code, 1) << c.What;
    EXPECT_NE(one.Err.find(entry), std::string::npos) << c.What << ": " << one.Err;
    EXPECT_NE(one.Err.find(c.Says), std::string::npos) << c.What << ": " << one.Err;
    RunResult tested = Test(container, "1");
    EXPECT_EQ(tested.Code, 1) << c.What;
    EXPECT_NE(tested.Err.find(entry), std::string::npos) << c.What << ": " << tested.Err;
    for (const std::string& jobs : kJobs) {
      const std::string out = dir.File("out-j" + jobs);
      RunResult run = Extract(container, jobs, out, before);
      EXPECT_EQ(run.Code, 1) << c.What << ", -j " << jobs;
      EXPECT_EQ(run.Err, one.Err) << c.What << ", -j " << jobs;
      EXPECT_EQ(FilesIn(out), expected) << c.What << ", -j " << jobs;
      for (std::size_t i = 0; i < members.size(); ++i) {
        const Bytes want = i < c.At ? members[i].Data : BytesOf("old");
        if (i < c.At || (i - c.At) % 2 == 0) {
          EXPECT_EQ(ReadWholeFile(out + "/" + members[i].Name), want)
              << c.What << ", -j " << jobs << ": " << i;
        }
      }
      RunResult checked = Test(container, jobs);
      EXPECT_EQ(checked.Code, 1) << c.What << ", -j " << jobs;
      EXPECT_EQ(checked.Err, tested.Err) << c.What << ", -j " << jobs;
    }
  }
}

// test walks the whole container before it checks token streams side by
// side; a fault in an earlier token stream still comes before damage that
// the walk met further on.
TEST_F(ParallelRead, TestReportsATokenFaultBeforeLaterDamageOfTheContainer) {
  std::vector<ContainerEntry> faulty = Entries();
  faulty[3].Member = LostLastToken(faulty[3].Member);
  std::vector<ContainerEntry> faultyThenBadName = faulty;
  faultyThenBadName[6].Name = "NUL";
  std::vector<ContainerEntry> badName = Entries();
  badName[6].Name = "NUL";
  Bytes cutAfterFault = MakeContainer(faulty);
  cutAfterFault.pop_back();
  Bytes cut = MakeContainer(Entries());
  cut.pop_back();

  const std::pair<Bytes, std::string> cases[] = {
      {MakeContainer(faulty), "entry 3 (FILE3.DAT)"},
      {MakeContainer(faultyThenBadName), "entry 3 (FILE3.DAT)"},
      {cutAfterFault, "entry 3 (FILE3.DAT)"},
      {MakeContainer(badName), "entry 6 (NUL)"},
      {cut, "entry " + std::to_string(members.size() - 1) + " (" + members.back().Name + ")"},
  };
  for (const auto& [container, says] : cases)
    for (const std::string& jobs : kJobs) {
      RunResult run = Test(container, jobs);
      EXPECT_EQ(run.Code, 1) << says << ", -j " << jobs;
      EXPECT_NE(run.Err.find(says), std::string::npos) << "-j " << jobs << ": " << run.Err;
    }
}

TEST(ReopenInputFile, OnlyTheFileOpenedFirstAsItWasThen) {
  ScratchDir dir;
  const std::string path = dir.File("S.TMP");
  const LocalTime time{2020, 2, 3, 4, 5, 6};
  WriteWholeFile(path, BytesOf("container bytes"));
  ASSERT_TRUE(SetLocalWriteTime(path, time));
  InputFault fault;
  std::string why;
  FILE* first = OpenInputFile(path, nullptr, fault, why);
  ASSERT_NE(first, nullptr) << why;
  FileIdentity identity;
  FileStamp stamp;
  ASSERT_TRUE(IdentityOf(first, identity));
  ASSERT_TRUE(StampOf(first, stamp));

  FILE* again = ReopenInputFile(path, identity, stamp, why);
  ASSERT_NE(again, nullptr) << why;
  char bytes[16] = {};
  EXPECT_EQ(std::fread(bytes, 1, 9, again), 9u);
  EXPECT_EQ(std::string(bytes), "container");
  std::fclose(again);

  // Another file put under the name, of the same size and time. The first
  // stream keeps the file under its new name (setuppack opens its inputs
  // shared for deletion, so Windows lets it be renamed too).
  WriteWholeFile(dir.File("OTHER"), BytesOf("CONTAINER BYTES"));
  ASSERT_TRUE(SetLocalWriteTime(dir.File("OTHER"), time));
  const std::string moved = dir.File("S.OLD");
  ASSERT_EQ(std::rename(path.c_str(), moved.c_str()), 0);
  ASSERT_EQ(std::rename(dir.File("OTHER").c_str(), path.c_str()), 0);
  EXPECT_EQ(ReopenInputFile(path, identity, stamp, why), nullptr);
  EXPECT_NE(why.find("replaced"), std::string::npos) << why;
  FILE* same = ReopenInputFile(moved, identity, stamp, why);
  EXPECT_NE(same, nullptr) << why;
  if (same) std::fclose(same);

  // The same file, changed since it was opened first.
  WriteWholeFile(moved, BytesOf("container bytes, and more"));
  EXPECT_EQ(ReopenInputFile(moved, identity, stamp, why), nullptr);
  EXPECT_NE(why.find("changed"), std::string::npos) << why;
  std::fclose(first);
}

TEST(RunInOrder, TakesEveryResultInOrderAndStopsWhereTakeSays) {
  for (unsigned jobs : {1u, 2u, 3u, 8u}) {
    std::atomic<std::size_t> highest{0};
    std::atomic<unsigned> workers{0};
    std::vector<std::size_t> taken;
    std::function<std::size_t(unsigned, std::size_t)> work = [&](unsigned worker, std::size_t index) {
      unsigned most = workers.load();
      while (worker + 1 > most && !workers.compare_exchange_weak(most, worker + 1)) {
      }
      std::size_t seen = highest.load();
      while (index > seen && !highest.compare_exchange_weak(seen, index)) {
      }
      return index * 3;
    };
    std::function<bool(std::size_t, std::size_t&)> take = [&](std::size_t index, std::size_t& result) {
      EXPECT_EQ(result, index * 3);
      taken.push_back(index);
      return index != 20;
    };
    EXPECT_FALSE(RunInOrder<std::size_t>(100, jobs, work, take)) << jobs;
    std::vector<std::size_t> expected;
    for (std::size_t i = 0; i <= 20; ++i) expected.push_back(i);
    EXPECT_EQ(taken, expected) << jobs;
    // Never further ahead of the taking than four times the workers.
    EXPECT_LT(highest.load(), 21 + 4 * jobs) << jobs;
    EXPECT_LE(workers.load(), jobs);

    taken.clear();
    EXPECT_TRUE(RunInOrder<std::size_t>(7, jobs, work, [&](std::size_t index, std::size_t&) {
      taken.push_back(index);
      return true;
    }));
    EXPECT_EQ(taken.size(), 7u) << jobs;
  }
}

// Heavy items first: a worker that starts a light one while a heavy one
// waits is what leaves the other worker idle at the end. The lightest item
// is always the next to be taken here, and the window never fills up
// waiting for it.
TEST(RunInOrder, StartsTheHeaviestItemTheWindowAllowsAndStillTakesInOrder) {
  for (unsigned jobs : {2u, 3u}) {
    std::mutex lock;
    std::vector<std::size_t> started;
    std::function<std::size_t(unsigned, std::size_t)> work = [&](unsigned, std::size_t index) {
      std::lock_guard<std::mutex> hold(lock);
      started.push_back(index);
      return index;
    };
    std::vector<std::size_t> taken;
    std::function<bool(std::size_t, std::size_t&)> take = [&](std::size_t index, std::size_t& result) {
      EXPECT_EQ(result, index);
      taken.push_back(index);
      return true;
    };
    std::function<std::uint64_t(std::size_t)> weight = [](std::size_t index) { return index; };
    ASSERT_TRUE(RunInOrder<std::size_t>(50, jobs, work, take, weight)) << jobs;
    ASSERT_EQ(taken.size(), 50u) << jobs;
    for (std::size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i], i) << jobs;
    // Item 0, the lightest of the first window, started after the other
    // 4 * jobs - 1 items of that window were picked; a worker may note its
    // pick late, but never more than the jobs - 1 others.
    ASSERT_EQ(started.size(), 50u) << jobs;
    std::size_t place =
        static_cast<std::size_t>(std::find(started.begin(), started.end(), 0u) - started.begin());
    EXPECT_GE(place, 3 * jobs) << jobs;
  }
}

TEST(RunInOrder, AWorkersExceptionIsThrownInItsTurnAndOnlyThen) {
  for (unsigned jobs : {1u, 2u, 8u}) {
    std::vector<std::size_t> taken;
    std::function<int(unsigned, std::size_t)> work = [](unsigned, std::size_t index) {
      if (index == 5 || index == 9) throw std::runtime_error("item " + std::to_string(index));
      return 0;
    };
    std::function<bool(std::size_t, int&)> take = [&](std::size_t index, int&) {
      taken.push_back(index);
      return true;
    };
    try {
      RunInOrder<int>(40, jobs, work, take);
      ADD_FAILURE() << "no exception, -j " << jobs;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "item 5") << jobs;
    }
    EXPECT_EQ(taken, (std::vector<std::size_t>{0, 1, 2, 3, 4})) << jobs;

    // Stopped before the faulty item: no exception.
    taken.clear();
    EXPECT_FALSE(RunInOrder<int>(40, jobs, work, [&](std::size_t index, int&) { return index != 3; }))
        << jobs;
  }
}
