// The host stand-in for the Win32 calls of the staging code: a test platform
// for the native build. It defines the calls declared in include/windows.h and
// behaves as the platform does where the staging code can tell (where it and
// the platform disagree, the platform is right). Everything a test wants to
// steer or read back lives in `Standin()`.
//
// Paths. A Windows path ("c:\temp\QTX0.tmp", "_Orvane3d1\INSTALL.EXE") is
// translated to a host path: a drive letter must be mapped to a host
// directory (MapDrive); a path without a drive is taken relative to the
// stand-in's current directory (a Windows path, SetCurrentDirectory). "." and
// ".." are resolved lexically and never climb above the drive's directory.
// Drive letters match case-insensitively; the rest of the path is used as
// written, since the host file system is case-sensitive.
//
// The codec opens members with std::fopen on the Windows paths the staging
// code builds. The stand-in library therefore asks the linker to wrap fopen
// (-Wl,--wrap=fopen, an INTERFACE link option of win32_standin): every
// fopen call in the program's own objects goes to __wrap_fopen, which
// translates a Windows-looking path (one with a drive letter or a backslash)
// and hands any other path unchanged to the C library (__real_fopen). Neither
// the codec nor the staging sources change for this.
//
// Links. A symbolic link on the host is what the platform shows for a link
// or junction, as Wine shows one: a link to a directory has the attributes
// FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, a link to a file
// those of the file, and a link that leads nowhere does not exist, yet no
// name can be created over it. FILE_FLAG_OPEN_REPARSE_POINT opens the link
// itself; CREATE_NEW and CreateDirectoryA never follow one.
//
// Security. The process's token has one user (STANDIN_USER_SID), who owns
// every file but those named in Owners. A descriptor given to
// CreateDirectoryA is checked as the platform checks it (a malformed one
// fails the call) and its DACL and SACL recorded per directory
// (DirectoryDacls, DirectorySacls); the host directory's permissions do not
// change.
//
// Threads and events are the host's own, so that code that hands work to a
// second thread runs as it does on the platform, under the sanitizers too.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "windows.h"

// ---- Steering and reading back ----------------------------------------------

struct StartedProgram {
  std::string CommandLine;
  UINT Show = 0;
};

struct ShownMessage {
  HWND Owner = nullptr;
  std::string Text;
  std::string Caption;
  UINT Type = 0;
  WORD Language = 0;
};

// One entry of a recorded DACL.
struct RecordedAce {
  BYTE Type = 0;
  BYTE Flags = 0;
  ACCESS_MASK Mask = 0;
  std::string Sid;  // "S-1-5-18"
  bool operator==(const RecordedAce& o) const {
    return Type == o.Type && Flags == o.Flags && Mask == o.Mask && Sid == o.Sid;
  }
};

struct RecordedDacl {
  bool Protected = false;  // SE_DACL_PROTECTED
  std::vector<RecordedAce> Aces;
};

// The user of the stand-in's process token.
constexpr char STANDIN_USER_SID[] = "S-1-5-21-1004336348-1177238915-682003330-1001";

struct StandinState {
  // Drive letter (lower case) -> host directory, ending in '/'.
  std::map<char, std::string> Drives;
  // Drive letter (lower case) -> drive type; mapped drives default to DRIVE_FIXED.
  std::map<char, UINT> DriveTypes;
  // The current directory, a Windows path ending in a backslash.
  std::string CurrentDirectory = "c:\\";
  // What GetTempPathA reports; empty makes it fail (return 0).
  std::string TempPath = "c:\\windows\\temp\\";
  // What GetModuleFileNameA reports for the process's own module.
  std::string ModuleFileName = "d:\\SETUP.EXE";
  // Directories whose creation fails (Windows paths, compared without case
  // and without a trailing backslash).
  std::set<std::string> FailingDirectories;
  // Claims that more paths exist than the file system holds: GetFileAttributesA
  // reports a directory for every path for which it returns true.
  std::function<bool(const std::string& path)> AlsoExists;
  // Next number GetTempFileNameA tries.
  UINT NextTempUnique = 0x1A;
  // OpenProcessToken fails.
  bool TokenFails = false;
  // The kernel32 functions that GetProcAddress finds beyond the declared
  // ones: "SetDefaultDllDirectories", "SetDllDirectoryA" (Windows 8 has both,
  // XP SP1 only the second, XP neither).
  std::set<std::string> Kernel32Exports = {"SetDefaultDllDirectories", "SetDllDirectoryA",
                                           "GetLogicalProcessorInformation"};
  // Runs at the start of CreateDirectoryA and CreateFileA with the call's
  // name and its path: another process acting just before the call.
  std::function<void(const std::string& call, const std::string& path)> BeforeCall;
  // The owner of a file or directory (its full Windows path, lower case,
  // without a trailing backslash) where it is not the token's user.
  std::map<std::string, std::string> Owners;
  // The last sub-authority of the token's integrity level; 0 makes the
  // query fail, as on the systems before Vista.
  DWORD IntegrityRid = 0;
  // The processors the process may run on, and the processors of each core
  // as GetLogicalProcessorInformation reports them.
  DWORD_PTR AffinityMask = 0x3;
  // Whether the process's window station is visible (a user can answer a
  // box); false as for a service.
  bool WindowStationVisible = true;
  std::vector<DWORD_PTR> Cores = {0x1, 0x2};

  // Read back.
  // The calls that change the DLL search and the starts of programs, in
  // their order: "SetDefaultDllDirectories(0x800)", "SetDllDirectoryA(\"\")",
  // "SetDllDirectoryA(NULL)", "WinExec".
  std::vector<std::string> DllSearchAndStarts;
  std::vector<StartedProgram> Started;
  std::vector<ShownMessage> Messages;           // the wide boxes' texts as UTF-8
  std::string WindowTitle;                      // the last SetWindowTextW, as UTF-8
  std::vector<std::string> CreatedDirectories;  // Windows paths, as passed
  // The DACL of each directory created with a descriptor that has one, by
  // the Windows path as passed.
  std::map<std::string, RecordedDacl> DirectoryDacls;
  // The SACL (a mandatory label's entry) likewise.
  std::map<std::string, RecordedDacl> DirectorySacls;
  DWORD LastError = 0;
  int GetFileAttributesCalls = 0;
  LPCSTR LoadedCursor = nullptr;
  HCURSOR CurrentCursor = nullptr;
};

// The one state object; constructed on first use, so that it is ready for
// code that runs before main.
StandinState& Standin();

// Puts everything back to the state of a fresh process.
void ResetStandin();

// Maps a drive letter to a host directory (created if missing).
void MapDrive(char letter, const std::string& hostDirectory);

// The host path a Windows path stands for, or "" when its drive is not mapped.
std::string HostPath(const std::string& windowsPath);

// The full Windows path (drive, directories, name) of a possibly relative one.
std::string FullWindowsPath(const std::string& windowsPath);

// "S-1-5-..." for a SID in the platform's layout.
std::string SidText(const void* sid);

// The handle that the stand-in's message box and cursor calls accept.
HCURSOR StandinWaitCursor();

// An ANSI text (a path) as a box of the wide calls shows it, recorded as
// UTF-8: each byte taken as code page 1252 takes it (Latin-1 here).
std::string AnsiAsShown(const std::string& ansi);

// For CloseHandle: closes a thread's or event's handle; false for others.
bool CloseSyncObject(HANDLE handle);
// What GetProcAddress gives for "GetLogicalProcessorInformation": the
// processors of Standin().Cores, one entry a core.
BOOL StandinGetLogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length);
