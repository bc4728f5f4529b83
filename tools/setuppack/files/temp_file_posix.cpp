#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "files/temp_file_platform.h"

namespace platform {

const int INTERRUPTS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};
const std::size_t INTERRUPT_COUNT = sizeof INTERRUPTS / sizeof INTERRUPTS[0];

static_assert(sizeof(sigset_t) <= sizeof(SavedSignals::Bytes), "a signal mask fits SavedSignals");

void BlockInterrupts(SavedSignals& saved) {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int signal : INTERRUPTS) sigaddset(&blocked, signal);
  pthread_sigmask(SIG_BLOCK, &blocked, reinterpret_cast<sigset_t*>(saved.Bytes));
}

void RestoreSignals(const SavedSignals& saved) {
  pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(saved.Bytes), nullptr);
}

void InstallInterruptHandler(void (*handler)(int)) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int signal : INTERRUPTS) sigaddset(&action.sa_mask, signal);
  for (int signal : INTERRUPTS) {
    // A signal the caller ignores (nohup's SIGHUP) stays ignored.
    struct sigaction before;
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
  // A file-size limit shows as a write error (EFBIG), which the writer
  // reports and cleans up after.
  std::signal(SIGXFSZ, SIG_IGN);
}

void RemoveFile(const char* path) { unlink(path); }

bool SystemRandom(unsigned char* bytes, std::size_t count) {
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
}

bool IsSeparator(char c) { return c == '/'; }

Created CreateExclusive(const std::string& path, FILE*& stream) {
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
  return Created::Ok;
}

bool Rename(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool Exists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

bool SyncToDisk(FILE* stream) { return fsync(fileno(stream)) == 0; }

void StartWriteBack(FILE* stream) {
#ifdef __linux__
  sync_file_range(fileno(stream), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)stream;
#endif
}

}  // namespace platform
