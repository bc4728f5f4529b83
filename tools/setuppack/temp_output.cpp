#include "temp_output.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "lzss.h"

namespace {

constexpr int SLOT_COUNT = 512;
constexpr std::size_t SLOT_PATH_SIZE = 4096;

// Fixed storage, so that the signal handler reads no heap memory.
struct Slot {
  std::atomic<bool> Used{false};
  std::atomic<bool> Ready{false};
  char Path[SLOT_PATH_SIZE];
};
Slot slots[SLOT_COUNT];

extern "C" void RemoveTempFilesAndDie(int signal) {
  for (Slot& slot : slots)
    if (slot.Ready.load()) {
#ifdef _WIN32
      DeleteFileA(slot.Path);
#else
      unlink(slot.Path);
#endif
    }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

unsigned long ProcessId() {
#ifdef _WIN32
  return static_cast<unsigned long>(_getpid());
#else
  return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

std::string TempPathBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".setuppack-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++);
}

void InstallInterruptCleanup() {
  std::signal(SIGINT, RemoveTempFilesAndDie);
  std::signal(SIGTERM, RemoveTempFilesAndDie);
}

void RegisterTempPath(const std::string& path) {
  if (path.size() >= SLOT_PATH_SIZE) return;
  for (Slot& slot : slots) {
    bool expected = false;
    if (slot.Used.compare_exchange_strong(expected, true)) {
      std::memcpy(slot.Path, path.c_str(), path.size() + 1);
      slot.Ready.store(true);
      return;
    }
  }
}

void UnregisterTempPath(const std::string& path) {
  for (Slot& slot : slots)
    if (slot.Ready.load() && path == slot.Path) {
      slot.Ready.store(false);
      slot.Used.store(false);
      return;
    }
}

bool CloseDurably(FILE* stream) {
  bool ok = std::fflush(stream) == 0 && !std::ferror(stream);
#ifdef _WIN32
  ok = ok && _commit(_fileno(stream)) == 0;
#else
  ok = ok && fsync(fileno(stream)) == 0;
#endif
  return std::fclose(stream) == 0 && ok;
}

TempOutput::TempOutput(std::string target) : target_(std::move(target)) {}

TempOutput::~TempOutput() {
  if (stream_) std::fclose(stream_);
  if (!committed_ && !path_.empty()) {
    std::remove(path_.c_str());
    UnregisterTempPath(path_);
  }
}

bool TempOutput::Open() {
  path_ = TempPathBeside(target_);
  RegisterTempPath(path_);
  stream_ = std::fopen(path_.c_str(), "wb+");
  if (!stream_) {
    int saved = errno;
    UnregisterTempPath(path_);
    path_.clear();
    errno = saved;
    return false;
  }
  std::setvbuf(stream_, nullptr, _IOFBF, STREAM_BUFFER_SIZE);
  return true;
}

bool TempOutput::Commit(std::string& failure) {
  FILE* stream = stream_;
  stream_ = nullptr;
  if (!CloseDurably(stream)) {
    failure = std::string("write error: ") + std::strerror(errno);
    return false;
  }
#ifdef _WIN32
  bool renamed = MoveFileExA(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  bool renamed = std::rename(path_.c_str(), target_.c_str()) == 0;
#endif
  if (!renamed) {
    failure = "cannot put the finished container in place";
    return false;
  }
  UnregisterTempPath(path_);
  committed_ = true;
  return true;
}
