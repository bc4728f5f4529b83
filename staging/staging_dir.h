// The staging directory this run created: the one place that knows it.
//
// In a temporary directory that other users share (C:\Windows\Temp when the
// preloader runs as SYSTEM, the c:\temp\ fallback) anyone may create a
// staging name before us, or put a link there. So a staging directory is
// only ever one that this run created, private, and holds open from then on:
// the handle is opened without FILE_SHARE_DELETE, so that nobody can rename,
// delete or replace the directory while the run uses it. Extraction,
// Install.ini and the clean-up act only inside it.
#pragma once

#include "win32.h"

enum class StagingCreation {
  // Created, and taken as this run's staging directory when it could be
  // held (opened, and found to be a plain directory); IsOwnStagingDir tells.
  Created,
  NameTaken,  // the name exists in some form: another number may do
  Failed,     // any other failure, which no other number would mend
};

// Sets StagingDirName to the first number whose directory this run could
// create, private and held; "_Orvane3d32000\" with no directory of this
// run when none could be.
void ChooseStagingDir();

// Creates the directory `path` (no trailing backslash) with `security` and
// takes it as this run's staging directory. Forgets a directory taken
// before.
StagingCreation CreateStagingDir(const char* path, SECURITY_ATTRIBUTES* security);

// True when `directory` (with its trailing backslash) is the directory this
// run created and holds, and the path, opened anew without following a
// reparse point (link, junction, mount point), is still that very
// directory. Asked before anything is written into it, started from it or
// deleted from it.
bool IsOwnStagingDir(const char* directory);

// Closes the handle and forgets the directory; IsOwnStagingDir is false
// from then on.
void ReleaseStagingDir();

// The clean-up after the installer's message: deletes `installerPath` and
// removes its directory when it is empty. Both happen only when that
// directory is this run's own (IsOwnStagingDir); otherwise nothing is
// deleted. The directory is let go of first, since a held directory cannot
// be removed, so a clean-up that runs again deletes nothing.
void CleanUpStaging(const char* installerPath);

// Notes a plain file name of the staging directory that this run is about
// to write there (a member, Install.ini).
void NoteStagedFile(const char* name);

// When the installer cannot be started, nothing will ever use what this run
// unpacked: deletes every noted file, lets go of the directory and removes
// it when it is then empty. Only inside this run's own directory
// (IsOwnStagingDir of `directory`, with its trailing backslash); otherwise
// nothing is deleted.
void DiscardStaging(const char* directory);
