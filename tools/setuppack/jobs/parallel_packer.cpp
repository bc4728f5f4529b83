#include "jobs/parallel_packer.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

#include "jobs/member_encoder.h"
#include "member_header.h"
#include "jobs/ordered_jobs.h"
#include "base/progress_line.h"
#include "stream_position.h"
#include "files/temp_file.h"
#include "container_layout.h"
#include "container/worker_codec.h"

namespace {

std::string WriteError() { return std::string("write error: ") + std::strerror(errno); }

// How far the progress line can see: finished bytes plus what each worker
// has read of its current file.
struct Progress {
  explicit Progress(unsigned workers) {
    for (unsigned k = 0; k < workers; ++k) Watches.push_back(std::make_unique<InputWatch>());
  }
  std::atomic<std::uint64_t> Finished{0};
  std::vector<std::unique_ptr<InputWatch>> Watches;

  std::uint64_t BytesDone() {
    std::uint64_t bytes = Finished.load();
    for (auto& watch : Watches) {
      std::lock_guard<std::mutex> hold(watch->Lock);
      if (watch->Stream) {
        std::int64_t position = StreamTell(watch->Stream);
        if (position > 0) bytes += static_cast<std::uint64_t>(position);
      }
    }
    return bytes;
  }
};

bool PackInOrder(FILE* out, const std::string& container, const std::vector<PayloadFile>& files,
                 EncodeEffort effort, const MemberTimes& times, Progress& progress, ProgressLine& line,
                 PackSummary& summary, Problem& failure) {
  TLZSS codec(0);
  for (const PayloadFile& file : files) {
    WriteNameField(out, file.Stored.data(), file.Stored.size());
    EncodeOutcome outcome = EncodeMember(codec, file, out, progress.Watches[0].get(), effort, times);
    if (!outcome.Ok) {
      failure = {file.Path, outcome.Error};
      return false;
    }
    if (std::ferror(out)) {
      failure = {container, WriteError()};
      return false;
    }
    if (!outcome.Warning.empty()) summary.Warnings.push_back({file.Path, outcome.Warning});
    progress.Finished += file.Size;
    line.MemberDone();
  }
  return true;
}

// A member encoded into a temporary file beside the container, waiting to
// be appended; or why it could not be.
struct EncodedMember {
  bool Ok = false;
  Problem Failure;
  std::string Warning;
  std::unique_ptr<TempFile> Temp;  // the member, open, until it is appended
};

EncodedMember EncodeAside(TLZSS& codec, const std::string& container, const PayloadFile& file,
                          InputWatch& watch, EncodeEffort effort, const MemberTimes& times) {
  EncodedMember result;
  result.Temp = std::make_unique<TempFile>(container);
  std::string why;
  if (!result.Temp->Create(why)) {
    result.Failure = {container, why};
    return result;
  }
  FILE* temp = result.Temp->Stream();
  EncodeOutcome outcome = EncodeMember(codec, file, temp, &watch, effort, times);
  bool written = std::fflush(temp) == 0 && !std::ferror(temp);
  if (!outcome.Ok) {
    result.Failure = {file.Path, outcome.Error};
  } else if (!written) {
    result.Failure = {container, WriteError()};
  } else {
    result.Ok = true;
    result.Warning = outcome.Warning;
  }
  return result;
}

// Reads the member back through the handle it was written on, never by
// name again, and appends it to `out`.
bool CopyInto(FILE* in, FILE* out, std::vector<char>& block) {
  if (!StreamSeek(in, 0, SEEK_SET)) return false;
  std::size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), in)) > 0) std::fwrite(block.data(), 1, got, out);
  return !std::ferror(in) && !std::ferror(out);
}

// The members encoded side by side, each into a temporary file, and
// appended in the payload's order as they come in.
bool PackSideBySide(FILE* out, const std::string& container, const std::vector<PayloadFile>& files,
                    unsigned jobs, EncodeEffort effort, const MemberTimes& times, Progress& progress,
                    ProgressLine& line, PackSummary& summary, Problem& failure) {
  std::vector<std::unique_ptr<WorkerCodec>> codecs(jobs);
  std::function<EncodedMember(unsigned, std::size_t)> encode = [&](unsigned worker, std::size_t index) {
    if (!codecs[worker]) codecs[worker] = std::make_unique<WorkerCodec>();
    EncodedMember member =
        EncodeAside(*codecs[worker], container, files[index], *progress.Watches[worker], effort, times);
    progress.Finished += files[index].Size;
    return member;
  };
  std::vector<char> block(1 << 16);
  std::function<bool(std::size_t, EncodedMember&)> append = [&](std::size_t index, EncodedMember& member) {
    if (!member.Ok) {
      failure = member.Failure;
      return false;
    }
    if (!member.Warning.empty()) summary.Warnings.push_back({files[index].Path, member.Warning});
    WriteNameField(out, files[index].Stored.data(), files[index].Stored.size());
    if (!CopyInto(member.Temp->Stream(), out, block)) {
      failure = {container, WriteError()};
      return false;
    }
    member.Temp.reset();
    line.MemberDone();
    return true;
  };
  return RunInOrder(files.size(), jobs, encode, append,
                    [&files](std::size_t index) { return files[index].Size; });
}

}  // namespace

bool PackContainer(const std::string& container, const std::vector<PayloadFile>& files, unsigned jobs,
                   EncodeEffort effort, const Console& console, PackSummary& summary, Problem& failure,
                   const MemberTimes& times) {
  TempFile output(container);
  std::string why;
  if (!output.Create(why)) {
    failure = {container, why};
    return false;
  }
  FILE* out = output.Stream();
  WriteCountField(out, files.size());

  std::uint64_t totalBytes = 0;
  for (const PayloadFile& file : files) totalBytes += file.Size;
  if (jobs > files.size()) jobs = static_cast<unsigned>(files.size());
  Progress progress(jobs > 1 ? jobs : 1);
  ProgressLine line(console, "packing", files.size(), totalBytes,
                    [&progress] { return progress.BytesDone(); });

  bool ok = jobs <= 1 ? PackInOrder(out, container, files, effort, times, progress, line, summary, failure)
                      : PackSideBySide(out, container, files, jobs, effort, times, progress, line, summary,
                                       failure);
  line.Stop();
  if (!ok) return false;

  summary.UnpackedBytes = totalBytes;
  std::int64_t end = StreamTell(out);
  summary.ContainerBytes = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  if (!output.Commit(why)) {
    failure = {container, why};
    return false;
  }
  return true;
}
