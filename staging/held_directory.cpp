// A directory held open, and the identity test of a path against it.
#include "held_directory.h"

namespace {

constexpr DWORD NO_FOLLOW = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

bool IsPlainDirectory(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The object behind the handle: with FILE_FLAG_OPEN_REPARSE_POINT a link is
// opened as the link, whose attributes show it.
bool Identify(HANDLE handle, BY_HANDLE_FILE_INFORMATION& information) {
  return GetFileInformationByHandle(handle, &information) && IsPlainDirectory(information.dwFileAttributes);
}

}  // namespace

bool HeldDirectory::Hold(const char* path) {
  Release();
  // Read access makes the share mode count: without FILE_SHARE_DELETE no one
  // else may open the directory for deletion, which a rename needs too.
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              NO_FOLLOW, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  // The path's own attributes show a link that Wine followed when it opened
  // the handle.
  if (!Identify(handle, information) || !IsPlainDirectory(GetFileAttributesA(path))) {
    CloseHandle(handle);
    return false;
  }
  handle_ = handle;
  return true;
}

void HeldDirectory::Release() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool HeldDirectory::IsAt(const char* path) const {
  BY_HANDLE_FILE_INFORMATION held, found;
  if (!Held() || !Identify(handle_, held)) return false;
  HANDLE handle =
      CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, NO_FOLLOW, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool same = Identify(handle, found) && found.dwVolumeSerialNumber == held.dwVolumeSerialNumber &&
                    found.nFileIndexHigh == held.nFileIndexHigh && found.nFileIndexLow == held.nFileIndexLow;
  CloseHandle(handle);
  return same && IsPlainDirectory(GetFileAttributesA(path));
}
