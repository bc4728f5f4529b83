// A second thread for the work that can go on beside the decoding: reading
// (and hashing) the next block of the container.
#pragma once

#include "win32.h"

// Where the process may run on two processors of different cores, the jobs
// run on a thread of the worker's own; otherwise each runs when it is
// posted. Two logical processors of one core would only take turns with
// the decoding.
//
// The threads hand a job over through one word in memory while both are
// busy: a job comes every few dozen microseconds, and under Wine every wait
// on a system object is a trip to its server. A thread that finds nothing
// to do spins for a bounded time, yielding its processor now and then, and
// then waits on an event, which the other thread sets only when it sees
// the flag that says so. A job the thread has not started when its results
// are needed is taken back and run by the thread that needs them.
class WorkerThread {
 public:
  using Job = void (*)(void* context);

  WorkerThread();
  ~WorkerThread() { End(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Whether jobs run on a thread of their own.
  bool Running() const { return thread_ != nullptr; }

  // Hands `job` to the thread. The job before must be done (Finish).
  void Post(Job job, void* context);
  // Returns once the job posted last, if any, is done.
  void Finish();
  // Finishes the job and ends the thread.
  void End();

  // Whether the process may run on two processors that are not two logical
  // processors of one core.
  static bool TwoCoresAllowed();

 private:
  enum : int { IDLE, POSTED, RUNNING };
  static DWORD WINAPI Serve(void* self);
  bool RunPosted();
  bool Posted();
  void WakeThread();
  void CloseAll();

  HANDLE thread_ = nullptr;
  HANDLE work_ = nullptr;  // set for a thread asleep when a job or the end comes
  HANDLE done_ = nullptr;  // set for a caller asleep when its job is done
  int ending_ = 0;         // atomic
  int sleeping_ = 0;       // atomic: the thread waits on work_
  int state_ = IDLE;       // atomic
  int waiter_ = 0;         // atomic: the caller waits on done_ for the job
  Job job_ = nullptr;
  void* context_ = nullptr;
};
