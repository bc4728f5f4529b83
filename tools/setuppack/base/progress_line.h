// The line that long work redraws on a terminal: members done, bytes and
// speed. Nothing at all when stderr is not a terminal or with -q.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "base/console.h"

class ProgressLine {
 public:
  // bytesDone is asked from the line's own thread, four times a second.
  ProgressLine(const Console& console, std::string verb, std::uint64_t totalMembers, std::uint64_t totalBytes,
               std::function<std::uint64_t()> bytesDone);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void MemberDone() { ++members_; }
  // Wipes the line; call before writing any other message.
  void Stop();

 private:
  void Run();
  void Draw();

  const Console& console_;
  std::string verb_;
  std::uint64_t totalMembers_;
  std::uint64_t totalBytes_;
  std::function<std::uint64_t()> bytesDone_;
  std::atomic<std::uint64_t> members_{0};
  std::chrono::steady_clock::time_point start_;
  std::size_t drawnWidth_ = 0;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};
