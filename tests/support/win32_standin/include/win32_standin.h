// A host stand-in for the Win32 calls the staging code makes (staging/), so
// that the same sources compile unchanged on Linux and their tests run
// natively. It offers exactly the types, constants and calls the staging code
// uses, under their Win32 names, and behaves as the staging code expects of
// them. Everything a test wants to steer or read back lives in `Standin()`.
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
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// ---- Types ------------------------------------------------------------------

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef std::uint32_t DWORD;  // 32 bits, as on Windows (long is 64 bits here)
typedef unsigned int UINT;
typedef WORD LANGID;
typedef int HFILE;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
struct HWND__ {
  int unused;
};
typedef HWND__* HWND;
struct HINSTANCE__ {
  int unused;
};
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HICON__ {
  int unused;
};
typedef HICON__* HICON;
typedef HICON HCURSOR;
struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
struct OVERLAPPED;
typedef OVERLAPPED* LPOVERLAPPED;

constexpr int OFS_MAXPATHNAME = 128;
struct OFSTRUCT {
  BYTE cBytes;
  BYTE fFixedDisk;
  WORD nErrCode;
  WORD Reserved1;
  WORD Reserved2;
  CHAR szPathName[OFS_MAXPATHNAME];
};
typedef OFSTRUCT* LPOFSTRUCT;

// ---- Constants --------------------------------------------------------------

#define WINAPI
#define TRUE 1
#define FALSE 0
constexpr int MAX_PATH = 260;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT SW_SHOWNORMAL = 1;
constexpr UINT MB_OK = 0;
constexpr int IDOK = 1;
constexpr UINT OF_EXIST = 0x4000;
constexpr HFILE HFILE_ERROR = -1;
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(i))))
#define IDC_WAIT MAKEINTRESOURCEA(32514)

// ---- Calls ------------------------------------------------------------------

DWORD GetTempPathA(DWORD size, LPSTR buffer);
UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName);
UINT GetDriveTypeA(LPCSTR rootPath);
DWORD GetFileAttributesA(LPCSTR path);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE object);
BOOL DeleteFileA(LPCSTR path);
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
HFILE OpenFile(LPCSTR path, LPOFSTRUCT info, UINT style);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);
UINT WinExec(LPCSTR commandLine, UINT show);
int MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD language);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);

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

  // Read back.
  std::vector<StartedProgram> Started;
  std::vector<ShownMessage> Messages;
  std::vector<std::string> CreatedDirectories;  // Windows paths, as passed
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

// The handle that the stand-in's message box and cursor calls accept.
HCURSOR StandinWaitCursor();
