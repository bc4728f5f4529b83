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

// Sets the error GetLastError reports; returns `result`, so that a call can
// fail in one statement.
template <typename Result>
Result Failed(DWORD error, Result result) {
  Standin().LastError = error;
  return result;
}

DWORD ErrorOfErrno(int error, DWORD existsError) {
  switch (error) {
    case EEXIST:
      return existsError;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// The host path without the slash that a trailing backslash gave it.
std::string WithoutTrailingSlash(std::string host) {
  if (host.size() > 1 && host.back() == '/') host.pop_back();
  return host;
}

// ---- Security descriptors ------------------------------------------------------

std::set<int> tokenFds;  // the handles OpenProcessToken gave out

std::vector<BYTE> SidOfText(const std::string& text) {  // "S-1-5-21-...", well formed
  std::vector<DWORD> numbers;
  std::size_t at = 2;
  while (at < text.size()) {
    std::size_t end = text.find('-', at);
    if (end == std::string::npos) end = text.size();
    numbers.push_back(static_cast<DWORD>(std::stoul(text.substr(at, end - at))));
    at = end + 1;
  }
  std::vector<BYTE> sid(8 + 4 * (numbers.size() - 2));
  sid[0] = static_cast<BYTE>(numbers[0]);
  sid[1] = static_cast<BYTE>(numbers.size() - 2);
  sid[7] = static_cast<BYTE>(numbers[1]);
  std::memcpy(&sid[8], &numbers[2], 4 * (numbers.size() - 2));
  return sid;
}

// A SID as the platform checks one: revision 1, at most 15 sub-authorities,
// all inside `room` bytes.
bool ValidSid(const BYTE* sid, std::size_t room) {
  return room >= 8 && sid[0] == SID_REVISION && sid[1] <= SID_MAX_SUB_AUTHORITIES && 8u + 4u * sid[1] <= room;
}

// Reads a DACL as the platform checks it; false when it is malformed.
bool ReadAcl(const ACL* acl, RecordedDacl& out) {
  if (acl->AclRevision < ACL_REVISION || acl->AclRevision > 4 || acl->AclSize < sizeof(ACL)) return false;
  const BYTE* base = reinterpret_cast<const BYTE*>(acl);
  std::size_t at = sizeof(ACL);
  for (WORD i = 0; i < acl->AceCount; ++i) {
    ACE_HEADER header;
    if (at + sizeof header > acl->AclSize) return false;
    std::memcpy(&header, base + at, sizeof header);
    if (header.AceSize < sizeof header || at + header.AceSize > acl->AclSize) return false;
    RecordedAce ace;
    ace.Type = header.AceType;
    ace.Flags = header.AceFlags;
    if (header.AceSize >= 8) std::memcpy(&ace.Mask, base + at + 4, 4);
    if (header.AceType == ACCESS_ALLOWED_ACE_TYPE || header.AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE) {
      if (!ValidSid(base + at + 8, header.AceSize - 8u)) return false;
      ace.Sid = SidText(base + at + 8);
    }
    out.Aces.push_back(ace);
    at += header.AceSize;
  }
  return true;
}

// Reads the DACL (or with `sacl` the SACL) of a descriptor in either form.
// False when the descriptor is malformed; `present` tells whether it has
// that list.
bool ReadDescriptorAcl(const void* descriptor, RecordedDacl& out, bool& present, bool sacl = false) {
  const auto* absolute = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
  if (absolute->Revision != SECURITY_DESCRIPTOR_REVISION) return false;
  const ACL* acl = sacl ? absolute->Sacl : absolute->Dacl;
  if (absolute->Control & SE_SELF_RELATIVE) {
    const auto* relative = static_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(descriptor);
    DWORD offset = sacl ? relative->Sacl : relative->Dacl;
    acl = offset ? reinterpret_cast<const ACL*>(static_cast<const BYTE*>(descriptor) + offset) : nullptr;
  }
  present = (absolute->Control & (sacl ? SE_SACL_PRESENT : SE_DACL_PRESENT)) && acl;
  out.Protected = (absolute->Control & SE_DACL_PROTECTED) != 0;
  return !present || ReadAcl(acl, out);
}

// The full Windows path of each open file handle, as Owners keys it.
std::map<int, std::string> openPaths;

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

std::string SidText(const void* sid) {
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  unsigned long long authority = 0;
  for (int i = 2; i < 8; ++i) authority = (authority << 8) | bytes[i];
  std::string text = "S-" + std::to_string(bytes[0]) + "-" + std::to_string(authority);
  for (int i = 0; i < bytes[1]; ++i) {
    DWORD sub;
    std::memcpy(&sub, bytes + 8 + 4 * i, 4);
    text += "-" + std::to_string(sub);
  }
  return text;
}

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
  if (host.empty()) return INVALID_FILE_ATTRIBUTES;
  bool asDirectory = host.back() == '/';  // a trailing backslash names a directory only
  std::string entry = WithoutTrailingSlash(host);
  struct stat info;
  if (::lstat(entry.c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
  bool link = S_ISLNK(info.st_mode);
  if (link && ::stat(entry.c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;  // leads nowhere
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY | (link ? FILE_ATTRIBUTE_REPARSE_POINT : 0);
  return asDirectory ? INVALID_FILE_ATTRIBUTES : FILE_ATTRIBUTE_ARCHIVE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  if (!path || !*path) return Failed(ERROR_PATH_NOT_FOUND, FALSE);
  if (Standin().BeforeCall) Standin().BeforeCall("CreateDirectoryA", path);
  Standin().CreatedDirectories.push_back(path);
  if (Standin().AlsoExists && Standin().AlsoExists(path)) return Failed(ERROR_ALREADY_EXISTS, FALSE);
  if (Standin().FailingDirectories.count(DirectoryKey(path))) return Failed(ERROR_ACCESS_DENIED, FALSE);
  RecordedDacl dacl, sacl;
  bool hasDacl = false, hasSacl = false;
  if (security && security->lpSecurityDescriptor &&
      (!ReadDescriptorAcl(security->lpSecurityDescriptor, dacl, hasDacl) ||
       !ReadDescriptorAcl(security->lpSecurityDescriptor, sacl, hasSacl, true)))
    return Failed(ERROR_INVALID_SECURITY_DESCR, FALSE);
  std::string host = HostPath(path);
  if (host.empty()) return Failed(ERROR_PATH_NOT_FOUND, FALSE);
  // mkdir never follows a link at the name, as the platform never does.
  if (::mkdir(host.c_str(), 0777) != 0) return Failed(ErrorOfErrno(errno, ERROR_ALREADY_EXISTS), FALSE);
  if (hasDacl) Standin().DirectoryDacls[path] = dacl;
  if (hasSacl) Standin().DirectorySacls[path] = sacl;
  return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
  if (!path) return Failed(ERROR_PATH_NOT_FOUND, FALSE);
  std::string host = HostPath(path);
  if (host.empty()) return Failed(ERROR_PATH_NOT_FOUND, FALSE);
  if (::rmdir(WithoutTrailingSlash(host).c_str()) != 0)
    return Failed(ErrorOfErrno(errno, ERROR_ALREADY_EXISTS), FALSE);
  return TRUE;
}

// A directory opens only with FILE_FLAG_BACKUP_SEMANTICS. Under Wine
// FILE_FLAG_OPEN_REPARSE_POINT does not keep a link from being followed, and
// here it does not either: the link shows in the path's attributes.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE) {
  if (!path) return Failed(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  if (Standin().BeforeCall) Standin().BeforeCall("CreateFileA", path);
  std::string host = HostPath(path);
  // A directory may be named with its trailing backslash.
  if (host.size() > 1 && host.back() == '/' && (flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS))
    host = WithoutTrailingSlash(host);
  if (host.empty() || host.back() == '/') return Failed(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  int flags = (access & GENERIC_WRITE) ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  DWORD existsError = ERROR_ALREADY_EXISTS;
  switch (disposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;  // fails on any name that exists, a link too
      existsError = ERROR_FILE_EXISTS;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    default:
      return Failed(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  }
  int fd = ::open(host.c_str(), flags, 0666);
  if (fd < 0) return Failed(ErrorOfErrno(errno, existsError), INVALID_HANDLE_VALUE);
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) &&
      !(flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS)) {
    ::close(fd);
    return Failed(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  }
  openPaths[fd] = DirectoryKey(path);
  return HandleOf(fd);
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
  struct stat info;
  if (!information || file == INVALID_HANDLE_VALUE || !file || ::fstat(FdOf(file), &info) != 0)
    return Failed(ERROR_INVALID_HANDLE, FALSE);
  *information = BY_HANDLE_FILE_INFORMATION();
  information->dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  information->dwVolumeSerialNumber = static_cast<DWORD>(info.st_dev);
  std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
  information->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  information->nFileSizeLow = static_cast<DWORD>(size);
  information->nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
  std::uint64_t index = static_cast<std::uint64_t>(info.st_ino);
  information->nFileIndexHigh = static_cast<DWORD>(index >> 32);
  information->nFileIndexLow = static_cast<DWORD>(index);
  return TRUE;
}

DWORD GetLastError() { return Standin().LastError; }

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

// FILE_BEGIN only, the one way the staging code moves.
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method) {
  if (method != FILE_BEGIN || ::lseek(FdOf(file), static_cast<off_t>(distance.QuadPart), SEEK_SET) < 0)
    return Failed(ERROR_INVALID_PARAMETER, FALSE);
  if (newPosition) *newPosition = distance;
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  if (object == INVALID_HANDLE_VALUE || !object) return Failed(ERROR_INVALID_HANDLE, FALSE);
  if (CloseSyncObject(object)) return TRUE;
  tokenFds.erase(FdOf(object));
  openPaths.erase(FdOf(object));
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

// Records the start and answers as the system would, without starting
// anything: a program file that is missing is ERROR_FILE_NOT_FOUND, one that
// is no executable (no "MZ") ERROR_BAD_FORMAT, and any other a success.
UINT WinExec(LPCSTR commandLine, UINT show) {
  std::string line = commandLine ? commandLine : "";
  Standin().DllSearchAndStarts.push_back("WinExec");
  Standin().Started.push_back({line, show});
  std::string program =
      line.empty() || line[0] != '"' ? line.substr(0, line.find(' ')) : line.substr(1, line.find('"', 1) - 1);
  std::string host = HostPath(program);
  struct stat info;
  if (host.empty() || ::stat(host.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return ERROR_FILE_NOT_FOUND;
  char magic[2] = {};
  FILE* file = std::fopen(host.c_str(), "rb");
  std::size_t got = file ? std::fread(magic, 1, 2, file) : 0;
  if (file) std::fclose(file);
  return got == 2 && magic[0] == 'M' && magic[1] == 'Z' ? 33 : ERROR_BAD_FORMAT;
}

namespace {

BOOL StandinSetDefaultDllDirectories(DWORD flags) {
  char text[48];
  std::snprintf(text, sizeof text, "SetDefaultDllDirectories(0x%X)", static_cast<unsigned>(flags));
  Standin().DllSearchAndStarts.push_back(text);
  return TRUE;
}

BOOL StandinSetDllDirectoryA(LPCSTR path) {
  Standin().DllSearchAndStarts.push_back(path ? "SetDllDirectoryA(\"" + std::string(path) + "\")"
                                              : "SetDllDirectoryA(NULL)");
  return TRUE;
}

HMODULE const kKernel32 = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x7C800000));

}  // namespace

HMODULE GetModuleHandleA(LPCSTR name) { return name && Lower(name) == "kernel32.dll" ? kKernel32 : nullptr; }

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module != kKernel32 || !name || !Standin().Kernel32Exports.count(name)) return nullptr;
  if (std::string(name) == "SetDefaultDllDirectories")
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&StandinSetDefaultDllDirectories));
  if (std::string(name) == "SetDllDirectoryA")
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&StandinSetDllDirectoryA));
  if (std::string(name) == "GetLogicalProcessorInformation")
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&StandinGetLogicalProcessorInformation));
  return nullptr;
}

int MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD language) {
  Standin().Messages.push_back({owner, text ? text : "", caption ? caption : "", type, language});
  return IDOK;
}

namespace {

std::string Utf8(LPCWSTR text) {
  std::string out;
  for (; text && *text; ++text) {
    const std::uint32_t c = static_cast<std::uint32_t>(*text);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

HWINSTA const kStation = reinterpret_cast<HWINSTA>(static_cast<std::uintptr_t>(0x5A));

}  // namespace

int MessageBoxExW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type, WORD language) {
  Standin().Messages.push_back({owner, Utf8(text), Utf8(caption), type, language});
  return IDOK;
}

BOOL SetWindowTextW(HWND, LPCWSTR text) {
  Standin().WindowTitle = Utf8(text);
  return TRUE;
}

HWINSTA GetProcessWindowStation() { return kStation; }

std::string AnsiAsShown(const std::string& ansi) {
  std::wstring wide;
  for (char c : ansi) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return Utf8(wide.c_str());
}

int LoadStringW(HINSTANCE, UINT, LPWSTR, int) { return 0; }

BOOL GetUserObjectInformationA(HANDLE object, int index, LPVOID information, DWORD size, LPDWORD needed) {
  if (object != kStation || index != UOI_FLAGS || !information) return Failed(ERROR_INVALID_PARAMETER, FALSE);
  if (needed) *needed = sizeof(USEROBJECTFLAGS);
  if (size < sizeof(USEROBJECTFLAGS)) return Failed(ERROR_INSUFFICIENT_BUFFER, FALSE);
  USEROBJECTFLAGS flags = {FALSE, FALSE, Standin().WindowStationVisible ? WSF_VISIBLE : 0};
  *static_cast<USEROBJECTFLAGS*>(information) = flags;
  return TRUE;
}

// Windows-1252's bytes 0x80 to 0x9F are taken as Latin-1 here; the tests'
// names need no more.
int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, LPWSTR wide, int wideLength) {
  if (codePage != CP_ACP || !text) return 0;
  const std::size_t count = length < 0 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
  if (!wide || wideLength == 0) return static_cast<int>(count);
  if (count > static_cast<std::size_t>(wideLength)) return Failed(ERROR_INSUFFICIENT_BUFFER, 0);
  for (std::size_t i = 0; i < count; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  return static_cast<int>(count);
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

// ---- Security ---------------------------------------------------------------------

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)); }

