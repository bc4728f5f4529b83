// The private security descriptor of the staging directory, built with the
// calls every Windows since 2000 has.
#include "private_security.h"

namespace {

// A SID with room for two sub-authorities, laid out as the system lays out
// every SID; the two well-known groups need no allocation then.
struct WellKnownSid {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[2];
};

// S-1-5-18 and S-1-5-32-544.
WellKnownSid LocalSystem = {SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID, 0}};
WellKnownSid Administrators = {
    SID_REVISION, 2, SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};

bool ReadTokenUser(PrivateSecurity& security) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD needed = 0;
  BOOL read = GetTokenInformation(token, TokenUser, &security.Token, sizeof security.Token, &needed);
  CloseHandle(token);
  return read != FALSE;
}

}  // namespace

bool BuildPrivateSecurity(PrivateSecurity& security) {
  if (!ReadTokenUser(security)) return false;
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

  security.Attributes.nLength = sizeof security.Attributes;
  security.Attributes.lpSecurityDescriptor = descriptor;
  security.Attributes.bInheritHandle = FALSE;
  return true;
}
