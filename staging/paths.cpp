// The path helpers and the process-wide strings.
#include "paths.h"

#include <cstring>

#include "staging_root.h"

// Defined here, in this order, so that they are constructed before WinMain
// in this order and destroyed after it in the reverse order.
TString StagingDirName = "_Orvane3d\\";
TString StagingBaseName = "_Orvane3d";
TString InstallerPath = "";
TString ArchivePath = "";

std::uint16_t LastResortCounter = 0;

namespace {

char ModulePath[PATH_BUFFER_SIZE];  // empty when unknown or too long

// Obtains the module path at start-up, before WinMain.
struct ModulePathLoader {
  ModulePathLoader() { LoadModulePath(); }
} moduleLoader;

const char FALLBACK_DIR[] = "c:\\temp\\";
constexpr unsigned FALLBACK_NAMES = 32767;  // QTX0 to QTX32766

// out = prefix + number + suffix; the callers' names fit PATH_BUFFER_SIZE.
void SetNumberedName(char* out, TString prefix, std::uint32_t number, const char* suffix) {
  prefix.AppendDecimal(number);
  prefix += suffix;
  std::memcpy(out, prefix.c_str(), prefix.size() + 1);
}

// Creates the file `name` empty, and only if nothing of that name exists: a
// file or link that someone put there is never opened. False when the name
// exists, also when it appeared after FileExists looked. A creation that
// fails for another reason is not looked at: the name counts as made.
bool CreateProbeFile(const char* name) {
  if (FileExists(name)) return false;
  HANDLE file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return true;
  }
  DWORD error = GetLastError();
  return error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS;
}

}  // namespace

void LoadModulePath() {
  char buffer[PATH_BUFFER_SIZE];
  DWORD length = GetModuleFileNameA(nullptr, buffer, PATH_BUFFER_SIZE);
  // A result of PATH_BUFFER_SIZE (or more) means the name was cut, and older
  // systems then leave it without a terminator: such a name is not kept.
  if (length == 0 || length >= static_cast<DWORD>(PATH_BUFFER_SIZE)) {
    ModulePath[0] = '\0';
    return;
  }
  buffer[length] = '\0';
  std::memcpy(ModulePath, buffer, length + 1);
}

std::size_t AfterLastSeparator(const char* path, std::size_t from) {
  std::size_t end = from;
  for (std::size_t i = from; path[i] != '\0'; ++i)
    if (path[i] == '\\' || path[i] == '/') end = i + 1;
  return end;
}

bool FileExists(const char* path) {
  if (!path) return false;
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

char* ModuleDirectory(char* buffer) {
  std::memcpy(buffer, ModulePath, std::strlen(ModulePath) + 1);
  char* lastBackslash = std::strrchr(buffer, '\\');
  if (lastBackslash)
    lastBackslash[1] = '\0';
  else
    buffer[0] = '\0';  // no module path: no directory either
  return buffer;
}

void MakeTempFileName(char* out, const char* prefix) {
  char tempPath[TEMP_PATH_BUFFER_SIZE];
  DWORD length = GetTempPathA(TEMP_PATH_BUFFER_SIZE, tempPath);
  // A failure, or a path that does not fit (the result is then the size
  // needed and the buffer is untouched), counts as a missing temporary path.
  if (length == 0 || length >= static_cast<DWORD>(TEMP_PATH_BUFFER_SIZE)) tempPath[0] = '\0';

  char root[4] = {tempPath[0], ':', '\\', '\0'};
  // Each directory that could hold the name is taken as the staging root
  // first: one that is a link, junction or mount point, or a shared one
  // that someone else owns, counts as missing.
  if (FileExists(tempPath) && GetDriveTypeA(root) != DRIVE_CDROM &&
      TakeStagingRoot(tempPath, RootKind::UsersOwn)) {
    // The system writes up to MAX_PATH characters; the name is taken only
    // when it fits the caller's buffer. A name too long for it counts as a
    // failed call: its file is deleted again.
    // The call creates the file; one that is not there afterwards means a
    // failed call too (Wine reports success when the creation fails for
    // another reason than an existing name).
    char name[MAX_PATH + 1] = {};
    if (GetTempFileNameA(tempPath, prefix, 0, name) != 0 && FileExists(name)) {
      const void* end = std::memchr(name, 0, sizeof name);
      std::size_t nameLength =
          end ? static_cast<std::size_t>(static_cast<const char*>(end) - name) : sizeof name;
      if (nameLength < static_cast<std::size_t>(PATH_BUFFER_SIZE)) {
        std::memcpy(out, name, nameLength + 1);
        return;
      }
      if (nameLength < sizeof name) DeleteFileA(name);
    }
    // A temporary directory that takes no file (read-only, full, locked
    // down) is no better than a missing one: nothing could be staged there.
  }

  if (!FileExists(FALLBACK_DIR)) CreateDirectoryA(FALLBACK_DIR, nullptr);
  if (FileExists(FALLBACK_DIR) && TakeStagingRoot(FALLBACK_DIR, RootKind::Shared)) {
    for (unsigned i = 0; i < FALLBACK_NAMES; ++i) {
      SetNumberedName(out, TString(FALLBACK_DIR) + "QTX", i, ".tmp");
      if (CreateProbeFile(out)) return;
    }
  }

  // Last resort: a name in the current directory; no file is made. After
  // 65,535 names every number has been tried once: out is then empty. So
  // it is when the current directory is no root to trust either; no root
  // is held then (StagingRootHeld).
  out[0] = '\0';
  if (!TakeStagingRoot("", RootKind::Shared)) return;
  for (unsigned tries = 0; tries < LAST_RESORT_TRIES; ++tries) {
    ++LastResortCounter;
    if (LastResortCounter == 0) LastResortCounter = 1;
    SetNumberedName(out, "TMP", LastResortCounter, ".$$$");
    if (!FileExists(out)) return;
  }
  out[0] = '\0';
}

bool MakePath(const char* path) {
  std::size_t length = std::strlen(path);
  // A path that does not fit the working copy is a failure; nothing is made.
  if (length >= static_cast<std::size_t>(PATH_BUFFER_SIZE)) return false;
  char work[PATH_BUFFER_SIZE];
  for (std::size_t i = 0; i < length; ++i) {
    if (i >= 3 && path[i] == '\\') {
      work[i] = '\0';
      if (!FileExists(work) && !CreateDirectoryA(work, nullptr)) return false;
    }
    work[i] = path[i];
  }
  return true;
}

TString FindStagingRoot() {
  char name[PATH_BUFFER_SIZE];
  MakeTempFileName(name, "INS");
  DeleteFileA(name);

  // The drive ("C:") when the name starts with one, and the directory behind
  // it up to and including the last backslash or slash.
  std::size_t drive = name[0] != '\0' && name[1] == ':' ? 2 : 0;
  TString root;
  root.Append(name, AfterLastSeparator(name, drive));
  return root;
}
