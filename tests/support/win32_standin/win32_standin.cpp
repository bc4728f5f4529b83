#include "standin_control.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool HasDrive(const std::string& path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Splits the part behind a drive into components, resolving "." and ".."
// lexically; ".." never climbs above the root.
std::vector<std::string> Components(const std::string& rest) {
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&] {
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  };
  for (char c : rest) {
    if (IsSeparator(c))
      flush();
    else
      part += c;
  }
  flush();
  return parts;
}

// Key for FailingDirectories: lower case, no trailing backslash.
std::string DirectoryKey(const std::string& windowsPath) {
  std::string full = Lower(FullWindowsPath(windowsPath));
  while (full.size() > 3 && IsSeparator(full.back())) full.pop_back();
  return full;
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1); }
int FdOf(HANDLE handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle) - 1); }

bool ReadHostFile(const std::string& host, std::string& content) {
  FILE* f = std::fopen(host.c_str(), "rb");  // a host path: passed on unchanged
  if (!f) return false;
  char block[4096];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0) content.append(block, got);
  std::fclose(f);
  return true;
}

HCURSOR const kWaitCursor = reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(0x7F02));

}  // namespace

StandinState& Standin() {
  static StandinState state;
  return state;
}

void ResetStandin() { Standin() = StandinState(); }

void MapDrive(char letter, const std::string& hostDirectory) {
  std::string dir = hostDirectory;
  if (dir.empty() || dir.back() != '/') dir += '/';
  ::mkdir(dir.c_str(), 0777);
  Standin().Drives[static_cast<char>(std::tolower(static_cast<unsigned char>(letter)))] = dir;
}

std::string FullWindowsPath(const std::string& windowsPath) {
  const std::string& cwd = Standin().CurrentDirectory;
  std::string path = windowsPath;
  if (!HasDrive(path)) {
    if (!path.empty() && IsSeparator(path[0]))
      path = cwd.substr(0, 2) + path;  // the current drive's root
    else
      path = cwd + (cwd.empty() || IsSeparator(cwd.back()) ? "" : "\\") + path;
  } else if (path.size() == 2 || !IsSeparator(path[2])) {
    path = path.substr(0, 2) + "\\" + path.substr(2);  // "c:x" counts from the root
  }
  if (!HasDrive(path)) return "";
  std::string full = path.substr(0, 2);
  for (const std::string& part : Components(path.substr(2))) full += "\\" + part;
  if (full.size() == 2 || IsSeparator(windowsPath.empty() ? 'x' : windowsPath.back())) full += "\\";
  return full;
}

std::string HostPath(const std::string& windowsPath) {
  std::string full = FullWindowsPath(windowsPath);
  if (full.empty()) return "";
  auto drive = Standin().Drives.find(static_cast<char>(std::tolower(static_cast<unsigned char>(full[0]))));
  if (drive == Standin().Drives.end()) return "";
  std::string host = drive->second;
  std::vector<std::string> parts = Components(full.substr(2));
  for (std::size_t i = 0; i < parts.size(); ++i) host += (i ? "/" : "") + parts[i];
  if (!parts.empty() && IsSeparator(full.back())) host += '/';
  return host;
}

HCURSOR StandinWaitCursor() { return kWaitCursor; }

// ---- Calls ------------------------------------------------------------------

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
  const std::string& temp = Standin().TempPath;
  if (temp.empty()) return 0;
  if (temp.size() + 1 > size) return static_cast<DWORD>(temp.size() + 1);  // buffer untouched
  std::memcpy(buffer, temp.c_str(), temp.size() + 1);
  return static_cast<DWORD>(temp.size());
}

UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName) {
  if (!path || !prefix || !tempFileName) return 0;
  std::string dir = path;
  if (dir.size() > static_cast<std::size_t>(MAX_PATH - 14)) return 0;
  if (dir.empty() || !IsSeparator(dir.back())) dir += '\\';
  std::string pre = std::string(prefix).substr(0, 3);
  for (int attempt = 0; attempt < 0x10000; ++attempt) {
    UINT number = unique ? unique : Standin().NextTempUnique++ & 0xFFFF;
    if (number == 0) continue;
    char hex[16];
    // As the platform names them: lower-case hexadecimal digits and ".tmp"
    // (the documentation's ".TMP" is not what the platform writes).
    std::snprintf(hex, sizeof hex, "%x", number);
    std::string name = dir + pre + hex + ".tmp";
    if (unique) {  // no file is made, and no uniqueness test either
      std::memcpy(tempFileName, name.c_str(), name.size() + 1);
      return unique;
    }
    std::string host = HostPath(name);
    if (host.empty()) return 0;
    int fd = ::open(host.c_str(), O_CREAT | O_EXCL | O_RDWR, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return 0;
    }
    ::close(fd);
    std::memcpy(tempFileName, name.c_str(), name.size() + 1);
    return number;
  }
  return 0;
}

UINT GetDriveTypeA(LPCSTR rootPath) {
  if (!rootPath || !HasDrive(rootPath)) return DRIVE_NO_ROOT_DIR;
  char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(rootPath[0])));
  auto type = Standin().DriveTypes.find(letter);
  if (type != Standin().DriveTypes.end()) return type->second;
  return Standin().Drives.count(letter) ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
}

