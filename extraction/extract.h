// Reading SETUP.TMP and writing its members into the staging directory.
#pragma once

#include <cstdio>

#include "lzss.h"
#include "reports.h"
#include "tstring.h"
#include "win32.h"

enum class ExtractResult {
  InstallerStarted,
  // Members and Install.ini were written, but the installer could not be
  // started: it was not unpacked, or the system refused it.
  InstallerNotStarted,
  // SETUP.TMP (ArchivePath) could not be opened: nothing read, written or
  // started.
  ArchiveNotOpened,
  // The staging directory is not, or is no longer, the one this run
  // created: the box for no safe staging directory named it, nothing more
  // was written, nothing started and nothing deleted.
  StagingRefused,
  // A bound preloader's SETUP.TMP is not the file it is bound to: members
  // may have been written, the installer was not started, and no box shown.
  ContainerMismatch,
  // A bound preloader's SETUP.TMP is its own, yet a member failed: a read
  // fault. What the run unpacked is gone, the member's box was shown, and
  // nothing started.
  BoundMemberFailed,
};

// Writes the members of SETUP.TMP into the staging directory, then
// Install.ini, and starts the installer. A member that cannot be written
// gets the decode-error box and ends the extraction; the hand-off follows
// all the same. What a result other than InstallerStarted leaves to tell
// the user is the caller's.
//
// With a bound digest (null: not bound), SETUP.TMP is hashed as it is read
// and then to its end, and nothing is started unless the whole file has
// that SHA-256 and every member was unpacked.
ExtractResult ExtractArchive(HWND window, const std::uint8_t* boundDigest = nullptr);

// The name field of a container entry: a 16-bit length, then the bytes.
// The readers take every byte of the field and keep the name up to its first
// zero byte; a length cut short counts as 0, and name bytes that are missing
// end the name. ReadArchiveName reads from the container's input, which
// reads the file ahead (container_input.h).
void ReadArchiveName(MemberSource& input, TString& destination);
void ReadArchiveNameFromHandle(HANDLE file, TString& destination);
void WriteArchiveName(HANDLE file, const TString& name);
