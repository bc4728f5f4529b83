// Where the system looks for the DLLs that SETUP.EXE loads, and where the
// installer it starts will look for its own.
#pragma once

// Keeps the system from loading a DLL on the preloader's behalf from its own
// directory (a downloads folder) or the current directory: later loads
// search the system directory alone. Called first thing at start.
void NarrowDllSearch();

// Gives the installer the search the system would give it had the user
// started it: SetDllDirectoryA's setting passes to the processes a program
// starts, SetDefaultDllDirectories' does not. Called right before the
// installer starts.
void RestoreDllSearchForChildren();

// After a start that failed: the narrowing that RestoreDllSearchForChildren
// undid is put back, since SETUP.EXE goes on to show a box.
void NarrowDllSearchAgain();
