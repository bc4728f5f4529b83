// The staging root: checked before use, then held.
#include "staging_root.h"

#include <cstring>

#include "held_directory.h"
#include "private_security.h"
#include "tstring.h"

namespace {

HeldDirectory Root;
TString RootPath;  // as passed to TakeStagingRoot

// The path CreateFileA opens: no trailing backslash but a drive root's
// ("C:\"), and "." for the current directory.
TString OpenablePath(const char* directory) {
  TString path = directory;
  if (path.empty()) return ".";
  const bool driveRoot = path.size() == 3 && path.c_str()[1] == ':';
  if (!driveRoot && (path.c_str()[path.size() - 1] == '\\' || path.c_str()[path.size() - 1] == '/'))
    path.Truncate(path.size() - 1);
  return path;
}

// The directory's owner, read through the held handle.
bool OwnedByTrustee(HANDLE directory) {
  union {
    SECURITY_DESCRIPTOR_RELATIVE Header;
    BYTE Bytes[sizeof(SECURITY_DESCRIPTOR_RELATIVE) + SECURITY_MAX_SID_SIZE + 64];
  } descriptor;
  DWORD needed = 0;
  if (!GetKernelObjectSecurity(directory, OWNER_SECURITY_INFORMATION, &descriptor, sizeof descriptor,
                               &needed))
    return false;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  return GetSecurityDescriptorOwner(&descriptor, &owner, &defaulted) && IsTrustedOwner(owner);
}

}  // namespace

bool TakeStagingRoot(const char* directory, RootKind kind) {
  const TString path = OpenablePath(directory);
  // The same root once more (the second look of a run): it must still be
  // the directory held, or someone put another in its place meanwhile.
  if (Root.Held() && std::strcmp(RootPath.c_str(), path.c_str()) == 0) {
    if (Root.IsAt(path.c_str())) return true;
    ReleaseStagingRoot();
    return false;
  }
  if (!Root.Hold(path.c_str()) || (kind == RootKind::Shared && !OwnedByTrustee(Root.Handle()))) {
    ReleaseStagingRoot();
    return false;
  }
  RootPath = path;
  return true;
}

bool StagingRootHeld() { return Root.Held(); }

void ReleaseStagingRoot() {
  Root.Release();
  RootPath = "";
}
