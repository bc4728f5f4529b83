// Writing one member of a container as a file of a directory.
//
// The member is decoded into a temporary file beside its target (see
// temp_file.h) and renamed into place only when it decoded whole, so a
// damaged member never replaces a good file, and it never writes more than
// the bytes its header announces. Decoding touches nothing but the codec
// object, the container's stream position and the temporary file, so
// workers with a codec and a container stream each decode members side by
// side; putting them in place is a step of its own, which extract takes in
// the members' order.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "container/container_reader.h"
#include "lzss.h"

struct MemberWritten {
  enum class Result { Ok, Damaged, WriteFailed };
  Result Outcome = Result::Ok;
  std::string Why;  // what went wrong, for a message
};

// The path of a member's file in `directory`. The name must have passed the
// name rule: a plain file name of that directory.
std::string MemberTarget(const std::string& directory, const std::string& name);

class TempFile;

// A member decoded whole into its temporary file, which is on the disk and
// closed; or the reason why not, and no file.
struct DecodedMember {
  MemberWritten Outcome;
  std::unique_ptr<TempFile> File;
  DecodedMember();
  DecodedMember(DecodedMember&&) noexcept;
  DecodedMember& operator=(DecodedMember&&) noexcept;
  ~DecodedMember();  // removes a file that was never put in place
};

// Decodes `entry`, read from `container` at its member offset, into a
// temporary file beside `target`, with the time its header holds.
DecodedMember DecodeMember(TLZSS& codec, FILE* container, const StoredEntry& entry,
                           const std::string& target);

// Renames a member that decoded whole over its target.
MemberWritten PutInPlace(DecodedMember& member);
