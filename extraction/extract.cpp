// Reading SETUP.TMP and writing its members into the staging
// directory.
#include "extract.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "container_input.h"
#include "container_layout.h"
#include "handoff.h"
#include "lzss.h"
#include "member_name.h"
#include "paths.h"
#include "reports.h"
#include "staging_dir.h"
#include "staging_root.h"

namespace {

const char ARCHIVE_NAME[] = "SETUP.TMP";

// Joins `directory` and `name` into a PATH_BUFFER_SIZE buffer; false when
// the result would not fit.
bool JoinInBuffer(char* buffer, const char* directory, const char* name) {
  std::size_t a = std::strlen(directory), b = std::strlen(name);
  if (a + b >= static_cast<std::size_t>(PATH_BUFFER_SIZE)) return false;
  std::memcpy(buffer, directory, a);
  std::memcpy(buffer + a, name, b + 1);
  return true;
}

// The one reader of a name field; `read(to, count)` reads from the medium
// and returns how many bytes arrived.
template <typename ReadBytes>
void ReadNameField(TString& destination, ReadBytes read) {
  bool whole = false;
  const std::size_t length = ReadNameLength(read, whole);
  char* buffer = static_cast<char*>(std::malloc(length + 1));
  if (!buffer) {
    destination = "";
    return;
  }
  std::size_t got = length > 0 ? read(buffer, length) : 0;
  buffer[got] = '\0';
  destination = buffer;  // cut at a zero byte inside the name
  std::free(buffer);
}

}  // namespace

