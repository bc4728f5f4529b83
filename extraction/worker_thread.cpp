#include "worker_thread.h"

#include <x86intrin.h>

namespace {

// How long a thread spins before it waits on an event, in time-stamp
// counter ticks: counted in time, not in rounds, since a pause lasts 3
// cycles on one processor and 140 on another, and a difference of two
// readings cannot overflow. The worker waits some milliseconds for the
// next job, many times what decoding a block takes; a caller waits for a
// running job a fraction of that, since on a slow medium a read takes tens
// of milliseconds that it is better to sleep through.
constexpr unsigned long long WORKER_SPIN_TICKS = 10000000;
constexpr unsigned long long CALLER_SPIN_TICKS = 1000000;
// Pauses between two yields of the processor while spinning.
constexpr int PAUSES_PER_YIELD = 64;

constexpr int SEQ = __ATOMIC_SEQ_CST;

// One round of spinning: some pauses, then the processor to any thread
// ready to run on it (Sleep(0) would yield only to threads of equal
// priority on XP).
void SpinOnce() {
  for (int i = 0; i < PAUSES_PER_YIELD; ++i) __builtin_ia32_pause();
  SwitchToThread();
}

bool SpunFor(unsigned long long since, unsigned long long ticks) { return __rdtsc() - since >= ticks; }

int BitCount(DWORD_PTR mask) {
  int count = 0;
  for (; mask; mask &= mask - 1) ++count;
  return count;
}

typedef BOOL(WINAPI* LogicalProcessorCall)(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length);

}  // namespace

bool WorkerThread::TwoCoresAllowed() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || BitCount(process) < 2) return false;
  // Windows XP before SP3 cannot tell cores apart: its processors count.
  auto cores = Kernel32Call<LogicalProcessorCall>("GetLogicalProcessorInformation");
  if (!cores) return true;
  SYSTEM_LOGICAL_PROCESSOR_INFORMATION entries[128];
  DWORD length = sizeof entries;
  // More entries than these describe a machine of many cores.
  if (!cores(entries, &length)) return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
  int allowedCores = 0;
  for (DWORD i = 0; i < length / sizeof entries[0]; ++i)
    if (entries[i].Relationship == RelationProcessorCore && (entries[i].ProcessorMask & process))
      ++allowedCores;
  return allowedCores >= 2;
}

WorkerThread::WorkerThread() {
  if (!TwoCoresAllowed()) return;
  work_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (work_ && done_) thread_ = CreateThread(nullptr, 64 * 1024, Serve, this, 0, nullptr);
  if (!thread_) CloseAll();
}

void WorkerThread::CloseAll() {
  HANDLE* handles[] = {&thread_, &work_, &done_};
  for (HANDLE* handle : handles) {
    if (*handle) CloseHandle(*handle);
    *handle = nullptr;
  }
}

void WorkerThread::End() {
  if (!thread_) return;
  Finish();
  __atomic_store_n(&ending_, 1, SEQ);
  WakeThread();
  WaitForSingleObject(thread_, INFINITE);
  CloseAll();
}

// Each word is written before the other side's is read, both in sequential
// order: of a thread going to sleep and a job being posted, at least one
// sees the other. Whoever takes the flag back from 1 to 0 decides: the
// sleeper itself (it goes on without waiting), or the poster (it sets the
// event, and the sleeper's wait takes that setting).
void WorkerThread::WakeThread() {
  if (__atomic_exchange_n(&sleeping_, 0, SEQ)) SetEvent(work_);
}

bool WorkerThread::Posted() { return __atomic_load_n(&state_, SEQ) == POSTED; }

bool WorkerThread::RunPosted() {
  int expected = POSTED;
  if (!__atomic_compare_exchange_n(&state_, &expected, RUNNING, false, SEQ, SEQ)) return false;
  job_(context_);
  __atomic_store_n(&state_, IDLE, SEQ);
  if (__atomic_exchange_n(&waiter_, 0, SEQ)) SetEvent(done_);
  return true;
}

DWORD WINAPI WorkerThread::Serve(void* self) {
  WorkerThread& worker = *static_cast<WorkerThread*>(self);
  unsigned long long idleSince = __rdtsc();
  for (;;) {
    if (worker.RunPosted()) {
      idleSince = __rdtsc();
    } else if (__atomic_load_n(&worker.ending_, SEQ)) {
      return 0;
    } else if (!SpunFor(idleSince, WORKER_SPIN_TICKS)) {
      SpinOnce();
    } else {
      // Between members, or once the decoding is over.
      __atomic_store_n(&worker.sleeping_, 1, SEQ);
      const bool comes = worker.Posted() || __atomic_load_n(&worker.ending_, SEQ);
      if (!comes || !__atomic_exchange_n(&worker.sleeping_, 0, SEQ))
        WaitForSingleObject(worker.work_, INFINITE);
      idleSince = __rdtsc();
    }
  }
}

void WorkerThread::Post(Job job, void* context) {
  if (!thread_) return job(context);
  job_ = job;
  context_ = context;
  __atomic_store_n(&state_, POSTED, SEQ);
  WakeThread();
}

void WorkerThread::Finish() {
  if (!thread_) return;
  // Not started yet: the job is taken back and run here.
  int expected = POSTED;
  if (__atomic_compare_exchange_n(&state_, &expected, IDLE, false, SEQ, SEQ)) {
    job_(context_);
    return;
  }
  const unsigned long long since = __rdtsc();
  while (__atomic_load_n(&state_, SEQ) == RUNNING) {
    if (!SpunFor(since, CALLER_SPIN_TICKS)) {
      SpinOnce();
      continue;
    }
    // The same handshake as the thread's sleep, the other way round.
    __atomic_store_n(&waiter_, 1, SEQ);
    const bool running = __atomic_load_n(&state_, SEQ) == RUNNING;
    if (running || !__atomic_exchange_n(&waiter_, 0, SEQ)) WaitForSingleObject(done_, INFINITE);
    return;
  }
}
