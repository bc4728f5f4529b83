// The Win32 calls of the staging code, declared for the native build: the
// same names, types and constants as the platform's headers, so that the
// staging sources compile unchanged on Linux. Only the declarations live
// here. The native build of staging compiles against them and links no
// code for them; the test programs and fuzz targets that link staging also
// link the stand-in (win32_standin.cpp), which defines them, and steer it
// through standin_control.h.
#pragma once

#include <cstdint>
#include <cstdio>

// ---- Types ------------------------------------------------------------------

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef std::uint32_t DWORD;  // 32 bits, as on Windows (long is 64 bits here)
typedef unsigned int UINT;
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
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_FIXED = 3;
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
