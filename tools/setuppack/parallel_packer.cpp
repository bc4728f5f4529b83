#include "parallel_packer.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "member_encoder.h"
#include "member_header.h"
#include "progress_line.h"
#include "stream_position.h"
#include "temp_file.h"

namespace {

std::string WriteError() { return std::string("write error: ") + std::strerror(errno); }

void WriteNameField(FILE* out, const std::string& name) {
  WriteLittleEndian(out, 2, static_cast<std::uint32_t>(name.size()));
  std::fwrite(name.data(), 1, name.size(), out);
}

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
    WriteNameField(out, file.Name);
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

struct EncodedMember {
  bool Done = false;
  bool Ok = false;
  Problem Failure;
  std::string Warning;
  std::unique_ptr<TempFile> Temp;  // the member, open, until it is appended
};

class ParallelPacker {
 public:
  ParallelPacker(FILE* out, const std::string& container, const std::vector<PayloadFile>& files,
                 unsigned jobs, EncodeEffort effort, const MemberTimes& times, Progress& progress,
                 ProgressLine& line)
      : out_(out), container_(container), files_(files), jobs_(jobs), effort_(effort), times_(times),
        progress_(progress), line_(line), members_(files.size()) {}

  bool Run(PackSummary& summary, Problem& failure) {
    std::vector<std::thread> workers;
    for (unsigned k = 0; k < jobs_; ++k) workers.emplace_back([this, k] { Work(k); });
    bool ok = AppendInOrder(summary, failure);
    {
      std::lock_guard<std::mutex> hold(lock_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers) worker.join();
    for (EncodedMember& member : members_) member.Temp.reset();
    return ok;
  }

 private:
  // Workers run at most this many members ahead of the appending, which
  // bounds the temporary files on the disk.
  std::size_t Window() const { return 2 * static_cast<std::size_t>(jobs_); }

  void Work(unsigned k) {
    TLZSS codec(0);
    for (;;) {
      std::size_t index;
      {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this] {
          return stopping_ || next_ >= files_.size() || next_ < appended_ + Window();
        });
        if (stopping_ || next_ >= files_.size()) return;
        index = next_++;
      }
      EncodedMember result = Encode(codec, files_[index], *progress_.Watches[k]);
      progress_.Finished += files_[index].Size;
      {
        std::lock_guard<std::mutex> hold(lock_);
        members_[index] = std::move(result);
      }
      changed_.notify_all();
    }
  }

  EncodedMember Encode(TLZSS& codec, const PayloadFile& file, InputWatch& watch) {
    EncodedMember result;
    result.Done = true;
    result.Temp = std::make_unique<TempFile>(container_);
    std::string why;
    if (!result.Temp->Create(why)) {
      result.Failure = {container_, why};
      return result;
    }
    FILE* temp = result.Temp->Stream();
    EncodeOutcome outcome = EncodeMember(codec, file, temp, &watch, effort_, times_);
    bool written = std::fflush(temp) == 0 && !std::ferror(temp);
    if (!outcome.Ok) {
      result.Failure = {file.Path, outcome.Error};
    } else if (!written) {
      result.Failure = {container_, WriteError()};
    } else {
      result.Ok = true;
      result.Warning = outcome.Warning;
    }
    return result;
  }

  bool AppendInOrder(PackSummary& summary, Problem& failure) {
    std::vector<char> block(1 << 16);
    for (std::size_t i = 0; i < files_.size(); ++i) {
      EncodedMember* member;
      {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this, i] { return members_[i].Done; });
        member = &members_[i];
      }
      if (!member->Ok) {
        failure = member->Failure;
        return false;
      }
      if (!member->Warning.empty()) summary.Warnings.push_back({files_[i].Path, member->Warning});
      WriteNameField(out_, files_[i].Name);
      if (!CopyInto(member->Temp->Stream(), block)) {
        failure = {container_, WriteError()};
        return false;
      }
      member->Temp.reset();
      line_.MemberDone();
      {
        std::lock_guard<std::mutex> hold(lock_);
        ++appended_;
      }
      changed_.notify_all();
    }
    return true;
  }

  // Reads the member back through the handle it was written on, never by
  // name again.
  bool CopyInto(FILE* in, std::vector<char>& block) {
    if (!StreamSeek(in, 0, SEEK_SET)) return false;
    std::size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), in)) > 0) std::fwrite(block.data(), 1, got, out_);
    return !std::ferror(in) && !std::ferror(out_);
  }

  FILE* out_;
  const std::string& container_;
  const std::vector<PayloadFile>& files_;
  unsigned jobs_;
  EncodeEffort effort_;
  const MemberTimes& times_;
  Progress& progress_;
  ProgressLine& line_;
  std::vector<EncodedMember> members_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::size_t next_ = 0;
  std::size_t appended_ = 0;
  bool stopping_ = false;
};

}  // namespace

bool PackContainer(const std::string& container, const std::vector<PayloadFile>& files,
                   unsigned jobs, EncodeEffort effort, const Console& console, PackSummary& summary,
                   Problem& failure, const MemberTimes& times) {
  TempFile output(container);
  std::string why;
  if (!output.Create(why)) {
    failure = {container, why};
    return false;
  }
  FILE* out = output.Stream();
  WriteLittleEndian(out, 2, static_cast<std::uint32_t>(files.size()));

  std::uint64_t totalBytes = 0;
  for (const PayloadFile& file : files) totalBytes += file.Size;
  if (jobs > files.size()) jobs = static_cast<unsigned>(files.size());
  Progress progress(jobs > 1 ? jobs : 1);
  ProgressLine line(console, "packing", files.size(), totalBytes, [&progress] { return progress.BytesDone(); });

  bool ok = jobs <= 1
                ? PackInOrder(out, container, files, effort, times, progress, line, summary, failure)
                : ParallelPacker(out, container, files, jobs, effort, times, progress, line).Run(summary, failure);
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
