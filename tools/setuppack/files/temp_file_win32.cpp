#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <bcrypt.h>

#include <csignal>
#include <cstdint>

#include "files/temp_file_platform.h"

namespace platform {

const int INTERRUPTS[] = {SIGINT, SIGTERM, SIGBREAK};
const std::size_t INTERRUPT_COUNT = sizeof INTERRUPTS / sizeof INTERRUPTS[0];

void BlockInterrupts(SavedSignals&) {}
void RestoreSignals(const SavedSignals&) {}

void InstallInterruptHandler(void (*handler)(int)) {
  for (int signal : INTERRUPTS)
    if (std::signal(signal, handler) == SIG_IGN) std::signal(signal, SIG_IGN);
}

void RemoveFile(const char* path) { DeleteFileA(path); }

bool SystemRandom(unsigned char* bytes, std::size_t count) {
  return BCRYPT_SUCCESS(
      BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool IsSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

Created CreateExclusive(const std::string& path, FILE*& stream) {
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
  return Created::Ok;
}

bool Rename(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool SyncToDisk(FILE* stream) { return _commit(_fileno(stream)) == 0; }

void StartWriteBack(FILE*) {}

}  // namespace platform
