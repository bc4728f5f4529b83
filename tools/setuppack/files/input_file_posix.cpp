#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/input_file.h"
#include "lzss.h"
#include "base/system_error.h"

namespace {

FileStamp StampOf(const struct stat& info) {
  FileStamp stamp;
  stamp.Size = static_cast<std::uint64_t>(info.st_size);
  stamp.Modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return stamp;
}

}  // namespace

PathKind Inspect(const std::string& path, FileStamp& stamp, std::string& error) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return PathKind::Missing;
    error = ErrnoText();
    return PathKind::Other;
  }
  if (S_ISDIR(info.st_mode)) return PathKind::Directory;
  if (!S_ISREG(info.st_mode)) return PathKind::Other;
  stamp = StampOf(info);
  return PathKind::Regular;
}

FILE* OpenInputFile(const std::string& path, const FileStamp* expected, InputFault& fault,
                    std::string& error) {
  fault = InputFault::None;
  // O_NONBLOCK: opening a pipe returns at once instead of waiting for a
  // writer; O_NOCTTY: a terminal never becomes the controlling one.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    fault = InputFault::CannotOpen;
    error = ErrnoText();
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    fault = InputFault::NotRegular;
    error = "not a regular file";
    return nullptr;
  }
  FileStamp stamp = StampOf(info);
  if (expected && stamp != *expected) {
    close(fd);
    fault = InputFault::Changed;
    error = InputChangeText(*expected, stamp);
    return nullptr;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FILE* stream = fdopen(fd, "rb");
  if (!stream) {
    fault = InputFault::CannotOpen;
    error = ErrnoText();
    close(fd);
    return nullptr;
  }
  std::setvbuf(stream, nullptr, _IOFBF, STREAM_BUFFER_SIZE);
  return stream;
}

bool StampOf(FILE* stream, FileStamp& stamp) {
  struct stat info;
  if (fstat(fileno(stream), &info) != 0) return false;
  stamp = StampOf(info);
  return true;
}

bool IdentityOf(FILE* stream, FileIdentity& identity) {
  struct stat info;
  if (fstat(fileno(stream), &info) != 0) return false;
  identity.Volume = static_cast<std::uint64_t>(info.st_dev);
  identity.Index = static_cast<std::uint64_t>(info.st_ino);
  return true;
}
