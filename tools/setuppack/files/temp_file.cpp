#include "temp_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <bcrypt.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "lzss.h"
#include "system_error.h"

namespace {

constexpr char NAME_PREFIX[] = ".setuppack-";
constexpr int RANDOM_BYTES = 8;  // 16 hex digits
constexpr int CREATE_ATTEMPTS = 16;

// The interrupt handler reads the live paths from fixed storage, never from
// the heap. Commands hold at most a few temporary files per worker.
constexpr int SLOT_COUNT = 512;
constexpr std::size_t SLOT_PATH_SIZE = 4096;
// Every member has an initializer, so that the table is initialized at
// compile time, as zero bytes that the system maps in only when a slot is
// used: set at start-up, it would take 2 MiB and a page fault per slot.
struct Slot {
  std::atomic<bool> Taken{false};
  std::atomic<bool> Live{false};  // Path names a file of ours
  char Path[SLOT_PATH_SIZE] = {};
};
Slot slots[SLOT_COUNT];

// Creating, renaming and removing a temporary file is a change of the set of
// live files. The interrupt handler waits until no change is under way and
// lets none begin after it, so that it never misses a file that is about to
// exist and never removes a name that no longer is ours.
std::atomic<int> changing{0};
std::atomic<bool> interrupted{false};

#ifdef _WIN32
const int INTERRUPTS[] = {SIGINT, SIGTERM, SIGBREAK};
#else
const int INTERRUPTS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};
#endif

// On a thread in a change the interrupts wait (on Windows the handler runs
// on a thread of its own anyway), so the handler's wait always ends.
class Change {
 public:
  Change() {
#ifndef _WIN32
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : INTERRUPTS) sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, &saved_);
#endif
    changing.fetch_add(1);
    allowed_ = !interrupted.load();
  }
  ~Change() {
    changing.fetch_sub(1);
#ifndef _WIN32
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
#endif
  }
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;
  bool Allowed() const { return allowed_; }

 private:
  bool allowed_ = false;
#ifndef _WIN32
  sigset_t saved_;
#endif
};

void RemoveFile(const char* path) {
#ifdef _WIN32
  DeleteFileA(path);
#else
  unlink(path);
#endif
}

