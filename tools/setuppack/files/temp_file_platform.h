// What temporary files need of the system, where POSIX and Windows differ:
// temp_file_posix.cpp and temp_file_win32.cpp, one of which each build
// compiles.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

// The interrupts that end the process, for which its temporary files go
// first.
extern const int INTERRUPTS[];
extern const std::size_t INTERRUPT_COUNT;

// Room for the signal mask a thread had before BlockInterrupts.
struct SavedSignals {
  alignas(16) unsigned char Bytes[256];
};
// Holds the interrupts back on the calling thread (on Windows the handler
// runs on a thread of its own: nothing to do), and lets them in again.
void BlockInterrupts(SavedSignals& saved);
void RestoreSignals(const SavedSignals& saved);
// Sets `handler` for every interrupt that the caller does not ignore.
void InstallInterruptHandler(void (*handler)(int));

// Safe in a signal handler.
void RemoveFile(const char* path);
bool SystemRandom(unsigned char* bytes, std::size_t count);
bool IsSeparator(char c);

enum class Created { Ok, Exists, Failed };
// Creates `path` only where nothing of that name exists (a link planted
// there included), open for writing and reading.
Created CreateExclusive(const std::string& path, FILE*& stream);
// Renames over an existing target.
bool Rename(const std::string& from, const std::string& to);
// Whether a file (or anything else) stands at `path` now.
bool Exists(const std::string& path);
// Waits until the stream's written bytes are on the disk.
bool SyncToDisk(FILE* stream);
// Has the system start writing the stream's bytes to the disk, without
// waiting; nothing where the system has no such call.
void StartWriteBack(FILE* stream);

}  // namespace platform
