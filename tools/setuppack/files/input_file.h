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
#include <vector>

// A regular file's size and last-write time, as the system keeps them.
struct FileStamp {
  std::uint64_t Size = 0;
  std::int64_t Modified = 0;  // nanoseconds since 1970, or a Windows FILETIME
  bool operator==(const FileStamp& other) const { return Size == other.Size && Modified == other.Modified; }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// Reads the rest of the stream into `bytes`, but stops once they hold more
// than `limit` (so that a wrong, huge file costs no more memory than that).
// False on a read error.
bool ReadStreamUpTo(FILE* stream, std::size_t limit, std::vector<std::uint8_t>& bytes);

enum class PathKind { Missing, Regular, Directory, Other };

// What `path` names now, links followed, and a regular file's stamp; the
// error text when it cannot be looked at.
PathKind Inspect(const std::string& path, FileStamp& stamp, std::string& error);

enum class InputFault { None, CannotOpen, NotRegular, Changed };

// Opens a regular file for reading, fully buffered. Anything else that the
// path names (a pipe, a device, a directory) is refused, and so is a file
// whose stamp differs from `expected` when that is given. On failure the
// stream is null and `error` says why.
FILE* OpenInputFile(const std::string& path, const FileStamp* expected, InputFault& fault,
                    std::string& error);

// The stamp of the file open on `stream`.
bool StampOf(FILE* stream, FileStamp& stamp);

// Which file a stream has open, whatever its path names by now: the device
// and inode number, on Windows the volume's serial number and the file index.
struct FileIdentity {
  std::uint64_t Volume = 0;
  std::uint64_t Index = 0;
  bool operator==(const FileIdentity& other) const { return Volume == other.Volume && Index == other.Index; }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};
bool IdentityOf(FILE* stream, FileIdentity& identity);

// Opens `path` again, for a second stream of its own on a file opened
// before: refused unless the path still leads to that very file, with the
// stamp it had then, since someone may have put another file under the name
// or changed it in between.
FILE* ReopenInputFile(const std::string& path, const FileIdentity& identity, const FileStamp& stamp,
                      std::string& error);

// How a file differs from what was listed of it, for a message; each
// platform's half (input_file_posix.cpp, input_file_win32.cpp) has its own.
std::string InputChangeText(const FileStamp& then, const FileStamp& now);
