// A second thread for the work that can go on beside the decoding: hashing
// the container's token blocks and reading the next ones.
#pragma once

#include "win32.h"

// On Windows with more than one processor the jobs run on a thread of the
// worker's own; otherwise, and on the test platform, each runs when it is
// posted. The threads hand each job over through one word in memory, not
// through the system: a job comes every few dozen microseconds, and under
// Wine every wait on a system object is a trip to its server. A job the
// thread has not started when its results are needed is taken back and run
// by the thread that needs them, so that a thread the system has set aside
// never holds the decoding up.
class WorkerThread {
 public:
  // Each lane holds at most one job at a time; jobs of different lanes are
  // independent of one another.
  enum Lane { HASHING, READING, LANE_COUNT };
  using Job = void (*)(void* context);

  WorkerThread();
  ~WorkerThread() { End(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Whether jobs run on a thread of their own.
  bool Running() const;

  // Hands `job` to the thread. The lane's job before must be done (Finish).
  void Post(Lane lane, Job job, void* context);
  // Returns once the lane's job, if any, is done.
  void Finish(Lane lane);
  // Finishes every lane's job and ends the thread.
  void End();

#ifdef _WIN32
 private:
  enum : int { IDLE, POSTED, RUNNING };
  struct Slot {
    int State = IDLE;  // read and written with atomic operations only
    Job Work = nullptr;
    void* Context = nullptr;
  };
  static DWORD WINAPI Serve(void* self);
  HANDLE thread_ = nullptr;
  int ending_ = 0;  // atomic too
  Slot slots_[LANE_COUNT];
#endif
};
