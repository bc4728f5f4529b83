// The files setuppack writes (a container, an extracted member) appear under
// their real names only by a rename once they are complete. Until then each
// lives under a fresh name in its target's directory, ".setuppack-" and 16
// hex digits from the system's random generator, created exclusively
// (O_CREAT|O_EXCL, on Windows CREATE_NEW): a name that exists, such as a
// link that someone planted in a shared directory, is never opened. The name
// has the same short length for any target, so a target whose name is as
// long as the file system allows is still written.
//
// A temporary file goes on every failure, and when the process is ended by
// an interrupt (see InstallInterruptCleanup).
#pragma once

#include <cstdio>
#include <string>

class TempFile {
 public:
  explicit TempFile(std::string target);
  ~TempFile();  // closes and removes the file unless it was committed
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates the file in the target's directory, open for writing and
  // reading; false with the reason.
  bool Create(std::string& failure);
  FILE* Stream() const { return stream_; }
  const std::string& Path() const { return path_; }

  // For a file that is complete: writes out the stream's buffer and, when
  // it will replace a file, has the system start writing it to the disk,
  // without waiting for it, so that a worker can go on while another thread
  // commits the file later.
  // On failure the temporary file is gone and the text says why.
  bool Seal(std::string& failure);

  // Closes the file and renames it over the target; a file that replaces
  // one is flushed to the disk first.
  // On failure the temporary file is gone, the target is untouched, and the
  // text says why.
  bool Commit(std::string& failure);

  // Closes and removes the file now.
  void Discard();

 private:
  std::string target_;
  std::string path_;
  FILE* stream_ = nullptr;
  int slot_ = -1;  // where the interrupt handler finds the path
};

// True for a name that TempFile gives (".setuppack-" and 16 hex digits): in
// a directory setuppack writes to, such a file is a leftover of a run that
// was killed before it could remove it.
bool IsTempFileName(const std::string& name);

// From now on SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (Ctrl+C and
// Ctrl+Break on Windows) remove every temporary file before the process ends
// by the signal as it would have without setuppack's handler. SIGXFSZ is
// ignored, so that a file-size limit shows as a write error (EFBIG), which
// the writer reports and cleans up after.
void InstallInterruptCleanup();
