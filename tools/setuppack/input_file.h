// Opening the files setuppack reads: a container, a payload file.
//
// A path may name something else by the time it is opened: a pipe or a
// device, whose opening would wait for a writer or never end, or another
// file. So the open never waits, and what it opened is checked on the open
// handle itself, never again by name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// A regular file's size and last-write time, as the system keeps them.
struct FileStamp {
  std::uint64_t Size = 0;
  std::int64_t Modified = 0;  // nanoseconds since 1970, or a Windows FILETIME
  bool operator==(const FileStamp& other) const { return Size == other.Size && Modified == other.Modified; }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

enum class PathKind { Missing, Regular, Directory, Other };

// What `path` names now, links followed, and a regular file's stamp; the
// error text when it cannot be looked at.
PathKind Inspect(const std::string& path, FileStamp& stamp, std::string& error);

enum class InputFault { None, CannotOpen, NotRegular, Changed };

// Opens a regular file for reading, fully buffered. Anything else that the
// path names (a pipe, a device, a directory) is refused, and so is a file
// whose stamp differs from `expected` when that is given. On failure the
// stream is null and `error` says why.
FILE* OpenInputFile(const std::string& path, const FileStamp* expected, InputFault& fault, std::string& error);

// The stamp of the file open on `stream`.
bool StampOf(FILE* stream, FileStamp& stamp);
