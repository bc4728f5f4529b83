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

#define WINAPI

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef std::uint32_t DWORD;  // 32 bits, as on Windows (long is 64 bits here)
typedef unsigned int UINT;
typedef int HFILE;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef wchar_t WCHAR;  // 32 bits here, 16 on Windows: the stand-in converts to UTF-8 either way
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
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
typedef HANDLE* PHANDLE;
typedef std::uintptr_t DWORD_PTR;
typedef std::uintptr_t ULONG_PTR;
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);
struct OVERLAPPED;
struct HWINSTA__ {
  int unused;
};
typedef HWINSTA__* HWINSTA;
struct USEROBJECTFLAGS {
  BOOL fInherit;
  BOOL fReserved;
  DWORD dwFlags;
};
typedef OVERLAPPED* LPOVERLAPPED;
typedef long long LONGLONG;
union LARGE_INTEGER {
  LONGLONG QuadPart;
};
typedef LARGE_INTEGER* PLARGE_INTEGER;

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

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
};
typedef BY_HANDLE_FILE_INFORMATION* LPBY_HANDLE_FILE_INFORMATION;

// ---- Security: the layouts of the platform's headers --------------------------

typedef DWORD ACCESS_MASK;
typedef WORD SECURITY_DESCRIPTOR_CONTROL;
typedef void* PSID;
typedef void* PSECURITY_DESCRIPTOR;

struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};
struct SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[1];  // SubAuthorityCount of them
};
struct SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
};
struct TOKEN_USER {
  SID_AND_ATTRIBUTES User;
};
enum TOKEN_INFORMATION_CLASS { TokenUser = 1, TokenIntegrityLevel = 25 };
struct TOKEN_MANDATORY_LABEL {
  SID_AND_ATTRIBUTES Label;
};

struct ACL {
  BYTE AclRevision;
  BYTE Sbz1;
  WORD AclSize;
  WORD AceCount;
  WORD Sbz2;
};
typedef ACL* PACL;
struct ACE_HEADER {
  BYTE AceType;
  BYTE AceFlags;
  WORD AceSize;
};
struct ACCESS_ALLOWED_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;  // the SID begins here
};
struct SYSTEM_MANDATORY_LABEL_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
};

enum LOGICAL_PROCESSOR_RELATIONSHIP { RelationProcessorCore = 0, RelationNumaNode = 1, RelationCache = 2 };
// The fields the staging code reads; the union of the platform's layout
// behind them is of the same size.
struct SYSTEM_LOGICAL_PROCESSOR_INFORMATION {
  ULONG_PTR ProcessorMask;
  LOGICAL_PROCESSOR_RELATIONSHIP Relationship;
  std::uint64_t Reserved[2];
};

// The absolute form: the parts are pointers.
struct SECURITY_DESCRIPTOR {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  PSID Owner;
  PSID Group;
  PACL Sacl;
  PACL Dacl;
};
// The self-relative form: the parts are offsets from its start.
struct SECURITY_DESCRIPTOR_RELATIVE {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  DWORD Owner;
  DWORD Group;
  DWORD Sacl;
  DWORD Dacl;
};

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// ---- Constants --------------------------------------------------------------

#define TRUE 1
#define FALSE 0
constexpr int MAX_PATH = 260;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;
constexpr DWORD FILE_FLAG_OPEN_REPARSE_POINT = 0x00200000;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x80;
constexpr DWORD READ_CONTROL = 0x00020000;
constexpr DWORD FILE_SHARE_DELETE = 4;
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD FILE_BEGIN = 0;
constexpr int UOI_FLAGS = 1;
constexpr DWORD WSF_VISIBLE = 1;
constexpr UINT CP_ACP = 0;
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD OWNER_SECURITY_INFORMATION = 0x1;
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;
constexpr DWORD CREATE_NEW = 1;
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
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_BAD_FORMAT = 11;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_INVALID_SECURITY_DESCR = 1338;
constexpr DWORD ERROR_ALLOTTED_SPACE_EXCEEDED = 1344;
constexpr DWORD ERROR_INVALID_SID = 1337;
constexpr DWORD ERROR_INVALID_ACL = 1336;
constexpr DWORD ERROR_REVISION_MISMATCH = 1306;

constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr BYTE SID_REVISION = 1;
constexpr DWORD SID_MAX_SUB_AUTHORITIES = 15;
constexpr DWORD SECURITY_MAX_SID_SIZE = sizeof(SID) - sizeof(DWORD) + SID_MAX_SUB_AUTHORITIES * sizeof(DWORD);
#define SECURITY_NT_AUTHORITY \
  { 0, 0, 0, 0, 0, 5 }
constexpr DWORD SECURITY_LOCAL_SYSTEM_RID = 18;
constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;
constexpr DWORD ACL_REVISION = 2;
#define SECURITY_MANDATORY_LABEL_AUTHORITY \
  { 0, 0, 0, 0, 0, 16 }
constexpr DWORD SECURITY_MANDATORY_HIGH_RID = 0x3000;
constexpr BYTE SYSTEM_MANDATORY_LABEL_ACE_TYPE = 0x11;
constexpr DWORD SYSTEM_MANDATORY_LABEL_NO_WRITE_UP = 0x1;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_SACL_PRESENT = 0x0010;
constexpr BYTE ACCESS_ALLOWED_ACE_TYPE = 0;
constexpr DWORD OBJECT_INHERIT_ACE = 0x1;
constexpr DWORD CONTAINER_INHERIT_ACE = 0x2;
constexpr ACCESS_MASK FILE_ALL_ACCESS = 0x001F01FF;
constexpr DWORD SECURITY_DESCRIPTOR_REVISION = 1;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_DACL_PRESENT = 0x0004;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_DACL_DEFAULTED = 0x0008;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_DACL_PROTECTED = 0x1000;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_SELF_RELATIVE = 0x8000;
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(i))))
#define IDC_WAIT MAKEINTRESOURCEA(32514)
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800;

// ---- Calls ------------------------------------------------------------------

DWORD GetTempPathA(DWORD size, LPSTR buffer);
UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName);
UINT GetDriveTypeA(LPCSTR rootPath);
DWORD GetFileAttributesA(LPCSTR path);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryA(LPCSTR path);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
BOOL CloseHandle(HANDLE object);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD method);
BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
DWORD GetLastError();
BOOL DeleteFileA(LPCSTR path);
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
HFILE OpenFile(LPCSTR path, LPOFSTRUCT info, UINT style);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);
UINT WinExec(LPCSTR commandLine, UINT show);
HMODULE GetModuleHandleA(LPCSTR name);
typedef int (*FARPROC)();
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
int MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD language);
int MessageBoxExW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type, WORD language);
BOOL SetWindowTextW(HWND window, LPCWSTR text);
// The stand-in's program has no string table: always 0, nothing copied.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);
HWINSTA GetProcessWindowStation();
BOOL GetUserObjectInformationA(HANDLE object, int index, LPVOID information, DWORD size, LPDWORD needed);
// CP_ACP only, which the stand-in takes as Windows-1252.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideLength);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);

HANDLE GetCurrentProcess();
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID information, DWORD size,
                         LPDWORD needed);
DWORD GetLengthSid(PSID sid);
BOOL InitializeAcl(PACL acl, DWORD size, DWORD revision);
BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD flags, DWORD mask, PSID sid);
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL dacl, BOOL defaulted);
BOOL SetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, PACL sacl, BOOL defaulted);
BOOL AddAce(PACL acl, DWORD revision, DWORD startingIndex, LPVOID aceList, DWORD aceListLength);
BOOL GetKernelObjectSecurity(HANDLE object, DWORD requested, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                             LPDWORD needed);
BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner, BOOL* defaulted);

// Threads and events: real threads of the host.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL SwitchToThread();
BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask);

BOOL SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR descriptor, SECURITY_DESCRIPTOR_CONTROL bitsOfInterest,
                                  SECURITY_DESCRIPTOR_CONTROL bitsToSet);
