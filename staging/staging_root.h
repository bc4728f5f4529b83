// The directory the staging directory is made in: the user's temporary
// directory, the shared c:\temp\, or the current directory as the last
// resort. Whoever could swap it for another directory (a junction, a
// symbolic link, a mount point put in its place) could have the run unpack
// into, and start an installer from, a directory of theirs.
#pragma once

// Who else may write the directory that holds the root's name.
enum class RootKind {
  UsersOwn,  // the user's temporary directory
  Shared,    // c:\temp\ and the current directory: anyone may have made it
};

// Takes `directory` (with its trailing backslash; "" for the current
// directory) as the staging root when it is a plain directory, no reparse
// point, and, for a shared one, owned by the user, SYSTEM, the
// Administrators or TrustedInstaller. The root is held without delete
// sharing until ReleaseStagingRoot. Taking the root held already again
// keeps it only while the path still leads to that same directory. False:
// the directory is no root to trust, and none is held.
bool TakeStagingRoot(const char* directory, RootKind kind);

// Whether a root is held (the last TakeStagingRoot succeeded).
bool StagingRootHeld();

void ReleaseStagingRoot();
