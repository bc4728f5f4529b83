#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "files/input_file.h"
#include "lzss.h"
#include "base/system_error.h"

namespace {

FileStamp StampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileStamp stamp;
  stamp.Size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.Modified =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                info.ftLastWriteTime.dwLowDateTime);
  return stamp;
}

}  // namespace

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
    error = InputChangeText(*expected, stamp);
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