extern "C" void RemoveTempFilesAndDie(int signal) {
  interrupted.store(true);
  while (changing.load() != 0) {
  }
  for (Slot& slot : slots)
    if (slot.Live.load()) RemoveFile(slot.Path);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

int TakeSlot() {
  for (int i = 0; i < SLOT_COUNT; ++i) {
    bool expected = false;
    if (slots[i].Taken.compare_exchange_strong(expected, true)) return i;
  }
  return -1;
}

void ReleaseSlot(int slot) {
  slots[slot].Live.store(false);
  slots[slot].Taken.store(false);
}

bool SystemRandom(unsigned char* bytes, std::size_t count) {
#ifdef _WIN32
  return BCRYPT_SUCCESS(
      BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
#else
  std::size_t done = 0;
  while (done < count) {
    ssize_t got = getrandom(bytes + done, count - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  if (done == count) return true;
  // Kernels before 3.17 have no getrandom.
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  done = 0;
  while (done < count) {
    ssize_t got = read(fd, bytes + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  close(fd);
  return done == count;
#endif
}

bool RandomName(std::string& name) {
  unsigned char bytes[RANDOM_BYTES];
  if (!SystemRandom(bytes, sizeof bytes)) return false;
  static const char digits[] = "0123456789abcdef";
  name = NAME_PREFIX;
  for (unsigned char b : bytes) {
    name += digits[b >> 4];
    name += digits[b & 15];
  }
  return true;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\' || c == ':';
#else
  return c == '/';
#endif
}

// The target's directory as a prefix to put a name behind: "" for a bare
// name, the separator kept.
std::string DirectoryPrefix(const std::string& target) {
  std::size_t end = target.size();
  while (end > 0 && !IsSeparator(target[end - 1])) --end;
  return target.substr(0, end);
}

enum class Created { Ok, Exists, Failed };

Created CreateExclusive(const std::string& path, FILE*& stream) {
#ifdef _WIN32
  // Shared for deletion, so that the interrupt handler can remove the file
  // while it is open.
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::Exists : Created::Failed;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    DeleteFileA(path.c_str());
    return Created::Failed;
  }
  stream = _fdopen(fd, "w+b");
  if (!stream) {
    _close(fd);
    DeleteFileA(path.c_str());
    return Created::Failed;
  }
#else
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? Created::Exists : Created::Failed;
  stream = fdopen(fd, "w+b");
  if (!stream) {
    int saved = errno;
    close(fd);
    unlink(path.c_str());
    errno = saved;
    return Created::Failed;
  }
#endif
  return Created::Ok;
}

bool Rename(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// Whether a file (or anything else) stands at `path` now.
bool Exists(const std::string& path) {
#ifdef _WIN32
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
#endif
}

// Closes a stream; false, with errno's text, on any error, an earlier
// failed write included. `durably`: its bytes are on the disk first.
bool CloseChecked(FILE* stream, bool durably, std::string& failure) {
  bool failedBefore = std::ferror(stream) != 0;
  bool ok = std::fflush(stream) == 0 && !failedBefore;
#ifdef _WIN32
  ok = ok && (!durably || _commit(_fileno(stream)) == 0);
#else
  ok = ok && (!durably || fsync(fileno(stream)) == 0);
#endif
  if (!ok) failure = "write error: " + ErrnoText();
  if (std::fclose(stream) != 0 && ok) {
    failure = "write error: " + ErrnoText();
    ok = false;
  }
  return ok;
}

}  // namespace

TempFile::TempFile(std::string target) : target_(std::move(target)) {}

TempFile::~TempFile() { Discard(); }

bool TempFile::Create(std::string& failure) {
  Discard();
  const std::string prefix = DirectoryPrefix(target_);
  Change change;
  if (!change.Allowed()) {
    failure = "interrupted";
    return false;
  }
  int slot = TakeSlot();
  if (slot < 0) {
    failure = "too many temporary files at once";
    return false;
  }
  failure.clear();
  for (int attempt = 0; attempt < CREATE_ATTEMPTS; ++attempt) {
    std::string name;
    if (!RandomName(name)) {
      failure = "cannot create a temporary file: the system gives no random bytes";
      break;
    }
    std::string path = prefix + name;
    if (path.size() >= SLOT_PATH_SIZE) {
      failure = "cannot create a temporary file: the directory's path is too long";
      break;
    }
    std::memcpy(slots[slot].Path, path.c_str(), path.size() + 1);
    FILE* stream = nullptr;
    Created created = CreateExclusive(path, stream);
    if (created == Created::Exists) continue;  // someone else's name: never opened
    if (created == Created::Failed) {
      failure = "cannot create a temporary file beside it: " + LastErrorText();
      break;
    }
    slots[slot].Live.store(true);
    slot_ = slot;
    path_ = path;
    stream_ = stream;
    std::setvbuf(stream_, nullptr, _IOFBF, STREAM_BUFFER_SIZE);
    return true;
  }
  if (failure.empty()) failure = "cannot create a temporary file beside it: every fresh name was taken";
  ReleaseSlot(slot);
  return false;
}

bool TempFile::Seal(std::string& failure) {
  if (!stream_) {
    failure = "no file to put in place";
    Discard();
    return false;
  }
  if (std::ferror(stream_) || std::fflush(stream_) != 0) {
    failure = "write error: " + ErrnoText();
    Discard();
    return false;
  }
#ifdef __linux__
  // Only a head start for the write-back of a file that will replace
  // another: Commit's fsync is what waits.
  if (Exists(target_)) sync_file_range(fileno(stream_), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  return true;
}

bool TempFile::Commit(std::string& failure) {
  FILE* stream = stream_;
  stream_ = nullptr;
  if (!stream) {
    failure = "no file to put in place";
    Discard();
    return false;
  }
  // A file that replaces another is on the disk before the rename, so that
  // a crash leaves the old file or the new one, never an empty one in its
  // place. A new name has nothing to lose and is left to the write-back,
  // as any copy leaves it.
  if (!CloseChecked(stream, Exists(target_), failure)) {
    Discard();
    return false;
  }
  Change change;
  if (!change.Allowed()) {
    failure = "interrupted";
    return false;  // the interrupt handler removes the file
  }
  bool renamed = Rename(path_, target_);
  if (!renamed) {
    failure = "cannot put the file in place: " + LastErrorText();
    RemoveFile(path_.c_str());
  }
  ReleaseSlot(slot_);
  slot_ = -1;
  return renamed;
}

void TempFile::Discard() {
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (slot_ < 0) return;
  Change change;
  RemoveFile(path_.c_str());
  ReleaseSlot(slot_);
  slot_ = -1;
}

void InstallInterruptCleanup() {
#ifdef _WIN32
  for (int signal : INTERRUPTS)
    if (std::signal(signal, RemoveTempFilesAndDie) == SIG_IGN) std::signal(signal, SIG_IGN);
#else
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = RemoveTempFilesAndDie;
  sigemptyset(&action.sa_mask);
  for (int signal : INTERRUPTS) sigaddset(&action.sa_mask, signal);
  for (int signal : INTERRUPTS) {
    // A signal the caller ignores (nohup's SIGHUP) stays ignored.
    struct sigaction before;
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool IsTempFileName(const std::string& name) {
  const std::size_t prefix = sizeof NAME_PREFIX - 1;
  if (name.size() != prefix + 2 * RANDOM_BYTES || name.compare(0, prefix, NAME_PREFIX) != 0) return false;
  for (std::size_t i = prefix; i < name.size(); ++i)
    if (!IsHexDigit(name[i])) return false;
  return true;
}
