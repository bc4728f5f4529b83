// Work on the items of a list side by side, with the results taken in the
// list's order: a container's members are decoded or checked on several
// threads, and what the user sees (files put in place, the first fault
// reported) comes out as one thread working through them in turn would
// make it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Runs work(worker, index) for the items 0 to count - 1, each once, on up to
// `jobs` workers numbered from 0 (each worker keeps its own codec and
// streams by that number), and take(index, result) on the calling thread,
// once per item, in the items' order. When take returns false, no item is
// started after that; the results of items that were under way or done are
// dropped, and RunInOrder returns false once every worker has ended. An
// exception of work or take stops the run the same way and is thrown on
// when every worker has ended.
//
// Workers run at most 4 * jobs items ahead of the taking, which bounds what
// waiting results hold (temporary files, for extract). With one job, or one
// item, everything runs on the calling thread.
//
// `weight`, when given, guesses what an item costs (a member's token bytes):
// among the items the window allows, a free worker starts the heaviest
// first, so that a long member does not start last and leave the other
// workers idle at the end. It changes only the order of the work, never
// that of the taking. The window is twice what the workers need to keep
// busy: a light item that waits for its turn does not fill the window and
// hold the workers up while it is done last.
template <class Result>
bool RunInOrder(std::size_t count, unsigned jobs, const std::function<Result(unsigned, std::size_t)>& work,
                const std::function<bool(std::size_t, Result&)>& take,
                const std::function<std::uint64_t(std::size_t)>& weight = nullptr) {
  if (jobs <= 1 || count <= 1) {
    for (std::size_t i = 0; i < count; ++i) {
      Result result = work(0, i);
      if (!take(i, result)) return false;
    }
    return true;
  }

  struct Slot {
    bool Done = false;
    std::optional<Result> Value;
    std::exception_ptr Failure;
  };
  const std::size_t window = 4 * static_cast<std::size_t>(jobs);
  std::vector<Slot> slots(window);
  std::mutex lock;
  std::condition_variable changed;
  std::vector<bool> started(count);
  std::size_t startedCount = 0;
  std::size_t taken = 0;  // items taken so far
  bool stopping = false;
  // The item to start next, under the lock: the heaviest one not started
  // among those the window allows, the first of equals; `count` when none.
  auto pick = [&]() -> std::size_t {
    std::size_t best = count;
    std::uint64_t bestWeight = 0;
    const std::size_t end = taken + window < count ? taken + window : count;
    for (std::size_t i = taken; i < end; ++i) {
      if (started[i]) continue;
      if (!weight) return i;
      std::uint64_t w = weight(i);
      if (best == count || w > bestWeight) {
        best = i;
        bestWeight = w;
      }
    }
    return best;
  };

  auto worker = [&](unsigned k) {
    for (;;) {
      std::size_t index = count;
      {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return stopping || startedCount == count || (index = pick()) < count; });
        if (stopping || index == count) return;
        started[index] = true;
        ++startedCount;
      }
      std::optional<Result> value;
      std::exception_ptr failure;
      try {
        value.emplace(work(k, index));
      } catch (...) {
        failure = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> hold(lock);
        Slot& slot = slots[index % window];
        slot.Value = std::move(value);
        slot.Failure = failure;
        slot.Done = true;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  if (count < jobs) jobs = static_cast<unsigned>(count);
  for (unsigned k = 0; k < jobs; ++k) workers.emplace_back(worker, k);

  bool whole = true;
  std::exception_ptr failure;
  for (std::size_t i = 0; i < count && whole; ++i) {
    Slot* slot;
    {
      std::unique_lock<std::mutex> hold(lock);
      changed.wait(hold, [&] { return slots[i % window].Done; });
      slot = &slots[i % window];
    }
    // The slot is this item's until `taken` passes it.
    std::optional<Result> value = std::move(slot->Value);
    failure = slot->Failure;
    if (failure) {
      whole = false;
    } else {
      try {
        whole = take(i, *value);
      } catch (...) {
        failure = std::current_exception();
        whole = false;
      }
    }
    {
      std::lock_guard<std::mutex> hold(lock);
      slot->Done = false;
      slot->Value.reset();
      slot->Failure = nullptr;
      ++taken;
      if (!whole) stopping = true;
    }
    changed.notify_all();
  }
  for (std::thread& thread : workers) thread.join();
  slots.clear();  // results that were never taken go now
  if (failure) std::rethrow_exception(failure);
  return whole;
}
