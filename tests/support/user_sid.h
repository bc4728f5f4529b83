// The SID of the user the test program runs as, in its string form
// ("S-1-5-21-..."); "" when it cannot be read. Windows builds only.
#pragma once

#include <string>

std::string CurrentUserSid();