// A token is a handle of its own (on /dev/null), closed with CloseHandle.
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  if (Standin().TokenFails || process != GetCurrentProcess() || !(access & TOKEN_QUERY) || !token)
    return Failed(ERROR_ACCESS_DENIED, FALSE);
  int fd = ::open("/dev/null", O_RDONLY);
  if (fd < 0) return Failed(ERROR_ACCESS_DENIED, FALSE);
  tokenFds.insert(fd);
  *token = HandleOf(fd);
  return TRUE;
}

// TokenUser and TokenIntegrityLevel (where IntegrityRid is set): the
// TOKEN_USER or TOKEN_MANDATORY_LABEL, both one SID_AND_ATTRIBUTES, then the
// SID it points to.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information, DWORD size,
                         LPDWORD needed) {
  if (!tokenFds.count(FdOf(token))) return Failed(ERROR_INVALID_HANDLE, FALSE);
  const bool level = kind == TokenIntegrityLevel && Standin().IntegrityRid;
  if ((kind != TokenUser && !level) || !needed) return Failed(ERROR_INVALID_PARAMETER, FALSE);
  std::vector<BYTE> sid =
      SidOfText(level ? "S-1-16-" + std::to_string(Standin().IntegrityRid) : std::string(STANDIN_USER_SID));
  *needed = static_cast<DWORD>(sizeof(SID_AND_ATTRIBUTES) + sid.size());
  if (!information || size < *needed) return Failed(ERROR_INSUFFICIENT_BUFFER, FALSE);
  auto* entry = static_cast<SID_AND_ATTRIBUTES*>(information);
  BYTE* sidAt = static_cast<BYTE*>(information) + sizeof(SID_AND_ATTRIBUTES);
  std::memcpy(sidAt, sid.data(), sid.size());
  entry->Sid = sidAt;
  entry->Attributes = 0;
  return TRUE;
}

