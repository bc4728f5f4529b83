#include "files/temp_file.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include "lzss.h"
#include "base/system_error.h"
#include "files/temp_file_platform.h"

using platform::Created;

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

// On a thread in a change the interrupts wait (on Windows the handler runs
// on a thread of its own anyway), so the handler's wait always ends.
class Change {
 public:
  Change() {
    platform::BlockInterrupts(saved_);
    changing.fetch_add(1);
    allowed_ = !interrupted.load();
  }
  ~Change() {
    changing.fetch_sub(1);
    platform::RestoreSignals(saved_);
  }
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;
  bool Allowed() const { return allowed_; }

 private:
  bool allowed_ = false;
  platform::SavedSignals saved_;
};

extern "C" void RemoveTempFilesAndDie(int signal) {
  interrupted.store(true);
  while (changing.load() != 0) {
  }
  for (Slot& slot : slots)
    if (slot.Live.load()) platform::RemoveFile(slot.Path);
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

bool RandomName(std::string& name) {
  unsigned char bytes[RANDOM_BYTES];
  if (!platform::SystemRandom(bytes, sizeof bytes)) return false;
  static const char digits[] = "0123456789abcdef";
  name = NAME_PREFIX;
  for (unsigned char b : bytes) {
    name += digits[b >> 4];
    name += digits[b & 15];
  }
  return true;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// The target's directory as a prefix to put a name behind: "" for a bare
// name, the separator kept.
std::string DirectoryPrefix(const std::string& target) {
  std::size_t end = target.size();
  while (end > 0 && !platform::IsSeparator(target[end - 1])) --end;
  return target.substr(0, end);
}

// Closes a stream; false, with errno's text, on any error, an earlier
// failed write included. `durably`: its bytes are on the disk first.
bool CloseChecked(FILE* stream, bool durably, std::string& failure) {
  bool failedBefore = std::ferror(stream) != 0;
  bool ok = std::fflush(stream) == 0 && !failedBefore;
  ok = ok && (!durably || platform::SyncToDisk(stream));
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
    Created created = platform::CreateExclusive(path, stream);
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
  // Only a head start for the write-back of a file that will replace
  // another: Commit's sync is what waits.
  if (platform::Exists(target_)) platform::StartWriteBack(stream_);
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
  if (!CloseChecked(stream, platform::Exists(target_), failure)) {
    Discard();
    return false;
  }
  Change change;
  if (!change.Allowed()) {
    failure = "interrupted";
    return false;  // the interrupt handler removes the file
  }
  bool renamed = platform::Rename(path_, target_);
  if (!renamed) {
    failure = "cannot put the file in place: " + LastErrorText();
    platform::RemoveFile(path_.c_str());
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
  platform::RemoveFile(path_.c_str());
  ReleaseSlot(slot_);
  slot_ = -1;
}

void InstallInterruptCleanup() { platform::InstallInterruptHandler(RemoveTempFilesAndDie); }

bool IsTempFileName(const std::string& name) {
  const std::size_t prefix = sizeof NAME_PREFIX - 1;
  if (name.size() != prefix + 2 * RANDOM_BYTES || name.compare(0, prefix, NAME_PREFIX) != 0) return false;
  for (std::size_t i = prefix; i < name.size(); ++i)
    if (!IsHexDigit(name[i])) return false;
  return true;
}
