#include "base/progress_line.h"

#include <cstdio>

ProgressLine::ProgressLine(const Console& console, std::string verb, std::uint64_t totalMembers,
                           std::uint64_t totalBytes, std::function<std::uint64_t()> bytesDone)
    : console_(console),
      verb_(std::move(verb)),
      totalMembers_(totalMembers),
      totalBytes_(totalBytes),
      bytesDone_(std::move(bytesDone)),
      start_(std::chrono::steady_clock::now()) {
  if (console_.ShowsProgress()) thread_ = std::thread([this] { Run(); });
}

ProgressLine::~ProgressLine() { Stop(); }

void ProgressLine::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
  if (drawnWidth_ > 0) console_.Err << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
}

void ProgressLine::Run() {
  std::unique_lock<std::mutex> hold(lock_);
  // Short jobs finish before the first tick and never draw.
  while (!wake_.wait_for(hold, std::chrono::milliseconds(250), [this] { return stopping_; })) Draw();
}

void ProgressLine::Draw() {
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::uint64_t bytes = bytesDone_();
  char text[160];
  int width = std::snprintf(text, sizeof text, "setuppack: %s %llu/%llu members, %.1f/%.1f MiB, %.1f MB/s",
                            verb_.c_str(), static_cast<unsigned long long>(members_.load()),
                            static_cast<unsigned long long>(totalMembers_), bytes / 1048576.0,
                            totalBytes_ / 1048576.0, seconds > 0 ? bytes / 1e6 / seconds : 0.0);
  if (width < 0) return;
  std::size_t shown =
      static_cast<std::size_t>(width) < sizeof text ? static_cast<std::size_t>(width) : sizeof text - 1;
  console_.Err << '\r' << text;
  if (drawnWidth_ > shown) console_.Err << std::string(drawnWidth_ - shown, ' ');
  console_.Err << std::flush;
  if (shown > drawnWidth_) drawnWidth_ = shown;
}