DWORD GetLengthSid(PSID sid) { return 8u + 4u * static_cast<const BYTE*>(sid)[1]; }

BOOL InitializeAcl(PACL acl, DWORD size, DWORD revision) {
  if (!acl || size < sizeof(ACL) || size > 0xFFFF || (size & 3))
    return Failed(ERROR_INSUFFICIENT_BUFFER, FALSE);
  if (revision < ACL_REVISION || revision > 4) return Failed(ERROR_REVISION_MISMATCH, FALSE);
  *acl = ACL{static_cast<BYTE>(revision), 0, static_cast<WORD>(size), 0, 0};
  return TRUE;
}

BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD flags, DWORD mask, PSID sid) {
  if (flags & ~0x1Fu) return Failed(ERROR_INVALID_FLAGS, FALSE);  // the inheritance flags only
  if (!sid || !ValidSid(static_cast<const BYTE*>(sid), 8 + 4 * SID_MAX_SUB_AUTHORITIES))
    return Failed(ERROR_INVALID_SID, FALSE);
  const DWORD sidLength = GetLengthSid(sid);
  std::vector<BYTE> ace(8 + sidLength);
  ACE_HEADER header{ACCESS_ALLOWED_ACE_TYPE, static_cast<BYTE>(flags), static_cast<WORD>(ace.size())};
  std::memcpy(ace.data(), &header, sizeof header);
  std::memcpy(ace.data() + 4, &mask, 4);
  std::memcpy(ace.data() + 8, sid, sidLength);
  return AddAce(acl, revision, MAXDWORD, ace.data(), static_cast<DWORD>(ace.size()));
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  if (revision != SECURITY_DESCRIPTOR_REVISION) return Failed(ERROR_REVISION_MISMATCH, FALSE);
  *static_cast<SECURITY_DESCRIPTOR*>(descriptor) = SECURITY_DESCRIPTOR();
  static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Revision = SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL dacl, BOOL defaulted) {
  auto* sd = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  if (sd->Revision != SECURITY_DESCRIPTOR_REVISION) return Failed(ERROR_REVISION_MISMATCH, FALSE);
  if (sd->Control & SE_SELF_RELATIVE) return Failed(ERROR_INVALID_SECURITY_DESCR, FALSE);
  sd->Control &= static_cast<SECURITY_DESCRIPTOR_CONTROL>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
  if (present) sd->Control |= SE_DACL_PRESENT;
  if (present && defaulted) sd->Control |= SE_DACL_DEFAULTED;
  sd->Dacl = present ? dacl : nullptr;
  return TRUE;
}

