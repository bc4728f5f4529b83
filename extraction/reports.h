// What the preloader tells the user: the waiting title, and the boxes when
// a run goes wrong; and whether anyone is there to read them.
#pragma once

#include "preloader_texts.h"
#include "win32.h"

// The text of that number from SETUP.EXE's string table (the publisher's,
// where setuppack put them there), or the German one it ships with.
const wchar_t* PreloaderText(int id);

// Whether a user can see and answer a box: false where the process's
// window station is not visible (a service, or software deployment running
// SETUP.EXE as SYSTEM in a session of its own), where a box would wait for
// an OK that nobody can give.
bool UserCanAnswer();

// The one message the definition has: "Fehler beim Decodieren!" (the
// decode-error text of the table), no owner, OK only, with the path
// concerned as its caption. Shown only where a user can answer it.
void ReportDecodeError(const char* path);

// Why a run started nothing, each with a sentence of its own.
enum class Failure {
  ArchiveMissing,       // SETUP.TMP cannot be opened
  NotBoundContainer,    // SETUP.TMP is not the container SETUP.EXE is bound to
  NoStagingDirectory,   // no safe staging directory could be made or kept
  InstallerNotStarted,  // INSTALL.EXE was not unpacked, or the system refused it
};

// The window's title says the run failed; then, where a user can answer
// it, a box (no owner, OK only) with the failure's sentence and `path`.
void ReportFailure(HWND window, Failure failure, const char* path);
