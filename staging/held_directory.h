// A directory held open without delete sharing, and the test that a path
// still leads to it.
//
// Held this way, nobody can rename, delete or replace the directory while
// the handle is open (the platform refuses the rename that a swap needs).
// Between a check of a path and its use, though, anything on the path
// above the held directory may change, and under Wine a link is followed
// even where FILE_FLAG_OPEN_REPARSE_POINT asks for the link itself. So a
// path is trusted only when, opened anew, it is the very directory held:
// the same volume serial number and file index.
#pragma once

#include "win32.h"

class HeldDirectory {
 public:
  // Opens `path` (no trailing backslash but a drive root's; "." for the
  // current directory) without following a reparse point and holds it.
  // False, holding nothing, when it cannot be opened or is no plain
  // directory: a link, junction or mount point, by the handle or by the
  // path. Lets go of a directory held before.
  bool Hold(const char* path);
  void Release();
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Handle() const { return handle_; }

  // True while the held directory is a plain directory and `path`, opened
  // anew without following a reparse point, is that same directory.
  bool IsAt(const char* path) const;

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};