// Only the bits of inheritance and protection may be set this way.
BOOL SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR descriptor, SECURITY_DESCRIPTOR_CONTROL bitsOfInterest,
                                  SECURITY_DESCRIPTOR_CONTROL bitsToSet) {
  constexpr SECURITY_DESCRIPTOR_CONTROL settable = 0x7F00;
  if (bitsOfInterest & ~settable) return Failed(ERROR_INVALID_PARAMETER, FALSE);
  auto* sd = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  sd->Control = static_cast<SECURITY_DESCRIPTOR_CONTROL>((sd->Control & ~bitsOfInterest) |
                                                         (bitsToSet & bitsOfInterest));
  return TRUE;
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

BOOL SetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL sacl, BOOL) {
  auto* sd = static_cast<SECURITY_DESCRIPTOR*>(descriptor);
  if (sd->Revision != SECURITY_DESCRIPTOR_REVISION) return Failed(ERROR_REVISION_MISMATCH, FALSE);
  if (sd->Control & SE_SELF_RELATIVE) return Failed(ERROR_INVALID_SECURITY_DESCR, FALSE);
  sd->Control &= static_cast<SECURITY_DESCRIPTOR_CONTROL>(~SE_SACL_PRESENT);
  if (present) sd->Control |= SE_SACL_PRESENT;
  sd->Sacl = present ? sacl : nullptr;
  return TRUE;
}

