// The private security descriptor of the staging directory, built with the
// calls every Windows since 2000 has; the label only where the system
// reports integrity levels.
#include "private_security.h"

#include <cstring>

namespace {

// A SID with room for five sub-authorities, laid out as the system lays out
// every SID; the well-known ones need no allocation then.
struct WellKnownSid {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[6];
};

// S-1-5-18, S-1-5-32-544, TrustedInstaller's service SID and S-1-16-12288.
WellKnownSid LocalSystem = {SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
WellKnownSid Administrators = {
    SID_REVISION, 2, SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
WellKnownSid TrustedInstaller = {
    SID_REVISION, 6, SECURITY_NT_AUTHORITY, {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464}};
WellKnownSid HighIntegrity = {
    SID_REVISION, 1, SECURITY_MANDATORY_LABEL_AUTHORITY, {SECURITY_MANDATORY_HIGH_RID}};

// GetTokenInformation of the process's own token into `buffer`.
bool ReadToken(TOKEN_INFORMATION_CLASS kind, void* buffer, DWORD size) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD needed = 0;
  BOOL read = GetTokenInformation(token, kind, buffer, size, &needed);
  CloseHandle(token);
  return read != FALSE;
}

bool SameSid(PSID a, PSID b) {
  DWORD length = GetLengthSid(a);
  return length == GetLengthSid(b) && std::memcmp(a, b, length) == 0;
}

// The label's entry, written as the system lays it out: AddAce copies it.
bool AddHighLabel(PrivateSecurity& security) {
  constexpr DWORD sidLength = sizeof(SID);  // one sub-authority
  struct {
    ACE_HEADER Header;
    ACCESS_MASK Mask;
    BYTE Sid[sidLength];
  } ace;
  const DWORD aceSize = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) + sidLength;
  ace.Header.AceType = SYSTEM_MANDATORY_LABEL_ACE_TYPE;
  ace.Header.AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  ace.Header.AceSize = static_cast<WORD>(aceSize);
  ace.Mask = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;
  std::memcpy(ace.Sid, &HighIntegrity, sidLength);
  ACL* sacl = &security.Sacl.Header;
  const DWORD aclSize = sizeof(ACL) + aceSize;
  return aclSize <= sizeof security.Sacl && InitializeAcl(sacl, aclSize, ACL_REVISION) &&
         AddAce(sacl, ACL_REVISION, MAXDWORD, &ace, aceSize) &&
         SetSecurityDescriptorSacl(&security.Descriptor, TRUE, sacl, FALSE);
}

}  // namespace

bool RunsElevated() {
  union {
    TOKEN_MANDATORY_LABEL Label;
    BYTE Bytes[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
  } level;
  // Systems before Vista know no such class: the call fails there.
  if (!ReadToken(TokenIntegrityLevel, &level, sizeof level)) return false;
  const BYTE* sid = static_cast<const BYTE*>(level.Label.Label.Sid);
  const BYTE count = sid[1];
  if (count == 0) return false;
  DWORD rid;
  std::memcpy(&rid, sid + 8 + 4 * (count - 1), sizeof rid);
  return rid >= SECURITY_MANDATORY_HIGH_RID;
}

bool IsTrustedOwner(PSID owner) {
  TokenUserBuffer token;
  if (!owner) return false;
  if (ReadToken(TokenUser, &token, sizeof token) && SameSid(owner, token.User.User.Sid)) return true;
  PSID trusted[] = {&LocalSystem, &Administrators, &TrustedInstaller};
  for (PSID sid : trusted)
    if (SameSid(owner, sid)) return true;
  return false;
}

bool BuildPrivateSecurity(PrivateSecurity& security) {
  if (!ReadToken(TokenUser, &security.Token, sizeof security.Token)) return false;
  PSID sids[3] = {security.Token.User.User.Sid, &LocalSystem, &Administrators};

  DWORD aclSize = sizeof(ACL);
  for (PSID sid : sids) aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
  ACL* dacl = &security.Dacl.Header;
  if (aclSize > sizeof security.Dacl || !InitializeAcl(dacl, aclSize, ACL_REVISION)) return false;
  for (PSID sid : sids)
    if (!AddAccessAllowedAceEx(dacl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                               FILE_ALL_ACCESS, sid))
      return false;

  SECURITY_DESCRIPTOR* descriptor = &security.Descriptor;
  if (!InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(descriptor, TRUE, dacl, FALSE) ||
      !SetSecurityDescriptorControl(descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
    return false;
  if (RunsElevated() && !AddHighLabel(security)) return false;

  security.Attributes.nLength = sizeof security.Attributes;
  security.Attributes.lpSecurityDescriptor = descriptor;
  security.Attributes.bInheritHandle = FALSE;
  return true;
}
