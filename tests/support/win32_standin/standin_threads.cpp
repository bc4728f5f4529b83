// The stand-in's threads, events and processors: host threads and a
// condition variable per object, so that a second thread of the staging
// code runs for real.
#include <sched.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "standin_control.h"

namespace {

// A thread or an event: signaled once the thread has ended, or while the
// event is set.
struct SyncObject {
  std::mutex Mutex;
  std::condition_variable Changed;
  bool Signaled = false;
  bool ManualReset = true;
  std::thread Thread;
};

// The objects by handle; their handles lie far above any file's.
std::mutex tableMutex;
std::map<HANDLE, std::shared_ptr<SyncObject>> objects;
std::uintptr_t nextHandle = 0x50000000;

HANDLE Register(std::shared_ptr<SyncObject> object) {
  std::lock_guard<std::mutex> lock(tableMutex);
  HANDLE handle = reinterpret_cast<HANDLE>(nextHandle);
  nextHandle += 4;
  objects[handle] = std::move(object);
  return handle;
}

std::shared_ptr<SyncObject> Find(HANDLE handle) {
  std::lock_guard<std::mutex> lock(tableMutex);
  auto found = objects.find(handle);
  return found == objects.end() ? nullptr : found->second;
}

void Signal(SyncObject& object) {
  std::lock_guard<std::mutex> lock(object.Mutex);
  object.Signaled = true;
  object.Changed.notify_all();
}

}  // namespace

bool CloseSyncObject(HANDLE handle) {
  std::shared_ptr<SyncObject> object;
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    auto found = objects.find(handle);
    if (found == objects.end()) return false;
    object = found->second;
    objects.erase(found);
  }
  // A thread that still runs goes on, as on the platform.
  if (object->Thread.joinable()) {
    std::unique_lock<std::mutex> lock(object->Mutex);
    bool ended = object->Signaled;
    lock.unlock();
    if (ended)
      object->Thread.join();
    else
      object->Thread.detach();
  }
  return true;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    LPDWORD threadId) {
  auto object = std::make_shared<SyncObject>();
  SyncObject* raw = object.get();
  HANDLE handle = Register(object);
  // The object outlives the thread's last touch of it: the thread holds a
  // reference until it has signaled.
  raw->Thread = std::thread([start, parameter, object] {
    start(parameter);
    Signal(*object);
  });
  if (threadId) *threadId = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(handle));
  return handle;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
  auto object = std::make_shared<SyncObject>();
  object->ManualReset = manualReset != FALSE;
  object->Signaled = initialState != FALSE;
  return Register(object);
}

BOOL SetEvent(HANDLE event) {
  std::shared_ptr<SyncObject> object = Find(event);
  if (!object || object->Thread.joinable()) return FALSE;
  Signal(*object);
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<SyncObject> object = Find(handle);
  if (!object) return 0xFFFFFFFFu;  // WAIT_FAILED
  std::unique_lock<std::mutex> lock(object->Mutex);
  auto signaled = [&] { return object->Signaled; };
  if (milliseconds == INFINITE)
    object->Changed.wait(lock, signaled);
  else if (!object->Changed.wait_for(lock, std::chrono::milliseconds(milliseconds), signaled))
    return WAIT_TIMEOUT;
  if (!object->ManualReset) object->Signaled = false;
  return WAIT_OBJECT_0;
}

BOOL SwitchToThread() { return sched_yield() == 0; }

BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask) {
  if (process != GetCurrentProcess() || !processMask || !systemMask) return FALSE;
  DWORD_PTR all = 0;
  for (DWORD_PTR core : Standin().Cores) all |= core;
  *processMask = Standin().AffinityMask;
  *systemMask = all;
  return TRUE;
}

BOOL StandinGetLogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length) {
  const std::vector<DWORD_PTR>& cores = Standin().Cores;
  const DWORD needed = static_cast<DWORD>(cores.size() * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  if (!length) return FALSE;
  if (!buffer || *length < needed) {
    *length = needed;
    Standin().LastError = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  for (std::size_t i = 0; i < cores.size(); ++i) {
    buffer[i] = SYSTEM_LOGICAL_PROCESSOR_INFORMATION();
    buffer[i].ProcessorMask = cores[i];
    buffer[i].Relationship = RelationProcessorCore;
  }
  *length = needed;
  return TRUE;
}
