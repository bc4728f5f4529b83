// The SETUP.EXE that `medium` puts beside SETUP.TMP: the preloader shipped
// with this setuppack, or one the user names. It is found beside the running
// setuppack (the Windows package holds both in one folder) or in the data
// directory of the tree setuppack is installed in (<prefix>/bin/setuppack,
// <prefix>/share/preloader/SETUP.EXE), and it must look like a Windows
// program before it is copied anywhere.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// A medium's files.
constexpr const char* PRELOADER_NAME = "SETUP.EXE";
constexpr const char* CONTAINER_NAME = "SETUP.TMP";
constexpr const char* AUTORUN_NAME = "AUTORUN.INF";

// A preloader is tens of KB; a file far larger is a wrong name, not one.
constexpr std::size_t PRELOADER_SIZE_LIMIT = 16 << 20;

// The directory of the running program, with no separator at its end; empty
// when the system does not say.
std::string ProgramDirectory();

// Where a preloader is looked for when none is named, in order, for a
// setuppack that runs from programDirectory.
std::vector<std::string> PreloaderPlaces(const std::string& programDirectory);

// The first of those places that holds a file; empty when none does.
std::string FindPreloader(const std::string& programDirectory);

// What the file open on `stream` is, read from its headers: empty for a
// Windows program (an MZ header leading to a PE header of an executable
// image, not a DLL), else the reason it is not one. `warning` is set for a
// program that is not 32-bit x86 and so does not run on every Windows. The
// stream is left at its start.
std::string WindowsProgramProblem(FILE* stream, std::string& warning);