ExtractResult ExtractArchive(HWND window, const std::uint8_t* boundDigest) {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  // The root taken below stays held until the hand-off is over, on every
  // way out.
  struct RootHeldUntilReturn {
    ~RootHeldUntilReturn() { ReleaseStagingRoot(); }
  } rootHeld;

  TString stagingRoot = FindStagingRoot();
  TString stagingDir = stagingRoot + StagingDirName;
  InstallerPath = stagingDir + INSTALLER_NAME;
  // Members, Install.ini and the installer go only into the directory that
  // ChooseStagingDir created and holds; no directory is made here. When this
  // path is not that directory (every number was taken, the directory could
  // not be made private, or the temporary location changed since), the user
  // gets the decode-error box with the path as its caption, before and
  // instead of the look for SETUP.TMP: nothing is read, written or started,
  // and the window waits until it is closed.
  if (!IsOwnStagingDir(stagingDir.c_str())) {
    ReportFailure(window, Failure::NoStagingDirectory, stagingDir.c_str());
    return ExtractResult::StagingRefused;
  }

  char moduleDirectory[PATH_BUFFER_SIZE];
  char archivePath[PATH_BUFFER_SIZE];
  char mediumDirectory[PATH_BUFFER_SIZE];
  ModuleDirectory(moduleDirectory);
  ModuleDirectory(mediumDirectory);
  // Without a module directory, or with an archive path too long for its
  // buffer, SETUP.TMP cannot be opened, as a missing file (and never a
  // SETUP.TMP of the current directory); the user is then told its bare name.
  if (moduleDirectory[0] == '\0' || !JoinInBuffer(archivePath, moduleDirectory, ARCHIVE_NAME)) {
    ArchivePath = ARCHIVE_NAME;
    return ExtractResult::ArchiveNotOpened;
  }
  ArchivePath = archivePath;

  // SETUP.TMP is read once, from its start, by the input, which hands the
  // decoder its bytes; where there is a second processor the next block is
  // read (and, for a bound preloader, hashed) on it while a block decodes.
  // A member that fails in a bound run is told only once the whole file is
  // known to be the one bound: another file gets the one box about
  // SETUP.TMP instead.
  WorkerThread worker;
  ContainerInput input(worker, boundDigest != nullptr);
  if (!input.Open(archivePath)) return ExtractResult::ArchiveNotOpened;
  TLZSS codec(0);
  codec.Source = &input;
  TString failedPath;

  // A count that cannot be read in full counts as 0.
  std::uint8_t countBytes[ENTRY_COUNT_BYTES];
  int count = 0;
  if (input.Read(countBytes, ENTRY_COUNT_BYTES) == ENTRY_COUNT_BYTES)
    count = EntriesOfCount(countBytes[0], countBytes[1]);

  for (int index = 0; index < count; ++index) {
    TString name;
    ReadArchiveName(input, name);
    TString outputPath = stagingRoot + StagingDirName + name;
    // A name that is no plain file name of the staging directory (a path, a
    // device, dots that Windows trims to "..") and an output path too long
    // for a path buffer fail like a member that does not decode; nothing is
    // opened for them.
    bool failed = CheckMemberName(name.c_str()) != MemberNameFault::None ||
                  outputPath.size() >= static_cast<std::size_t>(PATH_BUFFER_SIZE);
    // Someone put another directory in its place since the last member:
    // nothing more goes there, and nothing is deleted through the path.
    if (!failed && !IsOwnStagingDir(stagingDir.c_str())) {
      worker.End();
      ReportFailure(window, Failure::NoStagingDirectory, stagingDir.c_str());
      return ExtractResult::StagingRefused;
    }
    if (!failed) {
      NoteStagedFile(name.c_str());
      codec.OpenOutput(outputPath.c_str(), -1);
      failed = !codec.Decode(nullptr, codec.OutputStream);
    }
    if (failed) {
      if (boundDigest)
        failedPath = outputPath;
      else
        ReportDecodeError(outputPath.c_str());
      break;
    }
  }

  bool matches = !boundDigest || (input.ReadToEnd() && input.Matches(boundDigest));
  codec.OpenOutput(nullptr, -1);  // the last member's output is closed
  worker.End();                   // nothing of the extraction outlives it
  ExtractResult result = ExtractResult::InstallerStarted;
  if (!matches) {
    result = ExtractResult::ContainerMismatch;
  } else if (boundDigest && !failedPath.empty()) {
    // The file is the one bound, so the member failed for a fault of the
    // machine (a read, a full disk): the installer would start without
    // what followed it and look for it elsewhere. It does not start.
    DiscardStaging(stagingDir.c_str());
    ReportDecodeError(failedPath.c_str());
    result = ExtractResult::BoundMemberFailed;
  } else {
    if (!failedPath.empty()) ReportDecodeError(failedPath.c_str());
    switch (LaunchInstaller(window, stagingRoot.c_str(), mediumDirectory)) {
      case HandOff::Started:
        break;
      case HandOff::NotStarted:
        result = ExtractResult::InstallerNotStarted;
        break;
      case HandOff::StagingLost:
        ReportFailure(window, Failure::NoStagingDirectory, stagingDir.c_str());
        result = ExtractResult::StagingRefused;
        break;
    }
  }
  return result;
}

void ReadArchiveName(MemberSource& input, TString& destination) {
  ReadNameField(destination, [&input](void* to, std::size_t count) {
    return input.Read(static_cast<std::uint8_t*>(to), count);
  });
}

void ReadArchiveNameFromHandle(HANDLE file, TString& destination) {
  ReadNameField(destination, [file](void* to, std::size_t count) -> std::size_t {
    DWORD got = 0;
    if (!ReadFile(file, to, static_cast<DWORD>(count), &got, nullptr)) return 0;
    return got <= count ? got : 0;
  });
}

void WriteArchiveName(HANDLE file, const TString& name) {
  const std::size_t length = name.size() & MAX_NAME_LENGTH;  // taken as 16 bits
  std::uint8_t field[NAME_LENGTH_BYTES];
  PutField(field, length);
  DWORD done = 0;
  WriteFile(file, field, NAME_LENGTH_BYTES, &done, nullptr);
  if (length > 0) WriteFile(file, name.c_str(), static_cast<DWORD>(length), &done, nullptr);
}
