#include "input_file.h"

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "lzss.h"
#include "system_error.h"

namespace {

std::string ChangeText(const FileStamp& then, const FileStamp& now) {
  if (then.Size != now.Size)
    return "changed since it was listed (" + std::to_string(then.Size) + " bytes then, " +
           std::to_string(now.Size) + " now)";
  return "changed since it was listed (its modification time differs)";
}

#ifdef _WIN32

FileStamp StampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileStamp stamp;
  stamp.Size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.Modified =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                info.ftLastWriteTime.dwLowDateTime);
  return stamp;
}

#else

FileStamp StampOf(const struct stat& info) {
  FileStamp stamp;
  stamp.Size = static_cast<std::uint64_t>(info.st_size);
  stamp.Modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return stamp;
}

#endif

}  // namespace

#ifdef _WIN32

PathKind Inspect(const std::string& path, FileStamp& stamp, std::string& error) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return PathKind::Missing;
    error = LastErrorText();
    return PathKind::Other;
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Directory;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
  stamp.Size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.Modified =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                data.ftLastWriteTime.dwLowDateTime);
  return PathKind::Regular;
}

FILE* OpenInputFile(const std::string& path, const FileStamp* expected, InputFault& fault,
                    std::string& error) {
  fault = InputFault::None;
  HANDLE handle =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = LastErrorText();
    DWORD attributes = GetFileAttributesA(path.c_str());
    bool directory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    fault = directory ? InputFault::NotRegular : InputFault::CannotOpen;
    if (directory) error = "not a regular file";
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
    CloseHandle(handle);
    fault = InputFault::NotRegular;
    error = "not a regular file";
    return nullptr;
  }
  FileStamp stamp = StampOf(info);
  if (expected && stamp != *expected) {
    CloseHandle(handle);
    fault = InputFault::Changed;
    error = ChangeText(*expected, stamp);
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    fault = InputFault::CannotOpen;
    error = ErrnoText();
    return nullptr;
  }
  FILE* stream = _fdopen(fd, "rb");
  if (!stream) {
    _close(fd);
    fault = InputFault::CannotOpen;
    error = ErrnoText();
    return nullptr;
  }
  std::setvbuf(stream, nullptr, _IOFBF, STREAM_BUFFER_SIZE);
  return stream;
}

bool InformationOf(FILE* stream, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info);
}

bool StampOf(FILE* stream, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!InformationOf(stream, info)) return false;
  stamp = StampOf(info);
  return true;
}

bool IdentityOf(FILE* stream, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!InformationOf(stream, info)) return false;
  identity.Volume = info.dwVolumeSerialNumber;
  identity.Index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

#else

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
    error = ChangeText(*expected, stamp);
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

#endif

FILE* ReopenInputFile(const std::string& path, const FileIdentity& identity, const FileStamp& stamp,
                      std::string& error) {
  InputFault fault;
  FILE* stream = OpenInputFile(path, &stamp, fault, error);
  if (!stream) {
    error = fault == InputFault::Changed ? "changed since it was read" : "cannot open it again: " + error;
    return nullptr;
  }
  FileIdentity again;
  if (!IdentityOf(stream, again) || again != identity) {
    std::fclose(stream);
    error = "replaced since it was read: its name now leads to another file";
    return nullptr;
  }
  return stream;
}
