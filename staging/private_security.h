// The security of a staging directory: only the user who runs the preloader,
// SYSTEM and the Administrators may use it; and who may own a directory
// that the staging directory is made in.
#pragma once

#include "win32.h"

// The token's user: a TOKEN_USER and the SID it points to.
union TokenUserBuffer {
  TOKEN_USER User;
  BYTE Bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
};

// A security descriptor with a protected DACL (nothing inherited from the
// parent) that grants full control to the token's user, SYSTEM and the
// Administrators group, and nothing to anyone else. Each entry is inherited
// by the files and directories made inside. In an elevated run (a token of
// high integrity or above) its SACL carries a High mandatory label with
// no-write-up, also inherited: the same user's programs at medium
// integrity, which the DACL lets in, cannot write there. Everything the
// descriptor points to lives in this object, so it is used where it was
// built.
struct PrivateSecurity {
  SECURITY_ATTRIBUTES Attributes;
  SECURITY_DESCRIPTOR Descriptor;
  TokenUserBuffer Token;
  // The DACL: its header and three entries, each at most a SID of the
  // largest size long.
  union {
    ACL Header;
    BYTE Bytes[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
  } Dacl;
  // The SACL with the label: its header and one entry with a SID of one
  // sub-authority.
  union {
    ACL Header;
    BYTE Bytes[sizeof(ACL) + sizeof(SYSTEM_MANDATORY_LABEL_ACE) + 12];
  } Sacl;
};

// Fills `security`; false when the token's user cannot be read or the
// descriptor cannot be built. The caller then creates nothing.
bool BuildPrivateSecurity(PrivateSecurity& security);

// Whether the process's token is of high integrity or above: elevated, or
// SYSTEM. False where the system knows no integrity levels (before Vista).
bool RunsElevated();

// Whether `owner` may own a shared directory that the staging directory is
// made in: the token's user, SYSTEM, the Administrators or TrustedInstaller.
bool IsTrustedOwner(PSID owner);
