// Files and directories for tests: a scratch directory per test, whole-file
// reads and writes, and the local modification time read and set through
// the platform's own calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

struct LocalTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  bool operator==(const LocalTime& o) const {
    return Year == o.Year && Month == o.Month && Day == o.Day && Hour == o.Hour && Minute == o.Minute &&
           Second == o.Second;
  }
};

// A fresh directory, removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

Bytes ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const Bytes& bytes);
Bytes BytesOf(const std::string& text);

bool GetLocalWriteTime(const std::string& path, LocalTime& time);
bool SetLocalWriteTime(const std::string& path, const LocalTime& time);

// Deterministic pseudo-random bytes.
Bytes RandomBytes(std::size_t count, std::uint32_t seed);
