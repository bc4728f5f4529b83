#include "jobs/member_encoder.h"

#include "files/input_file.h"
#include "stream_position.h"

namespace {

// Closes the input and takes it out of the progress line's sight first.
class WatchedInput {
 public:
  WatchedInput(FILE* stream, InputWatch* watch) : stream_(stream), watch_(watch) {
    if (watch_) {
      std::lock_guard<std::mutex> hold(watch_->Lock);
      watch_->Stream = stream_;
    }
  }
  ~WatchedInput() {
    if (watch_) {
      std::lock_guard<std::mutex> hold(watch_->Lock);
      watch_->Stream = nullptr;
    }
    std::fclose(stream_);
  }
  WatchedInput(const WatchedInput&) = delete;
  WatchedInput& operator=(const WatchedInput&) = delete;

 private:
  FILE* stream_;
  InputWatch* watch_;
};

}  // namespace

EncodeOutcome EncodeMember(TLZSS& codec, const PayloadFile& file, FILE* out, InputWatch* watch,
                           EncodeEffort effort, const MemberTimes& times) {
  EncodeOutcome outcome;
  // The file as it was listed, or nothing: a pipe or a device put in its
  // place is refused at once, never waited on.
  InputFault fault;
  std::string why;
  FILE* in = OpenInputFile(file.Path, &file.Stamp, fault, why);
  if (!in) {
    outcome.Error = fault == InputFault::CannotOpen ? "cannot open: " + why
                    : fault == InputFault::NotRegular
                        ? "no longer a regular file; something else took its place"
                        : why;
    return outcome;
  }
  WatchedInput closer(in, watch);

  std::int64_t memberStart = StreamTell(out);
  if (effort == EncodeEffort::Best)
    codec.EncodeBest(in, out);
  else
    codec.Encode(in, out);
  std::int64_t memberEnd = StreamTell(out);
  std::int64_t bytesRead = StreamTell(in);

  if (std::ferror(in)) {
    outcome.Error = "read error";
    return outcome;
  }
  FileStamp after;
  if (bytesRead < 0 || static_cast<std::uint64_t>(bytesRead) != file.Size || !StampOf(in, after) ||
      after != file.Stamp) {
    outcome.Error = "changed while it was being packed (" + std::to_string(file.Size) + " bytes before, " +
                    std::to_string(bytesRead) + " bytes read)";
    return outcome;
  }
  // A nearly incompressible file close to 4 GiB can need more token bytes
  // than the 32-bit PackedSize holds; the header would then lie.
  if (memberEnd - memberStart != MEMBER_HEADER_SIZE + static_cast<std::int64_t>(codec.PackedSize)) {
    outcome.Error = "compresses to 4 GiB or more, more than a member can hold";
    return outcome;
  }
  DosDateTime time;
  bool storable = MemberTimeOf(times, in, after, time);
  if (times.From != MemberTimes::Source::File) {
    // Encode stamped the member with the file's local time; the time asked
    // for replaces it, in place, like the sizes that Encode patches.
    if (!storable) time = DosDateTime{};
    if (!StreamSeek(out, memberStart + 4, SEEK_SET)) {
      outcome.Error = "cannot seek in the container to stamp the member";
      return outcome;
    }
    WriteMemberTime(out, time);
    StreamSeek(out, memberEnd, SEEK_SET);
  }
  if (!storable)
    outcome.Warning =
        "its modification time lies outside 1980 to 2107 and cannot be stored; the preloader "
        "will give the file the time of unpacking";
  outcome.Ok = true;
  return outcome;
}
