// Reading SETUP.TMP and writing its members into the staging directory.
#pragma once

#include <cstdio>

#include "tstring.h"
#include "win32.h"

// Writes the members of SETUP.TMP into the staging directory, then Install.ini,
// and starts the installer. False, with nothing read, written or started,
// when the staging directory is not the one this run created (after the
// decode-error box) or SETUP.TMP cannot be opened (quietly).
bool ExtractArchive(HWND window);

// The name field of a container entry: a 16-bit length, then the bytes.
// The readers take every byte of the field and keep the name up to its first
// zero byte; a length cut short counts as 0, and name bytes that are missing
// end the name.
void ReadArchiveName(FILE* stream, TString& destination);
void ReadArchiveNameFromHandle(HANDLE file, TString& destination);
void WriteArchiveName(HANDLE file, const TString& name);
