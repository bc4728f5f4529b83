#include "worker_thread.h"

#ifdef _WIN32

#include <x86intrin.h>

namespace {

// How long the thread polls for the next job before it sleeps between
// polls, in time-stamp counter ticks (some milliseconds): many times longer
// than decoding one block takes. Counted in time, not in polls, since a
// pause lasts 3 cycles on one processor and 140 on another. A job that
// comes while the thread sleeps is run by the thread that needs it.
constexpr unsigned long long TICKS_BEFORE_SLEEP = 10000000;

inline void Pause() { __builtin_ia32_pause(); }

}  // namespace

WorkerThread::WorkerThread() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  // With one processor a second thread would only take turns with the
  // decoding.
  if (system.dwNumberOfProcessors > 1) thread_ = CreateThread(nullptr, 64 * 1024, Serve, this, 0, nullptr);
}

bool WorkerThread::Running() const { return thread_ != nullptr; }

void WorkerThread::End() {
  if (!thread_) return;
  for (int lane = 0; lane < LANE_COUNT; ++lane) Finish(static_cast<Lane>(lane));
  __atomic_store_n(&ending_, 1, __ATOMIC_RELEASE);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WINAPI WorkerThread::Serve(void* self) {
  WorkerThread& worker = *static_cast<WorkerThread*>(self);
  unsigned long long idleSince = __rdtsc();
  for (;;) {
    bool worked = false;
    for (Slot& slot : worker.slots_) {
      int expected = POSTED;
      if (__atomic_compare_exchange_n(&slot.State, &expected, RUNNING, false, __ATOMIC_ACQUIRE,
                                      __ATOMIC_ACQUIRE)) {
        slot.Work(slot.Context);
        __atomic_store_n(&slot.State, IDLE, __ATOMIC_RELEASE);
        worked = true;
      }
    }
    if (worked) {
      idleSince = __rdtsc();
    } else if (__atomic_load_n(&worker.ending_, __ATOMIC_ACQUIRE)) {
      return 0;
    } else if (__rdtsc() - idleSince < TICKS_BEFORE_SLEEP) {
      Pause();
    } else {
      Sleep(1);  // between members, or once the decoding is over
    }
  }
}

void WorkerThread::Post(Lane lane, Job job, void* context) {
  if (!thread_) return job(context);
  Slot& slot = slots_[lane];
  slot.Work = job;
  slot.Context = context;
  __atomic_store_n(&slot.State, POSTED, __ATOMIC_RELEASE);
}

void WorkerThread::Finish(Lane lane) {
  if (!thread_) return;
  Slot& slot = slots_[lane];
  // Not started yet: the job is taken back and run here.
  int expected = POSTED;
  if (__atomic_compare_exchange_n(&slot.State, &expected, IDLE, false, __ATOMIC_ACQUIRE, __ATOMIC_ACQUIRE)) {
    slot.Work(slot.Context);
    return;
  }
  // Running: that takes the other thread some dozens of microseconds.
  for (int polls = 1; __atomic_load_n(&slot.State, __ATOMIC_ACQUIRE) == RUNNING; ++polls) {
    Pause();
    if (polls % 4096 == 0) Sleep(0);
  }
}

#else

// The test platform has no threads: every job runs when it is posted.
WorkerThread::WorkerThread() {}
bool WorkerThread::Running() const { return false; }
void WorkerThread::Post(Lane, Job job, void* context) { job(context); }
void WorkerThread::Finish(Lane) {}
void WorkerThread::End() {}

#endif
