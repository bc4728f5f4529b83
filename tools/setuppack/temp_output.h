// Files written under a temporary name beside their target: the container
// appears under its real name only by a rename once it is complete, and
// temporary files go when the run fails or is interrupted (Ctrl+C, SIGTERM).
#pragma once

#include <cstdio>
#include <string>

// A fresh name in target's directory: target + ".setuppack-<pid>-<n>".
std::string TempPathBeside(const std::string& target);

// Removes registered paths when the process is interrupted. Registration
// is cheap and safe from several threads.
void InstallInterruptCleanup();
void RegisterTempPath(const std::string& path);
void UnregisterTempPath(const std::string& path);

class TempOutput {
 public:
  explicit TempOutput(std::string target);
  ~TempOutput();  // removes the temporary file unless committed
  TempOutput(const TempOutput&) = delete;
  TempOutput& operator=(const TempOutput&) = delete;

  bool Open();  // false with errno set
  FILE* Stream() const { return stream_; }
  const std::string& Path() const { return path_; }

  // Flushes to the disk, closes and renames over the target. On failure the
  // temporary file is gone and the target untouched; the text says why.
  bool Commit(std::string& failure);

 private:
  std::string target_;
  std::string path_;
  FILE* stream_ = nullptr;
  bool committed_ = false;
};

// Closes a stream after flushing it to the disk; false on any error.
bool CloseDurably(FILE* stream);
