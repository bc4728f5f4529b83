// Reading SETUP.TMP and writing its members into the staging directory.
#pragma once

#include <cstdio>
#include <string>

#include "win32.h"

bool ExtractArchive(HWND window);

// The name field of a container entry: a 16-bit length, then the bytes.
void ReadArchiveName(FILE* stream, std::string& destination);
void ReadArchiveNameFromHandle(HANDLE file, std::string& destination);
void WriteArchiveName(HANDLE file, const std::string& name);
