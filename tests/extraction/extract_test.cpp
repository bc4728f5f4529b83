// Extraction on the stand-in and on the real API alike: every member
// written with its time, counts, duplicate and cut names, empty members, a
// missing or cut container, and the hand-off's Install.ini. Failing members
// (the message box waits for a user on the real platform), a steered module
// path and what only the stand-in records are in extract_steered_test.cpp.
#include "container_input.h"
#include "extract_fixture.h"
#include "worker_thread.h"

TEST_F(Extract, EveryMemberWrittenThenInstallIni) {
  Bytes data = RandomBytes(50000, 7);
  WriteArchive(MakeContainer({{"DATA.BIN", Member(data)}, {"readme.txt", Member("Hallo")}}));
  EXPECT_TRUE(Run());
  EXPECT_STREQ(InstallerPath.c_str(), Staged("INSTALL.EXE").c_str());
  EXPECT_EQ(Read(Staged("DATA.BIN")), data);
  EXPECT_EQ(Read(Staged("readme.txt")), BytesOf("Hallo"));
  ExpectHandOff();
  // FindStagingRoot's temporary files are gone again.
  EXPECT_EQ(List(Temp()), std::vector<std::string>{"_Orvane3d1"});
  EXPECT_EQ(List(Staging()), (std::vector<std::string>{"DATA.BIN", "Install.ini", "readme.txt"}));
}

TEST_F(Extract, MemberKeepsItsModificationTime) {
  LocalTime when{2021, 6, 15, 10, 20, 30};
  Bytes member = EncodeBytes(scratch_, BytesOf("dated"), &when);
  WriteArchive(MakeContainer({{"A.TXT", member}}));
  EXPECT_TRUE(Run());
  LocalTime got;
  ASSERT_TRUE(GetLocalWriteTime(Host(Staged("A.TXT")), got));
  EXPECT_EQ(got, when);
}

TEST_F(Extract, CountZeroWritesNoMemberButHandsOff) {
  WriteArchive(MakeContainer(0, {{"A.TXT", Member("a")}}));
  EXPECT_TRUE(Run());
  EXPECT_FALSE(Exists(Staged("A.TXT")));
  ExpectHandOff();
}

TEST_F(Extract, CountsWithTheTopBitSetMeanNoEntries) {
  for (std::uint16_t count : {0x8000, 0xFFFF, 0x8001}) {
    SCOPED_TRACE(count);
    Restart();
    WriteArchive(MakeContainer(count, {{"A.TXT", Member("a")}}));
    EXPECT_TRUE(Run());
    EXPECT_FALSE(Exists(Staged("A.TXT")));
    ExpectHandOff();
  }
}