// Appends the entries to the list (MAXDWORD: at its end, the only place
// the staging code asks for).
BOOL AddAce(PACL acl, DWORD revision, DWORD startingIndex, LPVOID aceList, DWORD aceListLength) {
  RecordedDacl existing;
  if (!acl || !ReadAcl(acl, existing)) return Failed(ERROR_INVALID_ACL, FALSE);
  if (revision > acl->AclRevision) return Failed(ERROR_REVISION_MISMATCH, FALSE);
  if (startingIndex != MAXDWORD) return Failed(ERROR_INVALID_PARAMETER, FALSE);
  BYTE* base = reinterpret_cast<BYTE*>(acl);
  std::size_t end = sizeof(ACL);
  for (WORD i = 0; i < acl->AceCount; ++i) {
    ACE_HEADER header;
    std::memcpy(&header, base + end, sizeof header);
    end += header.AceSize;
  }
  if (end + aceListLength > acl->AclSize) return Failed(ERROR_ALLOTTED_SPACE_EXCEEDED, FALSE);
  std::memcpy(base + end, aceList, aceListLength);
  ++acl->AceCount;
  return TRUE;
}

// The owner only: a self-relative descriptor with the owner's SID behind
// its header.
BOOL GetKernelObjectSecurity(HANDLE object, DWORD requested, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                             LPDWORD needed) {
  auto path = openPaths.find(FdOf(object));
  if (path == openPaths.end() || !needed) return Failed(ERROR_INVALID_HANDLE, FALSE);
  if (requested != OWNER_SECURITY_INFORMATION) return Failed(ERROR_INVALID_PARAMETER, FALSE);
  auto owner = Standin().Owners.find(path->second);
  std::vector<BYTE> sid = SidOfText(owner == Standin().Owners.end() ? STANDIN_USER_SID : owner->second);
  *needed = static_cast<DWORD>(sizeof(SECURITY_DESCRIPTOR_RELATIVE) + sid.size());
  if (!descriptor || size < *needed) return Failed(ERROR_INSUFFICIENT_BUFFER, FALSE);
  SECURITY_DESCRIPTOR_RELATIVE header = {};
  header.Revision = SECURITY_DESCRIPTOR_REVISION;
  header.Control = SE_SELF_RELATIVE;
  header.Owner = sizeof header;
  std::memcpy(descriptor, &header, sizeof header);
  std::memcpy(static_cast<BYTE*>(descriptor) + sizeof header, sid.data(), sid.size());
  return TRUE;
}

BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner, BOOL* defaulted) {
  const auto* absolute = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
  if (!owner || !defaulted || absolute->Revision != SECURITY_DESCRIPTOR_REVISION)
    return Failed(ERROR_INVALID_SECURITY_DESCR, FALSE);
  *defaulted = FALSE;
  if (absolute->Control & SE_SELF_RELATIVE) {
    DWORD offset = static_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(descriptor)->Owner;
    *owner = offset ? static_cast<BYTE*>(descriptor) + offset : nullptr;
  } else {
    *owner = absolute->Owner;
  }
  return TRUE;
}
