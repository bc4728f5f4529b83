#include "test_files.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#endif

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
#ifdef _WIN32
  unsigned long pid = GetCurrentProcessId();
#else
  unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  fs::path p =
      fs::temp_directory_path() / ("preloader-test-" + std::to_string(pid) + "-" + std::to_string(counter++));
  fs::remove_all(p);
  fs::create_directories(p);
  path_ = p.string();
#ifdef _WIN32
  if (path_.back() != '\\') path_ += '\\';
#else
  if (path_.back() != '/') path_ += '/';
#endif
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ScratchDir::File(const std::string& name) const { return path_ + name; }

Bytes ReadWholeFile(const std::string& path) {
  Bytes bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot read " + path);
  std::uint8_t block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
  std::fclose(f);
  return bytes;
}

void WriteWholeFile(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

#ifdef _WIN32

bool GetLocalWriteTime(const std::string& path, LocalTime& time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &st))
    return false;
  time = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  return true;
}

bool SetLocalWriteTime(const std::string& path, const LocalTime& time) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(time.Year);
  st.wMonth = static_cast<WORD>(time.Month);
  st.wDay = static_cast<WORD>(time.Day);
  st.wHour = static_cast<WORD>(time.Hour);
  st.wMinute = static_cast<WORD>(time.Minute);
  st.wSecond = static_cast<WORD>(time.Second);
  FILETIME local, utc;
  if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BOOL ok = SetFileTime(h, nullptr, nullptr, &utc);
  CloseHandle(h);
  return ok != 0;
}

#else

bool GetLocalWriteTime(const std::string& path, LocalTime& time) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  struct tm t;
  if (!localtime_r(&info.st_mtime, &t)) return false;
  time = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
  return true;
}

bool SetLocalWriteTime(const std::string& path, const LocalTime& time) {
  struct tm t = {};
  t.tm_year = time.Year - 1900;
  t.tm_mon = time.Month - 1;
  t.tm_mday = time.Day;
  t.tm_hour = time.Hour;
  t.tm_min = time.Minute;
  t.tm_sec = time.Second;
  t.tm_isdst = -1;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = mktime(&t);
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

#endif

Bytes RandomBytes(std::size_t count, std::uint32_t seed) {
  Bytes bytes(count);
  std::uint32_t x = seed ? seed : 1;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}