TEST_F(Extract, ADuplicateNameReplacesTheEarlierFile) {
  WriteArchive(MakeContainer({{"A.TXT", Member("first, longer")}, {"A.TXT", Member("second")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("second"));
}

TEST_F(Extract, AZeroByteCutsTheNameAndTheRestIsSkipped) {
  WriteArchive(MakeContainer({{std::string("A.TXT\0JUNK", 10), Member("a")}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(Read(Staged("A.TXT")), BytesOf("a"));
  EXPECT_EQ(Read(Staged("B.TXT")), BytesOf("b"));
}

TEST_F(Extract, AnEmptyMemberGivesAnEmptyFileAndGoesOn) {
  Bytes empty = MakeMember(Bytes{}, 0);
  ASSERT_EQ(empty.size(), 36u);
  WriteArchive(MakeContainer({{"EMPTY.DAT", empty}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  EXPECT_TRUE(Exists(Staged("EMPTY.DAT")));
  EXPECT_TRUE(Read(Staged("EMPTY.DAT")).empty());
  EXPECT_EQ(Read(Staged("B.TXT")), BytesOf("b"));
}

TEST_F(Extract, AMissingArchiveIsToldByItsPathAndLeavesAnEmptyStagingDirectory) {
  EXPECT_FALSE(Run());
  EXPECT_EQ(result_, ExtractResult::ArchiveNotOpened);
  EXPECT_STREQ(ArchivePath.c_str(), (Medium() + "SETUP.TMP").c_str());
  EXPECT_TRUE(IsDir(Staging()));
  EXPECT_EQ(List(Staging()), std::vector<std::string>{});
  EXPECT_STREQ(InstallerPath.c_str(), Staged("INSTALL.EXE").c_str());
}

// Mended: when the installer cannot be started, what the run wrote goes
// again, and only that: a file that someone else put there stays, and
// with it the directory.
TEST_F(Extract, AnInstallerThatCannotStartHasTheRunsFilesDiscarded) {
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}, {"A.TXT", Member("again")}, {"B.TXT", Member("b")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(result_, ExtractResult::InstallerNotStarted);  // there is no INSTALL.EXE
  DiscardStaging(Staging().c_str());
  EXPECT_FALSE(Exists(Staging()));
  EXPECT_FALSE(IsOwnStagingDir(Staging().c_str()));

  Restart();
  WriteArchive(MakeContainer({{"A.TXT", Member("a")}}));
  EXPECT_TRUE(RunPrepared([this] { MakeFile(Staged("OTHER.DAT"), BytesOf("theirs")); }));
  DiscardStaging(Staging().c_str());
  EXPECT_EQ(List(Staging()), std::vector<std::string>{"OTHER.DAT"});
}

TEST_F(Extract, NamesWithDotsThatStayInsideAreWritten) {
  WriteArchive(MakeContainer({{".hidden", Member("h")},
                              {"a..b", Member("ab")},
                              {"X.", Member("x")},
                              {"NULL.TXT", Member("n")},
                              {"COM10", Member("c")}}));
  EXPECT_TRUE(Run());
  EXPECT_EQ(Read(Staged(".hidden")), BytesOf("h"));
  EXPECT_EQ(Read(Staged("a..b")), BytesOf("ab"));
  EXPECT_EQ(Read(Staged("NULL.TXT")), BytesOf("n"));
  EXPECT_EQ(Read(Staged("COM10")), BytesOf("c"));
}

// Mended: a container cut short.
TEST_F(Extract, AnEmptyOrOneByteContainerCountsAsNoEntries) {
  for (const Bytes& container : {Bytes{}, Bytes{0x05}}) {
    Restart();
    WriteArchive(container);
    EXPECT_TRUE(Run());
    ExpectHandOff();
  }
}

// A bound preloader hands off only with the very container it is bound to:
// not with another, one with a byte changed or one with a byte appended.
TEST_F(Extract, ABoundRunHandsOffOnlyWithItsOwnContainer) {
  const Bytes own = MakeContainer({{"A.TXT", Member("a")}, {"B.BIN", Member(RandomBytes(3000, 4))}});
  Bytes changed = own, appended = own;
  changed[changed.size() - 10] ^= 0x40;
  appended.push_back('x');
  BindTo(own);
  WriteArchive(own);
  EXPECT_TRUE(Run());
  EXPECT_EQ(result_, ExtractResult::InstallerNotStarted);  // there is no INSTALL.EXE
  ExpectHandOff();
  for (const Bytes& other : {MakeContainer({{"A.TXT", Member("a")}}), changed, appended}) {
    Restart();
    WriteArchive(other);
    EXPECT_FALSE(Run());
    EXPECT_EQ(result_, ExtractResult::ContainerMismatch);
    EXPECT_FALSE(Exists(Staged("Install.ini")));
  }
}

#ifdef _WIN32
// Mended: bound to one processor, the process gets no second thread.
TEST_F(Extract, OneProcessorOfAffinityMeansNoWorker) {
  DWORD_PTR process = 0, system = 0;
  ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
  ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), process & (~process + 1)));
  bool running = WorkerThread().Running();
  SetProcessAffinityMask(GetCurrentProcess(), process);
  EXPECT_FALSE(running);
}
#endif

namespace {

// A job of the hand-over test: it checks it runs in its turn and, every
// so often, works long enough that the caller has to sleep on it.
struct Turn {
  int Id = 0;
  int* Done = nullptr;  // written by the job, read by the caller after Finish
  bool Long = false;
  static void Run(void* self) {
    Turn& turn = *static_cast<Turn*>(self);
    volatile unsigned sink = 0;
    for (unsigned i = 0; turn.Long && i < 4000000; ++i) sink = sink + i;
    if (*turn.Done == turn.Id) ++*turn.Done;
  }
};

// Work on the caller's side: a little, as decoding a block is, so that the
// worker starts the job meanwhile; or long enough for an idle worker to
// fall asleep.
void BusyCaller(unsigned rounds) {
  volatile unsigned sink = 0;
  for (unsigned i = 0; i < rounds; ++i) sink = sink + i;
}

}  // namespace

// The hand-over between the two threads, under load and under the
// sanitizers natively: every job runs once, in its order, its result seen
// by the caller after Finish, whether the worker was spinning, asleep or
// still running it, or the job was taken back.
TEST(WorkerHandOver, EveryJobRunsOnceInItsTurn) {
  WorkerThread worker;
  int done = 0;
  std::vector<Turn> turns(5000);
  for (int i = 0; i < static_cast<int>(turns.size()); ++i) {
    turns[i] = {i, &done, i % 97 == 0};
    worker.Post(Turn::Run, &turns[i]);
    BusyCaller(i % 1000 == 1 ? 40000000 : i % 3 ? 20000 : 0);
    worker.Finish();
    ASSERT_EQ(done, i + 1) << "job " << i;
  }
  worker.End();
  EXPECT_FALSE(worker.Running());
}

// The container's input: any file read in pieces of any size gives its
// bytes in order and, hashed, its SHA-256, with the next block read on the
// worker while the caller copies the one before.
TEST_F(Extract, TheContainerInputHandsOutEveryByteOnceInOrder) {
  const Bytes file = RandomBytes(3 * 128 * 1024 + 12345, 77);
  MakeFile(Medium() + "SETUP.TMP", file);
  WorkerThread worker;
  ContainerInput input(worker, true);
  ASSERT_TRUE(input.Open((Medium() + "SETUP.TMP").c_str()));
  Bytes read;
  std::uint8_t piece[70000];
  for (std::size_t size = 1; read.size() < file.size(); size = size * 7 % 69997 + 1) {
    const std::size_t got = input.Read(piece, size);
    read.insert(read.end(), piece, piece + got);
    if (got < size) break;
  }
  EXPECT_TRUE(read == file);
  EXPECT_EQ(input.Read(piece, 1), 0u);
  EXPECT_TRUE(input.ReadToEnd());
  Sha256 hash;
  hash.Update(file.data(), file.size());
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  hash.Final(digest);
  EXPECT_TRUE(input.Matches(digest));
}
