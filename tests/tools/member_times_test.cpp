// Reproducible containers: `--mtime` stamps every member with one wall-clock
// time, SOURCE_DATE_EPOCH caps the members' times and takes them as UTC, and
// then the same payload gives the same SETUP.TMP in any time zone and with
// any file times a checkout leaves. Bad times are refused before anything is
// written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include "members.h"
#include "setuppack_runner.h"

namespace fs = std::filesystem;

namespace {

// 2023-11-14 22:13:20 UTC
constexpr std::int64_t kEpoch = 1700000000;

void SetVariable(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
  _putenv((std::string(name) + "=" + value.value_or("")).c_str());  // "NAME=" removes it
#else
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
  if (std::string(name) == "TZ") tzset();
#endif
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    SetVariable(name_, value);
  }
  ~ScopedVariable() { SetVariable(name_, old_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The other tests of this program expect members with their files' own
// times; a SOURCE_DATE_EPOCH exported by the environment (package builds
// export it) must not change what they see. The tests here set it themselves.
const bool kNoInheritedEpoch = [] {
  SetVariable("SOURCE_DATE_EPOCH", std::nullopt);
  return true;
}();

// The last-write time as a moment, seconds since 1970, whatever the zone.
bool SetWriteMoment(const std::string& path, std::int64_t seconds) {
#ifdef _WIN32
  std::uint64_t ticks = static_cast<std::uint64_t>(seconds + 11644473600) * 10000000;
  FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL ok = SetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
  return ok != 0;
#else
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
#endif
}

// The time fields of every member header in a container, in entry order.
std::vector<LocalTime> StoredTimes(const Bytes& container) {
  std::vector<LocalTime> times;
  std::size_t at = 2;
  for (unsigned entry = 0; entry < static_cast<unsigned>(container[0] | container[1] << 8); ++entry) {
    at += 2 + (container[at] | container[at + 1] << 8);
    auto field = [&](int k) { return static_cast<int>(LittleEndian32(container, at + 4 + 4 * k)); };
    times.push_back({1980 + field(5), field(4), field(3), field(2), field(1), 2 * field(0)});
    at += 36 + LittleEndian32(container, at + 32);
  }
  return times;
}

class MemberTimes : public ::testing::Test {
 protected:
  void SetUp() override {
    payload = dir.File("payload");
    fs::create_directories(payload);
    WriteWholeFile(payload + "/INSTALL.EXE", RandomBytes(20000, 5));
    WriteWholeFile(payload + "/README.TXT", BytesOf("read me\n"));
    WriteWholeFile(payload + "/DATA.BIN", RandomBytes(3000, 6));
    container = dir.File("SETUP.TMP");
  }

  // The payload's files get these moments, in name order.
  void SetMoments(std::int64_t data, std::int64_t install, std::int64_t readme) {
    ASSERT_TRUE(SetWriteMoment(payload + "/DATA.BIN", data));
    ASSERT_TRUE(SetWriteMoment(payload + "/INSTALL.EXE", install));
    ASSERT_TRUE(SetWriteMoment(payload + "/README.TXT", readme));
  }

  Bytes Create(std::vector<std::string> options = {}) {
    std::vector<std::string> args{"create", "-q"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(container);
    args.push_back(payload);
    RunResult run = Setuppack(args);
    EXPECT_EQ(run.Code, 0) << run.Err;
    return fs::exists(container) ? ReadWholeFile(container) : Bytes{};
  }

  // Refused as a usage error, and nothing written.
  void ExpectRefused(const std::vector<std::string>& options, const std::string& reason) {
    std::vector<std::string> args{"create"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(container);
    args.push_back(payload);
    RunResult run = Setuppack(args);
    EXPECT_EQ(run.Code, 2) << run.Err;
    EXPECT_NE(run.Err.find(reason), std::string::npos) << run.Err;
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"payload"});
  }

  ScratchDir dir;
  std::string payload;
  std::string container;
  ScopedVariable noEpoch{"SOURCE_DATE_EPOCH", std::nullopt};
};

}  // namespace

TEST_F(MemberTimes, MtimeStampsEveryMemberWithThatWallClockTime) {
  SetMoments(kEpoch - 86400 * 400, kEpoch, kEpoch + 5);
  Bytes first = Create({"--mtime", "2024-02-29 23:59:59"});
  const LocalTime stamped{2024, 2, 29, 23, 59, 58};  // odd seconds round down
  EXPECT_EQ(StoredTimes(first), std::vector<LocalTime>(3, stamped));

  // Other file times, other jobs: the same bytes.
  SetMoments(kEpoch + 1000, kEpoch - 1000, kEpoch);
  EXPECT_EQ(Create({"--mtime", "2024-02-29 23:59:58", "-j", "2"}), first);

  // extract gives the files that wall-clock time.
  ASSERT_EQ(Setuppack({"extract", "-C", dir.File("out"), container}).Code, 0);
  for (const char* name : {"DATA.BIN", "INSTALL.EXE", "README.TXT"}) {
    LocalTime time;
    ASSERT_TRUE(GetLocalWriteTime(dir.File("out") + "/" + name, time));
    EXPECT_EQ(time, stamped) << name;
  }
}

TEST_F(MemberTimes, MtimeWinsOverSourceDateEpoch) {
  ScopedVariable epoch("SOURCE_DATE_EPOCH", "not even a number");
  Bytes stamped = Create({"--mtime", "1999-12-31 12:00:00"});
  EXPECT_EQ(StoredTimes(stamped), std::vector<LocalTime>(3, LocalTime{1999, 12, 31, 12, 0, 0}));
}

TEST_F(MemberTimes, MtimeAcceptsOnlyRealTimesThatAMemberHolds) {
  for (const char* text : {"1980-01-01 00:00:00", "2107-12-31 23:59:59", "2000-02-29 12:00:00"}) {
    Create({"--mtime", text});
    fs::remove(container);
  }
  struct {
    const char* Text;
    const char* Reason;
  } const refused[] = {
      {"1979-12-31 23:59:59", "from 1980 to 2107"},
      {"2108-01-01 00:00:00", "from 1980 to 2107"},
      {"2023-02-29 12:00:00", "no such date"},
      {"2100-02-29 12:00:00", "no such date"},
      {"2024-04-31 12:00:00", "no such date"},
      {"2024-13-01 12:00:00", "no such date"},
      {"2024-00-10 12:00:00", "no such date"},
      {"2024-01-00 12:00:00", "no such date"},
      {"2024-01-01 24:00:00", "no such date"},
      {"2024-01-01 12:60:00", "no such date"},
      {"2024-01-01 12:00:60", "no such date"},
      {"2024-1-01 12:00:00", "YYYY-MM-DD HH:MM:SS"},
      {"2024-01-01T12:00:00", "YYYY-MM-DD HH:MM:SS"},
      {"2024-01-01 12:00", "YYYY-MM-DD HH:MM:SS"},
      {"2024-01-01 12:00:00 ", "YYYY-MM-DD HH:MM:SS"},
      {"+024-01-01 12:00:00", "YYYY-MM-DD HH:MM:SS"},
      {"", "YYYY-MM-DD HH:MM:SS"},
  };
  for (const auto& bad : refused) {
    SCOPED_TRACE(bad.Text);
    ExpectRefused({"--mtime", bad.Text}, bad.Reason);
  }
}

TEST_F(MemberTimes, SourceDateEpochCapsTimesAndTakesThemAsUtc) {
  ScopedVariable epoch("SOURCE_DATE_EPOCH", std::to_string(kEpoch));
  // Older than the cap, a second after it, a day after it.
  SetMoments(kEpoch - 86400 * 365 - 3, kEpoch + 1, kEpoch + 86400);
  EXPECT_EQ(StoredTimes(Create()), (std::vector<LocalTime>{{2022, 11, 14, 22, 13, 16},  // 17 s rounds down
                                                           {2023, 11, 14, 22, 13, 20},
                                                           {2023, 11, 14, 22, 13, 20}}));
}

TEST_F(MemberTimes, EmptySourceDateEpochCountsAsUnset) {
  const LocalTime local{2021, 6, 7, 8, 9, 10};
  for (const char* name : {"DATA.BIN", "INSTALL.EXE", "README.TXT"})
    ASSERT_TRUE(SetLocalWriteTime(payload + "/" + name, local));
  ScopedVariable epoch("SOURCE_DATE_EPOCH", "");  // on Windows "NAME=" removes it: the same
  EXPECT_EQ(StoredTimes(Create()), std::vector<LocalTime>(3, local));
}

TEST_F(MemberTimes, MalformedSourceDateEpochIsRefused) {
  for (const char* value : {"abc", "-1", "+1700000000", "1700000000.5", " 1700000000", "1700000000 ", "1e9",
                            "0x65000000", "99999999999999999999"}) {
    SCOPED_TRACE(value);
    ScopedVariable epoch("SOURCE_DATE_EPOCH", value);
    ExpectRefused({}, "SOURCE_DATE_EPOCH");
  }
  ScopedVariable early("SOURCE_DATE_EPOCH", "315532799");
  ExpectRefused({}, "before 1980");
  ScopedVariable first("SOURCE_DATE_EPOCH", "315532800");
  EXPECT_EQ(StoredTimes(Create()), std::vector<LocalTime>(3, LocalTime{1980, 1, 1, 0, 0, 0}));
}

// The point of it all: a fresh checkout (every file as new as the checkout)
// packed in two time zones gives one SETUP.TMP; so does a payload whose files
// are older than SOURCE_DATE_EPOCH.
TEST_F(MemberTimes, SamePayloadSameContainerInAnyZoneAndAfterAnyCheckout) {
  std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  ScopedVariable epoch("SOURCE_DATE_EPOCH", std::to_string(kEpoch));
  SetMoments(now, now, now);
  Bytes checkedOut = Create();
  SetMoments(now + 7200, now + 3601, now + 86400 * 30);
  EXPECT_EQ(Create(), checkedOut);

  SetMoments(kEpoch - 5000, kEpoch - 86400 * 200, kEpoch - 1);
  Bytes older = Create();
#ifdef _WIN32
  GTEST_SKIP() << "the Windows calls take the system's zone, which a test cannot change for itself";
#else
  Bytes inZone[2];
  for (int zone = 0; zone < 2; ++zone) {
    // Zones without a tz database: 3:30 west of UTC, and 13:45 east of it.
    ScopedVariable tz("TZ", zone == 0 ? "NST+3:30" : "CHT-13:45");
    SetMoments(now, now, now);
    EXPECT_EQ(Create(), checkedOut) << "zone " << zone;
    SetMoments(kEpoch - 5000, kEpoch - 86400 * 200, kEpoch - 1);
    EXPECT_EQ(Create(), older) << "zone " << zone;
    ScopedVariable unset("SOURCE_DATE_EPOCH", std::nullopt);
    inZone[zone] = Create();
  }
  EXPECT_NE(inZone[0], inZone[1]) << "without SOURCE_DATE_EPOCH the zone shows: the zones were in effect";
#endif
}
