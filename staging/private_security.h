// The security of a staging directory: only the user who runs the preloader,
// SYSTEM and the Administrators may use it.
#pragma once

#include "win32.h"

// A security descriptor with a protected DACL (nothing inherited from the
// parent) that grants full control to the token's user, SYSTEM and the
// Administrators group, and nothing to anyone else. Each entry is inherited
// by the files and directories made inside. Everything the descriptor points
// to lives in this object, so it is used where it was built.
struct PrivateSecurity {
  SECURITY_ATTRIBUTES Attributes;
  SECURITY_DESCRIPTOR Descriptor;
  // The token's user: a TOKEN_USER and the SID it points to.
  union {
    TOKEN_USER User;
    BYTE Bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } Token;
  // The DACL: its header and three entries, each at most a SID of the
  // largest size long.
  union {
    ACL Header;
    BYTE Bytes[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
  } Dacl;
};

// Fills `security`; false when the token's user cannot be read or the
// descriptor cannot be built. The caller then creates nothing.
bool BuildPrivateSecurity(PrivateSecurity& security);
