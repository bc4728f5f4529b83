// Writing one member of a container as a file of a directory.
//
// The member is decoded into a temporary file beside its target (see
// temp_file.h) and renamed into place only when it decoded whole, so a
// damaged member never replaces a good file, and it never writes more than
// the bytes its header announces. Nothing but the codec object and the
// container's stream position is touched, so workers with a codec and a
// container stream each can write members side by side.
#pragma once

#include <cstdio>
#include <string>

#include "container_reader.h"
#include "lzss.h"

struct MemberWritten {
  enum class Result { Ok, Damaged, WriteFailed };
  Result Outcome = Result::Ok;
  std::string Why;  // what went wrong, for a message
};

// The path of a member's file in `directory`. The name must have passed the
// name rule: a plain file name of that directory.
std::string MemberTarget(const std::string& directory, const std::string& name);

// Decodes `entry`, read from `container` at its member offset, into
// MemberTarget(directory, entry.Name), with the time its header holds.
MemberWritten ExtractMember(TLZSS& codec, FILE* container, const StoredEntry& entry,
                            const std::string& directory);
