#include "jobs/extract_member.h"

#include <cerrno>

#include "file_time.h"
#include "stream_position.h"
#include "base/system_error.h"
#include "files/temp_file.h"

namespace {

bool EndsWithSeparator(const std::string& path) {
  if (path.empty()) return false;
  char last = path.back();
#ifdef _WIN32
  return last == '\\' || last == '/' || last == ':';
#else
  return last == '/';
#endif
}

MemberWritten Failed(MemberWritten::Result result, std::string why) { return {result, std::move(why)}; }

}  // namespace

std::string MemberTarget(const std::string& directory, const std::string& name) {
#ifdef _WIN32
  const char separator = '\\';
#else
  const char separator = '/';
#endif
  if (directory.empty()) return name;
  return EndsWithSeparator(directory) ? directory + name : directory + separator + name;
}

DecodedMember::DecodedMember() = default;
DecodedMember::DecodedMember(DecodedMember&&) noexcept = default;
DecodedMember& DecodedMember::operator=(DecodedMember&&) noexcept = default;
DecodedMember::~DecodedMember() = default;

DecodedMember DecodeMember(TLZSS& codec, FILE* container, const StoredEntry& entry,
                           const std::string& target) {
  DecodedMember member;
  auto fail = [&member](MemberWritten::Result result, std::string why) {
    member.Outcome = Failed(result, std::move(why));
    member.File.reset();
    return std::move(member);
  };
  member.File = std::make_unique<TempFile>(target);
  TempFile& temp = *member.File;
  std::string why;
  if (!temp.Create(why)) return fail(MemberWritten::Result::WriteFailed, why);

  FILE* out = temp.Stream();
  StreamSeek(container, static_cast<std::int64_t>(entry.MemberOffset), SEEK_SET);
  codec.LimitToUnpackedSize = true;
  codec.OutputStream = out;  // Decode flushes, measures and stamps its own output
  errno = 0;
  int decoded = codec.Decode(container, out);
  int writeError = std::ferror(out) ? errno : 0;
  codec.OutputStream = nullptr;
  // Decode returns at once for an empty member and leaves its time alone.
  if (decoded && entry.Header.UnpackedSize == 0) SetStreamFileTime(out, entry.Header.PackedTime());

  if (std::ferror(out)) {
    errno = writeError;
    return fail(MemberWritten::Result::WriteFailed,
                writeError ? "write error: " + ErrnoText() : "write error");
  }
  if (!decoded) {
    std::int64_t length = StreamTell(out);
    const std::string announced = std::to_string(codec.UnpackedSize);
    // The decoding stops at the announced length: a member that got there
    // and still failed had more to give.
    if (length == static_cast<std::int64_t>(codec.UnpackedSize))
      return fail(MemberWritten::Result::Damaged,
                  "the member produces more than the " + announced +
                      " bytes its header announces; nothing behind them was written");
    return fail(MemberWritten::Result::Damaged, "the member decodes to " + std::to_string(length) +
                                                    " bytes, its header announces " + announced);
  }
  if (!temp.Seal(why)) return fail(MemberWritten::Result::WriteFailed, why);
  return member;
}

MemberWritten PutInPlace(DecodedMember& member) {
  if (member.Outcome.Outcome != MemberWritten::Result::Ok) return member.Outcome;
  std::string why;
  if (!member.File->Commit(why)) return Failed(MemberWritten::Result::WriteFailed, why);
  return {};
}