DWORD GetFileAttributesA(LPCSTR path) {
  ++Standin().GetFileAttributesCalls;
  if (!path || !*path) return INVALID_FILE_ATTRIBUTES;
  if (Standin().AlsoExists && Standin().AlsoExists(path)) return FILE_ATTRIBUTE_DIRECTORY;
  std::string host = HostPath(path);
  struct stat info;
  if (host.empty() || ::stat(host.c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
  if (!path || !*path) return FALSE;
  Standin().CreatedDirectories.push_back(path);
  if (Standin().FailingDirectories.count(DirectoryKey(path))) return FALSE;
  std::string host = HostPath(path);
  return !host.empty() && ::mkdir(host.c_str(), 0777) == 0;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE) {
  if (!path) return INVALID_HANDLE_VALUE;
  std::string host = HostPath(path);
  if (host.empty() || host.back() == '/') return INVALID_HANDLE_VALUE;
  int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    default: return INVALID_HANDLE_VALUE;
  }
  int fd = ::open(host.c_str(), flags, 0666);
  return fd < 0 ? INVALID_HANDLE_VALUE : HandleOf(fd);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED) {
  DWORD total = 0;
  while (total < count) {
    ssize_t got = ::read(FdOf(file), static_cast<char*>(buffer) + total, count - total);
    if (got < 0) {
      if (done) *done = total;
      return FALSE;
    }
    if (got == 0) break;
    total += static_cast<DWORD>(got);
  }
  if (done) *done = total;
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED) {
  DWORD total = 0;
  while (total < count) {
    ssize_t put = ::write(FdOf(file), static_cast<const char*>(buffer) + total, count - total);
    if (put <= 0) {
      if (done) *done = total;
      return FALSE;
    }
    total += static_cast<DWORD>(put);
  }
  if (done) *done = total;
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  if (object == INVALID_HANDLE_VALUE || !object) return FALSE;
  return ::close(FdOf(object)) == 0;
}

BOOL DeleteFileA(LPCSTR path) {
  if (!path) return FALSE;
  std::string host = HostPath(path);
  return !host.empty() && host.back() != '/' && ::unlink(host.c_str()) == 0;
}

// Like Windows XP: a name that does not fit is cut to `size` characters with
// no terminator, and the result is `size`.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  if (module || !buffer || size == 0) return 0;
  const std::string& name = Standin().ModuleFileName;
  if (name.size() >= size) {
    std::memcpy(buffer, name.data(), size);
    return size;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return static_cast<DWORD>(name.size());
}

// Only OF_EXIST: fills in the full path of an existing file. A full path that
// does not fit OFSTRUCT fails, as the platform documents.
HFILE OpenFile(LPCSTR path, LPOFSTRUCT info, UINT style) {
  if (!path || !info || style != OF_EXIST) return HFILE_ERROR;
  std::string full = FullWindowsPath(path);
  std::string host = HostPath(path);
  struct stat st;
  if (full.empty() || host.empty() || ::stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode) ||
      full.size() >= static_cast<std::size_t>(OFS_MAXPATHNAME)) {
    info->nErrCode = 2;
    return HFILE_ERROR;
  }
  info->cBytes = sizeof(OFSTRUCT);
  info->nErrCode = 0;
  std::memcpy(info->szPathName, full.c_str(), full.size() + 1);
  return 1;
}

// The platform's profile writer for the cases the staging code meets: a new
// or empty file gets "[section]\r\nkey=value\r\n"; an existing key of the
// section is replaced, a new one added at the section's end; a missing
// section is appended. A name without a directory lies in c:\windows\.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  if (!section || !key || !value || !file) return FALSE;
  std::string name = file;
  if (name.find('\\') == std::string::npos && name.find('/') == std::string::npos)
    name = "c:\\windows\\" + name;
  std::string host = HostPath(name);
  if (host.empty()) return FALSE;
  std::string content;
  ReadHostFile(host, content);

  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  std::string header = "[" + Lower(section) + "]";
  std::string entry = std::string(key) + "=" + value;
  std::size_t i = 0;
  while (i < lines.size() && Lower(lines[i]) != header) ++i;
  if (i == lines.size()) {
    if (!lines.empty()) lines.push_back("");
    lines.push_back(std::string("[") + section + "]");
    lines.push_back(entry);
  } else {
    std::size_t j = i + 1, last = i;
    bool replaced = false;
    for (; j < lines.size() && (lines[j].empty() || lines[j][0] != '['); ++j) {
      std::size_t eq = lines[j].find('=');
      if (eq != std::string::npos && Lower(lines[j].substr(0, eq)) == Lower(key)) {
        lines[j] = entry;
        replaced = true;
        break;
      }
      if (!lines[j].empty()) last = j;
    }
    if (!replaced) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last + 1), entry);
  }
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  FILE* f = std::fopen(host.c_str(), "wb");  // a host path: passed on unchanged
  if (!f) return FALSE;
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

UINT WinExec(LPCSTR commandLine, UINT show) {
  Standin().Started.push_back({commandLine ? commandLine : "", show});
  return 2;  // ERROR_FILE_NOT_FOUND: the stand-in starts nothing
}

int MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD language) {
  Standin().Messages.push_back({owner, text ? text : "", caption ? caption : "", type, language});
  return IDOK;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  Standin().LoadedCursor = name;
  return !instance && name == IDC_WAIT ? kWaitCursor : nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = Standin().CurrentCursor;
  Standin().CurrentCursor = cursor;
  return previous;
}

// ---- fopen on Windows paths ---------------------------------------------------

extern "C" FILE* __real_fopen(const char* path, const char* mode);

extern "C" FILE* __wrap_fopen(const char* path, const char* mode) {
  if (path && (HasDrive(path) || std::strchr(path, '\\'))) {
    std::string host = HostPath(path);
    if (host.empty() || host.back() == '/') {
      errno = ENOENT;
      return nullptr;
    }
    return __real_fopen(host.c_str(), mode);
  }
  return __real_fopen(path, mode);
}
